// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLockFile>
#include <QString>

namespace fw {

// Tells whether another copy of the program runs, by a lock file in the user's runtime directory
// (the temporary directory when there is none). A copy that crashed leaves a lock that the next
// start recognises as stale and takes over.
class SingleInstance {
public:
    enum class Result {
        Acquired,    // no other copy runs; this process holds the lock until this object goes
        AnotherCopy, // a live copy holds the lock
        CannotLock,  // the lock could not be used at all (unwritable directory, foreign file)
    };

    // directory: where the lock lives; empty for the runtime directory.
    explicit SingleInstance(const QString& programName, const QString& directory = {});

    Result tryLock();

    QString lockPath() const { return path_; }

private:
    QString path_;
    QLockFile lock_;
};

} // namespace fw
