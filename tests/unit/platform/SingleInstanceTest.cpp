#include "platform/SingleInstance.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <optional>

namespace fw {
namespace {

// Runs f in a child process and returns its exit code. The child ends with _exit, so whatever it
// locked stays behind as a crashed copy would leave it.
int inChild(const std::function<int()>& f) {
    const pid_t child = fork();
    if (child == 0) {
        _exit(f());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SingleInstance, OnlyOneCopyHoldsTheLockUntilItEnds) {
    QTemporaryDir dir;
    std::optional<SingleInstance> first(std::in_place, "fernwick-test", dir.path());
    ASSERT_TRUE(first->tryLock());
    EXPECT_TRUE(first->tryLock()); // asking again keeps it
    EXPECT_EQ(inChild([&] { return SingleInstance("fernwick-test", dir.path()).tryLock() ? 0 : 1; }), 1);

    // However old the lock, a copy that still runs keeps it.
    QFile lock(first->lockPath());
    ASSERT_TRUE(lock.open(QIODevice::ReadWrite));
    ASSERT_TRUE(
        lock.setFileTime(QDateTime::currentDateTime().addDays(-3), QFileDevice::FileModificationTime));
    lock.close();
    EXPECT_EQ(inChild([&] { return SingleInstance("fernwick-test", dir.path()).tryLock() ? 0 : 1; }), 1);

    first.reset();
    EXPECT_EQ(inChild([&] { return SingleInstance("fernwick-test", dir.path()).tryLock() ? 0 : 1; }), 0);
}

TEST(SingleInstance, LockOfACrashedCopyDoesNotBlockTheNextStart) {
    QTemporaryDir dir;
    // The child takes the lock and dies without releasing it.
    ASSERT_EQ(inChild([&]() -> int {
                  SingleInstance crashed("fernwick-test", dir.path());
                  _exit(crashed.tryLock() ? 0 : 1);
              }),
              0);
    SingleInstance next("fernwick-test", dir.path());
    ASSERT_TRUE(QFile::exists(next.lockPath()));
    EXPECT_TRUE(next.tryLock());
}

TEST(SingleInstance, LivesInTheRuntimeDirectory) {
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    SingleInstance instance("fernwick-test");
    EXPECT_EQ(instance.lockPath(), runtime.path() + "/fernwick-test.lock");
    EXPECT_TRUE(instance.tryLock());
}

} // namespace
} // namespace fw
