// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/NetLab.h"
#include "support/WinePrefix.h"

#include <QDir>

#include <gtest/gtest.h>

// fernwick-cli.exe (the windows preset's build, named by FERNWICK_WINDOWS_CLI; skipped without)
// under wine in the lab's workstation namespace. wine's sockets live where its wineserver runs:
// cmake/wine-run.sh starts one in the namespace for each run, with the lab's own prefix, and
// stops it at the end.

namespace fw {
namespace {

using namespace test;

// Lines end in CR LF, as a Windows program's text does. wine names the adapters in the Unix
// locale's encoding: UTF-8, so that a Linux interface name reaches Windows' API as Unicode.
NetLab::Outcome wineCli(NetLab& lab, const QStringList& args) {
    NetLab::Outcome r =
        lab.runApart("ws", QStringList{"env", "WINEPREFIX=" + env("FERNWICK_WINEPREFIX"), "LC_ALL=C.UTF-8",
                                       NetLab::sourcePath("cmake/wine-run.sh"), env("FERNWICK_WINDOWS_CLI")} +
                               args);
    r.out.replace("\r\n", "\n");
    r.err.replace("\r\n", "\n");
    return r;
}

TEST(WindowsCliNet, SearchesSetsAnAddressUpgradesAndNamesAPortHolderUnderWine) {
    if (env("FERNWICK_WINDOWS_CLI").isEmpty()) {
        GTEST_SKIP() << "FERNWICK_WINDOWS_CLI does not name fernwick-cli.exe";
    }
    NetLab lab;
    const WineServerStop stop;
    lab.addHost("ap", "a", "10.77.1.10/24");
    lab.addHost("br", "b", "10.77.2.20/24");
    lab.startSimulator("ap",
                       R"({"devices": [{"mac": "00:0A:1B:00:00:10", "ip": "10.77.1.10", "kind": "AP"}]})");
    const QString brLog = lab.startSimulator("br", R"({"devices": [
      {"mac": "00:0A:1B:00:00:20", "ip": "10.77.2.20", "kind": "G"},
      {"mac": "00:0A:1B:00:00:03", "ip": "192.168.99.7/24", "kind": "AP", "reply": "broadcast"}]})");

    const NetLab::Outcome found = wineCli(lab, {"search", "--format", "csv"});
    EXPECT_EQ(found.status, 0) << found.err.toStdString();
    EXPECT_EQ(found.out.count('\n'), 4) << found.out.toStdString();
    // The vendor column follows the adapter's address.
    for (const char* row : {",10.77.1.10,", ",00-0A-1B-00-00-10,ap,eth0,10.77.1.1,", ",10.77.2.20,",
                            ",00-0A-1B-00-00-20,adapter,eth1,10.77.2.1,", ",192.168.99.7,",
                            ",00-0A-1B-00-00-03,ap,eth1,10.77.2.1,"}) {
        EXPECT_TRUE(found.out.contains(row)) << row;
    }

    // Set IP by MAC reaches the device on the foreign subnet by broadcast.
    const NetLab::Outcome moved =
        wineCli(lab, {"set-ip", "00-0A-1B-00-00-03", "--ip", "10.77.2.77", "--mask", "255.255.255.0"});
    EXPECT_EQ(moved.out, "Set IP OK\n") << moved.err.toStdString();
    EXPECT_FALSE(simulatorEvents(brLog, "setip-ack").empty());
    EXPECT_TRUE(wineCli(lab, {"search", "-i", "eth1", "--format", "csv"}).out.contains(",10.77.2.77,"));

    // The upload reaches tftpd-hpa byte for byte (the image read through wine's Z: drive), from a
    // file whose name no 8-bit code page holds whole.
    const QString root = startTftpd(lab, "ap");
    const QByteArray image = firmwareImage(200001, "ap config", 3);
    const QString path =
        "Z:" + lab.writeFile(QString::fromUtf8("\xce\xb1-\xd0\xbf\xd1\x80\xd0\xbe\xd1\x88\xd0\xb8\xd0\xb2"
                                               "\xd0\xba\xd0\xb0.bin"),
                             image)
                   .replace('/', '\\');
    const NetLab::Outcome upgraded = wineCli(lab, {"upgrade", "10.77.1.10", path});
    EXPECT_EQ(upgraded.out, "Data transmit finish\n") << upgraded.err.toStdString();
    EXPECT_EQ(fileBytes(QDir(root).filePath("fw.bin")),
              std::vector<std::uint8_t>(image.begin(), image.end()));

    // A second fernwick-cli.exe holding port 4001 on eth0 (a Windows process, whose owner wine's UDP
    // table knows): the search says so, the doctor names it. Each run stops the wineserver, and
    // so the holder.
    const auto holdPort = [&] {
        lab.spawn("ws", {"env", "WINEPREFIX=" + env("FERNWICK_WINEPREFIX"), "WINEDEBUG=-all", "wine",
                         env("FERNWICK_WINDOWS_CLI"), "search", "-i", "eth0", "--timeout", "30"});
        lab.sh("ws", "for i in $(seq 150); do ss -uan | grep -q :4001 && exit 0; sleep 0.1; done; exit 1");
    };
    holdPort();
    const NetLab::Outcome beside = wineCli(lab, {"search", "--timeout", "1"});
    EXPECT_TRUE(beside.err.contains("UDP port 4001 on eth0 (10.77.1.1) is in use by another program"))
        << beside.err.toStdString();
    holdPort();
    const NetLab::Outcome doctor = wineCli(lab, {"doctor", "--format", "json", "-i", "eth0"});
    EXPECT_TRUE(doctor.out.contains("\"name\": \"fernwick-cli.exe\"")) << doctor.out.toStdString();
    EXPECT_TRUE(doctor.out.contains("\"not-applicable\""));
    // Its fixes are Windows commands.
    for (const char* fix : {"taskkill /PID ", "New-NetFirewallRule "}) {
        EXPECT_TRUE(doctor.out.contains(fix)) << fix;
    }
    EXPECT_FALSE(doctor.out.contains("sudo"));

    // An adapter named outside ASCII is found by its name, which the doctor lists as it is.
    const QString reseau = QString::fromUtf8("r\xc3\xa9seau");
    lab.sh("ws",
           "ip link set eth1 down && ip link set eth1 name " + reseau + " && ip link set " + reseau + " up");
    const NetLab::Outcome named = wineCli(lab, {"search", "-i", reseau, "--format", "csv"});
    EXPECT_TRUE(named.out.contains(",00-0A-1B-00-00-20,adapter," + reseau.toUtf8() + ",10.77.2.1,"))
        << named.out.toStdString() << named.err.toStdString();
    // The report is ASCII JSON: the name's one character past ASCII is escaped, not two Latin-1 ones.
    EXPECT_TRUE(
        wineCli(lab, {"doctor", "--format", "json", "-i", reseau}).out.contains(R"("name": "r\u00e9seau")"));
}

} // namespace
} // namespace fw
