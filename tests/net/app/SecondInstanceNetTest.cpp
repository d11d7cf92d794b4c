// The real program, started twice inside a lab's workstation namespace (it searches at start-up, so
// never outside one): the second copy ends at once with status 0 and leaves the first running.
#include "support/NetLab.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace fw {
namespace {

using test::NetLab;
using test::waitUntil;

QString program() {
    return NetLab::binaryPath("src/app/fernwick");
}

// Discovery requests the simulated device has received so far.
int requestsSeen(const QString& log) {
    QFile f(log);
    if (!f.open(QIODevice::ReadOnly)) {
        return 0;
    }
    return static_cast<int>(f.readAll().count("\"event\": \"rx\""));
}

class SecondInstance : public ::testing::Test {
protected:
    void SetUp() override {
        runtime = lab.dir() + "/runtime";
        ASSERT_TRUE(QDir().mkpath(runtime));
        ::chmod(runtime.toLocal8Bit().constData(), 0700);
        // The lock lives in the runtime directory; a private one keeps the test away from any copy
        // of the program that a person on this machine may be running.
        qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "offscreen");
        lab.addHost("d1", "a", "10.77.1.10/24");
        deviceLog = lab.dir() + "/d1.jsonl";
        lab.spawn("d1", {NetLab::binaryPath("tools/devsim/fernwick-devsim"), "--device",
                         "name=Lobby AP,mac=00:0A:1B:2C:3D:4E", "--log", deviceLog});
        ASSERT_TRUE(waitUntil([&] { return QFile(deviceLog).size() > 0; }, 10000));
    }

    // The first copy has taken the lock and sent its first search (one request reaches segment a).
    void startFirst() {
        first = lab.spawn("ws", {program()});
        ASSERT_TRUE(waitUntil([&] { return requestsSeen(deviceLog) >= 1; }, 10000))
            << "the first copy searches";
    }

    NetLab lab;
    QString runtime;
    QString deviceLog;
    QProcess* first = nullptr;
};

TEST_F(SecondInstance, EndsAtOnceWithStatusZeroAndLeavesTheFirstAlone) {
    startFirst();
    const int before = requestsSeen(deviceLog);
    EXPECT_TRUE(QFileInfo::exists(runtime + "/fernwick.lock"));

    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(lab.run("ws", {program()}), 0);
    EXPECT_LT(clock.elapsed(), 5000);

    // Long enough for a search of its own (0.5 s after showing): none came.
    QTest::qWait(1500);
    EXPECT_EQ(requestsSeen(deviceLog), before) << "the second copy must not search";
    EXPECT_EQ(first->state(), QProcess::Running);
}

TEST_F(SecondInstance, ALockLeftByACrashDoesNotBlock) {
    startFirst();
    first->kill(); // SIGKILL: the lock file stays behind
    ASSERT_TRUE(first->waitForFinished(5000));
    ASSERT_TRUE(QFileInfo::exists(runtime + "/fernwick.lock"));
    const int before = requestsSeen(deviceLog);

    QProcess* next = lab.spawn("ws", {program()});
    EXPECT_TRUE(waitUntil([&] { return requestsSeen(deviceLog) > before; }, 10000)) << "the next start runs";
    EXPECT_EQ(next->state(), QProcess::Running);
}

} // namespace
} // namespace fw
