#include "platform/SingleInstance.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <optional>

namespace fw {
namespace {

// Runs f in a child process (another copy of the program) and returns its exit code. The child
// ends with _exit, so whatever it locked stays behind as a crashed copy would leave it.
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
        return SingleInstance("fw-test", dir.path()).tryLock() ? 0 : 1;
    };
    std::optional<SingleInstance> first(std::in_place, "fw-test", dir.path());
    ASSERT_TRUE(first->tryLock());
    EXPECT_TRUE(first->tryLock()); // asking again keeps it
    EXPECT_EQ(inChild(otherCopyStarts), 1);
    first.reset();
    EXPECT_EQ(inChild(otherCopyStarts), 0);

    ASSERT_EQ(inChild([&]() -> int {
                  SingleInstance crashed("fw-test", dir.path());
                  _exit(crashed.tryLock() ? 0 : 1);
              }),
              0);
    SingleInstance next("fw-test", dir.path());
    ASSERT_TRUE(QFile::exists(next.lockPath()));
    EXPECT_TRUE(next.tryLock());
}

} // namespace
} // namespace fw
