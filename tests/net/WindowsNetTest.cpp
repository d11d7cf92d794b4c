// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/NetLab.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <cstdlib>

// fernwick-cli.exe (the windows preset's build) under wine in the lab's workstation namespace.
// Skipped unless FERNWICK_WINDOWS_CLI names the .exe (scripts/windows-test.sh sets it). wine's
// sockets live where its wineserver runs: cmake/wine-run.sh starts one inside the namespace for
// each run, with the lab's own prefix, and stops it at the end.

namespace fw {
namespace {

using namespace test;

QString prefix() {
    return qEnvironmentVariable("FERNWICK_WINEPREFIX");
}

// wine's helper processes outlive a program that failed the test: its wineserver goes with them.
struct WineServerStop {
    ~WineServerStop() {
        (void)!std::system(("WINEPREFIX='" + prefix().toStdString() + "' wineserver -k 2>/dev/null").c_str());
    }
};

QString windowsCli() {
    return qEnvironmentVariable("FERNWICK_WINDOWS_CLI");
}

// The program's text output ends its lines with CR LF, as Windows programs do.
NetLab::Outcome wineCli(NetLab& lab, const QStringList& args) {
    NetLab::Outcome r =
        lab.runApart("ws", QStringList{"env", "WINEPREFIX=" + prefix(),
                                       NetLab::sourcePath("cmake/wine-run.sh"), windowsCli()} +
                               args);
    r.out.replace("\r\n", "\n");
    r.err.replace("\r\n", "\n");
    return r;
}

// mac -> (ip, adapter) of a JSON device list.
std::map<QString, std::pair<QString, QString>> devices(const QByteArray& json) {
    std::map<QString, std::pair<QString, QString>> found;
    for (const QJsonValue d : QJsonDocument::fromJson(json).array()) {
        found[d["mac"].toString()] = {d["ip"].toString(), d["adapter"].toString()};
    }
    return found;
}

TEST(WindowsCliNet, SearchesSetsAnAddressUpgradesAndNamesAPortHolderUnderWine) {
    if (windowsCli().isEmpty()) {
        GTEST_SKIP() << "FERNWICK_WINDOWS_CLI does not name fernwick-cli.exe";
    }
    NetLab lab;
    const WineServerStop stop;
    lab.addHost("ap", "a", "10.77.1.10/24");
    lab.addHost("br", "b", "10.77.2.20/24");
    const QString apLog = lab.startSimulator("ap", R"({"devices": [{"mac": "00:0A:1B:00:00:10",
        "ip": "10.77.1.10", "kind": "AP"}]})");
    const QString brLog = lab.startSimulator("br", R"({"devices": [
      {"mac": "00:0A:1B:00:00:20", "ip": "10.77.2.20", "kind": "G"},
      {"mac": "00:0A:1B:00:00:03", "ip": "192.168.99.7/24", "kind": "AP", "reply": "broadcast",
       "setip": "accept"}]})");

    const NetLab::Outcome found = wineCli(lab, {"search", "--format", "json"});
    EXPECT_EQ(found.status, 0) << found.err.toStdString();
    using Found = std::map<QString, std::pair<QString, QString>>;
    EXPECT_EQ(devices(found.out), (Found{{"00-0A-1B-00-00-10", {"10.77.1.10", "eth0"}},
                                         {"00-0A-1B-00-00-20", {"10.77.2.20", "eth1"}},
                                         {"00-0A-1B-00-00-03", {"192.168.99.7", "eth1"}}}))
        << found.out.toStdString();

    // Set IP by MAC reaches the device on a foreign subnet by broadcast.
    const NetLab::Outcome moved =
        wineCli(lab, {"set-ip", "00-0A-1B-00-00-03", "--ip", "10.77.2.77", "--mask", "255.255.255.0"});
    EXPECT_EQ(moved.status, 0) << moved.err.toStdString();
    EXPECT_EQ(moved.out, "Set IP OK\n");
    ASSERT_FALSE(simulatorEvents(brLog, "setip-ack").empty());
    EXPECT_EQ(devices(wineCli(lab, {"search", "--format", "json", "-i", "eth1"}).out)["00-0A-1B-00-00-03"],
              std::pair(QString("10.77.2.77"), QString("eth1")));

    // The upload reaches tftpd-hpa byte for byte (the image read through wine's Z: drive).
    const QString root = startTftpd(lab, "ap");
    const QByteArray image = firmwareImage(200001, "ap config", 3);
    const QString path = "Z:" + QDir::toNativeSeparators(lab.writeFile("ap.bin", image)).replace('/', '\\');
    const NetLab::Outcome upgraded = wineCli(lab, {"upgrade", "10.77.1.10", path});
    EXPECT_EQ(upgraded.status, 0) << upgraded.err.toStdString();
    EXPECT_EQ(upgraded.out, "Data transmit finish\n");
    EXPECT_EQ(fileBytes(QDir(root).filePath("fw.bin")),
              std::vector<std::uint8_t>(image.begin(), image.end()));

    // A second fernwick-cli.exe holding port 4001 on eth0 (a Windows process, so that wine's UDP
    // table knows its owner): the search goes on on eth1 and says so; the doctor names the holder.
    const auto holdPort = [&] {
        lab.spawn("ws", {"env", "WINEPREFIX=" + prefix(), "WINEDEBUG=-all", "wine", windowsCli(), "search",
                         "-i", "eth0", "--timeout", "30"});
        lab.sh("ws", "for i in $(seq 150); do ss -uan | grep -q :4001 && exit 0; sleep 0.1; done; exit 1");
    };
    holdPort();
    const NetLab::Outcome beside = wineCli(lab, {"search", "--timeout", "1"});
    EXPECT_TRUE(beside.err.contains("UDP port 4001 on eth0 (10.77.1.1) is in use by another program"))
        << beside.err.toStdString();
    holdPort(); // each run ends with its wineserver, and so the holder with it
    const NetLab::Outcome doctor = wineCli(lab, {"doctor", "--format", "json", "-i", "eth0"});
    EXPECT_TRUE(doctor.out.contains("\"name\": \"fernwick-cli.exe\""))
        << doctor.out.toStdString() << doctor.err.toStdString();
    EXPECT_TRUE(doctor.out.contains("\"not-applicable\"")) << doctor.out.toStdString();
}

} // namespace
} // namespace fw
