// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SingleInstance.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
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

TEST(SingleInstance, OnlyOneCopyHoldsTheLockAndACrashedCopyDoesNotBlock) {
    QTemporaryDir dir;
    const auto otherCopyStarts = [&] {
        return SingleInstance("fw-test", dir.path()).tryLock() == SingleInstance::Result::Acquired ? 0 : 1;
    };
    std::optional<SingleInstance> first(std::in_place, "fw-test", dir.path());
    ASSERT_EQ(first->tryLock(), SingleInstance::Result::Acquired);
    EXPECT_EQ(first->tryLock(), SingleInstance::Result::Acquired); // asking again keeps it
    EXPECT_EQ(inChild(otherCopyStarts), 1);
    first.reset();
    EXPECT_EQ(inChild(otherCopyStarts), 0);

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
