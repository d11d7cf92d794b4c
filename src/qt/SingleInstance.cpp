// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/SingleInstance.h"

#include <QDir>
#include <QStandardPaths>

namespace fw {
namespace {

QString lockDirectory(const QString& directory) {
    if (!directory.isEmpty()) {
        return directory;
    }
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

} // namespace

SingleInstance::SingleInstance(const QString& programName, const QString& directory)
    : path_(QDir(lockDirectory(directory)).filePath(programName + ".lock")), lock_(path_) {
    // The lock's age means nothing: a copy that runs for days still holds it. Staleness is decided
    // only by whether the process named in the lock still lives.
    lock_.setStaleLockTime(0);
}

SingleInstance::Result SingleInstance::tryLock() {
    if (lock_.isLocked() || lock_.tryLock(0)) {
        return Result::Acquired;
    }
    // Only a lock held by a live process means another copy; a lock that cannot be written or read
    // says nothing about other copies.
    return lock_.error() == QLockFile::LockFailedError ? Result::AnotherCopy : Result::CannotLock;
}

} // namespace fw
