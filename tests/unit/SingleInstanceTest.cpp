// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/SingleInstance.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace fw {
namespace {

// f in another copy of the program; _exit leaves its lock behind as a crash would.
int inChild(const std::function<int()>& f) {
    const pid_t child = fork();
    if (child == 0) {
        _exit(f());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A second copy beside a running one is refused in SecondInstance (ProgramsNetTest).
TEST(SingleInstance, ACrashedCopyDoesNotBlock) {
    QTemporaryDir dir;
    ASSERT_EQ(inChild([&]() -> int {
                  SingleInstance crashed("fw-test", dir.path());
                  _exit(crashed.tryLock() == SingleInstance::Result::Acquired ? 0 : 1);
              }),
              0);
    SingleInstance next("fw-test", dir.path());
    ASSERT_TRUE(QFile::exists(next.lockPath()));
    EXPECT_EQ(next.tryLock(), SingleInstance::Result::Acquired);
}

// A lock that cannot be made (its directory is a plain file, which stops root too) must not block.
TEST(SingleInstance, UnusableLockIsNotAnotherCopy) {
    QTemporaryDir dir;
    QFile plain(dir.filePath("not-a-directory"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_EQ(SingleInstance("fw-test", plain.fileName()).tryLock(), SingleInstance::Result::CannotLock);
}

} // namespace
} // namespace fw
