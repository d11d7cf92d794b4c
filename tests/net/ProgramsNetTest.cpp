// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/CliProcess.h"
#include "support/NetLab.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>

// fernwick-cli end to end: the program runs in the lab's workstation namespace (two adapters, eth0
// on 10.77.1.0/24, eth1 on 10.77.2.0/24) against simulated devices and tftpd-hpa in namespaces of
// their own.

namespace fw {
namespace clinettest {

using namespace test;

using CliResult = NetLab::Outcome;

// A JSON device list in MAC order (the order replies arrive in is the network's).
std::vector<QJsonValue> byMac(const QByteArray& json) {
    const QJsonArray a = QJsonDocument::fromJson(json).array();
    std::vector<QJsonValue> v(a.begin(), a.end());
    std::ranges::sort(v, {}, [](const QJsonValue& x) { return x["mac"].toString(); });
    return v;
}

TEST(CliNet, SearchListsTheSimulatedDevicesExactly) {
    NetLab lab;
    lab.addHost("a", "a", "10.77.1.10/24");
    lab.addHost("b", "b", "10.77.2.20/24");
    const QString aLog = lab.startSimulator("a", R"({"devices": [
      {"mac": "00:0A:1B:2C:3D:4E", "ip": "10.77.1.10", "name": "Lobby AP", "essid": "office-net",
       "channel": 6, "wep": 1, "kind": "AP"},
      {"mac": "00:0A:1B:00:00:11", "ip": "10.77.1.11", "name": "Caf\u00e9, \"quoted\"\n\u001b[31m",
       "essid": "x,y", "channel": 0, "wep": 2, "kind": "G"}]})");
    lab.startSimulator("b", R"({"devices": [
      {"mac": "00:0A:1B:00:00:02", "ip": "10.77.2.20", "name": "Yard bridge", "essid": "yard",
       "channel": 11, "kind": "G"},
      {"mac": "00:0A:1B:00:00:03", "ip": "192.168.99.7/24", "name": "Factory fresh", "essid": "default",
       "channel": 1, "kind": "AP", "reply": "broadcast"}]})");

    const CliResult all = cli(lab, {"search", "--format", "json"});
    EXPECT_EQ(all.status, 0) << all.err.toStdString();
    const auto expected = byMac(R"([
      {"name": "Factory fresh", "ip": "192.168.99.7", "essid": "default", "channel": 1, "wep": false,
       "mac": "00-0A-1B-00-00-03", "kind": "ap", "adapter": "eth1", "adapter_ip": "10.77.2.1", "vendor": "Stream Labs"},
      {"name": "Caf\u00e9, \"quoted\"\n\u001b[31m", "ip": "10.77.1.11", "essid": "x,y", "channel": 0,
       "wep": false, "mac": "00-0A-1B-00-00-11", "kind": "adapter", "adapter": "eth0",
       "adapter_ip": "10.77.1.1", "vendor": "Stream Labs"},
      {"name": "Yard bridge", "ip": "10.77.2.20", "essid": "yard", "channel": 11, "wep": false,
       "mac": "00-0A-1B-00-00-02", "kind": "adapter", "adapter": "eth1", "adapter_ip": "10.77.2.1", "vendor": "Stream Labs"},
      {"name": "Lobby AP", "ip": "10.77.1.10", "essid": "office-net", "channel": 6, "wep": true,
       "mac": "00-0A-1B-2C-3D-4E", "kind": "ap", "adapter": "eth0", "adapter_ip": "10.77.1.1", "vendor": "Stream Labs"}])");
    ASSERT_EQ(expected.size(), 4u);
    EXPECT_EQ(byMac(all.out), expected) << all.out.toStdString();

    // A second program beside a running search: the port is not shared (the kernel would hand each
    // unicast answer to only one of the two), so the second says which port is busy where, and the
    // first still hears every device.
    const auto requests = [&] {
        return simulatorEvents(aLog, "rx").size();
    };
    const std::size_t before = requests();
    CliProcess first(lab, {"search", "--timeout", "4", "--format", "json"});
    ASSERT_TRUE(waitUntil([&] { return requests() > before; }, 5000));
    const CliResult second = cli(lab, {"search", "--timeout", "1"});
    EXPECT_EQ(second.status, 2);
    EXPECT_TRUE(second.err.contains("UDP port 4001 on eth0 (10.77.1.1) is in use by another program"))
        << second.err.toStdString();
    EXPECT_TRUE(second.err.contains("UDP port 4001 on eth1 (10.77.2.1) is in use by another program"));
    const CliResult firstResult = first.wait();
    EXPECT_EQ(firstResult.status, 0) << firstResult.err.toStdString();
    EXPECT_EQ(byMac(firstResult.out), expected);
}

// Devices whose addresses lie outside both of the workstation's subnets: only broadcasts reach them.
constexpr const char* kSetIpDevices = R"({"devices": [
  {"mac": "00:0A:1B:00:00:01", "ip": "192.0.2.50/24", "setip": "accept"}]})";

// Container and VPN adapters listed before the devices' own: every usable adapter is searched.
TEST(CliNet, SearchFindsADeviceBehindTheLastOfManyAdapters) {
    NetLab lab;
    lab.addHost("b", "b", "10.77.2.20/24");
    lab.startSimulator("b", R"({"devices": [{"mac": "00:0A:1B:00:00:02", "ip": "10.77.2.20"}]})");
    // eth1 makes way for 30 veth adapters and comes back on segment b, listed last.
    lab.sh("ws", QString("ip link del eth1\n"
                         "for i in $(seq 1 30); do\n"
                         "  ip link add d$i type veth peer name p$i && ip link set p$i up\n"
                         "  ip address add 10.90.$i.1/24 dev d$i && ip link set d$i up\n"
                         "done\n"
                         "ip link add eth1 type veth peer name vb-ws netns %1\n"
                         "ip address add 10.77.2.1/24 dev eth1 && ip link set eth1 up\n"
                         "ip -n %1 link set vb-ws master br-b up\n")
                     .arg(QString::fromStdString(lab.ns("sw"))));
    const CliResult r = cli(lab, {"search", "--format", "json"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    const auto found = byMac(r.out);
    ASSERT_EQ(found.size(), 1u) << r.out.toStdString() << r.err.toStdString();
    EXPECT_EQ(found[0]["adapter"], "eth1");
}

TEST(CliNet, SetIpMovesAForeignSubnetDevice) {
    NetLab lab;
    lab.addHost("dev", "a", "192.0.2.50/24");
    const QString log = lab.startSimulator("dev", kSetIpDevices);

    const CliResult moved = cli(lab, {"set-ip", "00-0a-1b-00-00-01", "--ip", "10.77.1.77", "--mask",
                                      "255.255.255.0", "--gateway", "10.77.1.254"});
    EXPECT_EQ(moved.status, 0) << moved.err.toStdString();
    EXPECT_EQ(moved.out, "Set IP OK\n");
    ASSERT_TRUE(waitUntil([&] { return !simulatorEvents(log, "setip-ack").empty(); }, 3000));
    EXPECT_TRUE(simulatorEvents(log, "setip-ack").front()["matches_request"].toBool());

    // A later search finds it at its new address, on eth0's segment.
    const auto after = byMac(cli(lab, {"search", "--format", "json"}).out);
    const auto it =
        std::ranges::find(after, QJsonValue("00-0A-1B-00-00-01"), [](auto& d) { return d["mac"]; });
    ASSERT_NE(it, after.end());
    EXPECT_EQ((*it)["ip"], "10.77.1.77");
    EXPECT_EQ((*it)["adapter"], "eth0");

    const CliResult empty = cli(lab, {"search", "-i", "eth1", "-t", "1", "-f", "json"});
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(QJsonDocument::fromJson(empty.out), QJsonDocument(QJsonArray())) << empty.out.toStdString();
}

// What an upgrade decides (refusals, time-outs, a stall) is tested over fake endpoints
// (tests/unit/commands); here the transfer runs over real sockets to tftpd-hpa.
TEST(CliNet, UpgradeUploadsByteIdenticalToTftpd) {
    NetLab lab;
    lab.addHost("ap", "a", "10.77.1.10/24");
    const QString apLog = lab.startSimulator("ap", R"({"devices": [{"mac": "00:0A:1B:00:00:10",
        "ip": "10.77.1.10", "kind": "AP"}]})");
    const QString root = startTftpd(lab, "ap"); // beside the access point's simulator
    const QByteArray apImage = test::firmwareImage(300001, "ap config", 1);
    const CliResult ok = cli(lab, {"upgrade", "10.77.1.10", lab.writeFile("ap.bin", apImage)});
    EXPECT_EQ(ok.status, 0) << ok.err.toStdString();
    EXPECT_EQ(ok.out, "Data transmit finish\n");
    EXPECT_EQ(fileBytes(QDir(root).filePath("fw.bin")),
              std::vector<std::uint8_t>(apImage.begin(), apImage.end()));
    // Not a terminal: plain progress lines, ending at the whole image.
    EXPECT_TRUE(ok.err.contains("upload 100%: 300001 of 300001 bytes")) << ok.err.toStdString();
    EXPECT_EQ(simulatorEvents(apLog, "handshake").size(), 1u);
}

// The real program, started twice inside a lab's workstation namespace (it searches at start-up, so
// never outside one): the second copy ends at once with status 0 and leaves the first running.
TEST(SecondInstance, EndsAtOnceWithStatusZeroAndLeavesTheFirstAlone) {
    NetLab lab;
    const QString program = NetLab::binaryPath("src/qt/fernwick");
    // A private runtime directory (where the lock lives) keeps away from a copy a person may be running.
    const QString runtime = lab.dir() + "/runtime";
    ASSERT_TRUE(QDir().mkpath(runtime));
    ::chmod(runtime.toLocal8Bit().constData(), 0700);
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    lab.addHost("d1", "a", "10.77.1.10/24");
    const QString log = lab.startSimulator("d1", {"--device", "name=Lobby AP,mac=00:0A:1B:2C:3D:4E"});
    const auto requests = [&] {
        return simulatorEvents(log, "rx").size();
    };
    QProcess* first = lab.spawn("ws", {program});
    ASSERT_TRUE(waitUntil([&] { return requests() >= 1; }, 10000)) << "the first copy searches";
    const std::size_t before = requests();
    EXPECT_TRUE(QFileInfo::exists(runtime + "/fernwick.lock"));

    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(lab.run("ws", {program}), 0);
    EXPECT_LT(clock.elapsed(), 5000);
    QTest::qWait(1500); // long enough for a search of its own (0.5 s after showing)
    EXPECT_EQ(requests(), before) << "the second copy must not search";
    EXPECT_EQ(first->state(), QProcess::Running);
}

} // namespace clinettest
} // namespace fw
