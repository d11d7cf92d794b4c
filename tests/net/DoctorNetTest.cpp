// SPDX-License-Identifier: GPL-3.0-or-later
// fernwick-cli doctor in the lab's workstation namespace (eth0 10.77.1.1/24 on segment a, eth1
// 10.77.2.1/24 on segment b), as root and as nobody.
#include "support/NetLab.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace fw {
namespace {

using test::NetLab;

QStringList cli(const QStringList& args, bool asNobody = false) {
    const QStringList drop{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    return (asNobody ? drop : QStringList{}) + QStringList{NetLab::binaryPath("src/cli/fernwick-cli")} + args;
}

// Runs doctor -t 1 -f json (and `args`) in the workstation; expects `status` and valid JSON.
QJsonObject doctor(NetLab& lab, int status, const QStringList& args = {}, bool asNobody = false) {
    const auto o = lab.runApart("ws", cli(QStringList{"doctor", "-t", "1", "-f", "json"} + args, asNobody));
    QJsonParseError error{};
    const QJsonObject report = QJsonDocument::fromJson(o.out, &error).object();
    EXPECT_EQ(error.error, QJsonParseError::NoError);
    EXPECT_EQ(o.status, status) << o.out.toStdString() << o.err.toStdString();
    return report;
}

// The objects of a report's array (findings, interfaces) whose `key` is `value`.
std::vector<QJsonValue> where(const QJsonValue& array, const char* key, const QString& value) {
    std::vector<QJsonValue> out;
    for (const QJsonValue& v : array.toArray()) {
        if (v[key] == value) {
            out.push_back(v);
        }
    }
    return out;
}

// eth1 is a port of bridge br0, which carries its address: no fault.
TEST(DoctorNet, CleanLabExitsZeroWithEveryDocumentedField) {
    NetLab lab;
    lab.sh("ws", "ip address flush dev eth1; ip link add br0 type bridge; ip link set eth1 master br0;"
                 "ip address add 10.77.2.1/24 dev br0; ip link set br0 up");
    const auto text = lab.runApart("ws", cli({"doctor", "--timeout", "1"}));
    EXPECT_EQ(text.status, 0) << text.out.toStdString() << text.err.toStdString();
    EXPECT_TRUE(text.out.contains("No problem found.")) << text.out.toStdString();

    const QJsonObject r = doctor(lab, 0);
    EXPECT_EQ(r.keys(), (QStringList{"findings", "firewall", "interfaces", "probe", "status"}));
    EXPECT_EQ(where(r["interfaces"], "name", "eth1").at(0).toObject().keys(),
              (QStringList{"index", "ip", "mac", "mask", "master", "name", "port_4001", "rp_filter",
                           "searched", "state"}));
    const auto port = where(r["findings"], "code", "bridge-port");
    ASSERT_EQ(port.size(), 1u);
    EXPECT_TRUE(port[0]["severity"] == "info" && port[0]["message"].toString().contains("br0"));
    EXPECT_EQ(r["firewall"]["check"], "checked");
    EXPECT_EQ(r["probe"]["wire_watched"], true);
    EXPECT_EQ(r["probe"]["adapters"].toArray().size(), 2);
}

// A device on a foreign subnet answers on eth1, where strict reverse-path filtering drops it.
TEST(DoctorNet, StrictRpFilterNamesTheDroppedDeviceAndItsFix) {
    NetLab lab;
    lab.addHost("b", "b", "10.77.2.20/24");
    lab.startSimulator(
        "b", R"({"devices": [{"mac": "00:0A:1B:00:00:03", "ip": "192.168.99.7/24", "reply": "broadcast"}]})");
    lab.sh("ws", "sysctl -w net.ipv4.conf.eth1.rp_filter=1");

    const auto search = lab.runApart("ws", cli({"search", "-i", "eth1", "-t", "1"}));
    EXPECT_EQ(search.status, 1);
    EXPECT_TRUE(search.err.contains("rp_filter=1") && search.err.contains("fernwick-cli doctor"))
        << search.err.toStdString();

    const QJsonObject r = doctor(lab, 1);
    const auto dropped = where(r["findings"], "code", "answer-dropped");
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(dropped[0]["interface"], "eth1");
    EXPECT_EQ(dropped[0]["device"].toObject(),
              (QJsonObject{{"mac", "00-0A-1B-00-00-03"}, {"ip", "192.168.99.7"}}));
    EXPECT_EQ(dropped[0]["fix"], "sysctl -w net.ipv4.conf.eth1.rp_filter=2");
    EXPECT_EQ(where(r["interfaces"], "name", "eth1").at(0)["rp_filter"]["mode"], "strict");

    // As nobody: the static findings, and what could not be checked.
    const QJsonObject u = doctor(lab, 1, {}, true);
    EXPECT_EQ(where(u["findings"], "code", "rp-filter-strict").size(), 1u);
    EXPECT_TRUE(where(u["findings"], "code", "answer-dropped").empty());
    EXPECT_EQ(where(u["findings"], "code", "probe-not-watched").size(), 1u);
    EXPECT_EQ(u["firewall"]["check"], "needs-root");
    EXPECT_EQ(u["probe"]["wire_watched"], false);

    // The fix it printed makes the device appear.
    lab.sh("ws", "sysctl -w net.ipv4.conf.eth1.rp_filter=2");
    const auto after = lab.runApart("ws", cli({"search", "-i", "eth1", "-t", "1", "-f", "csv"}));
    EXPECT_EQ(after.status, 0);
    EXPECT_TRUE(after.out.contains("00-0A-1B-00-00-03")) << after.out.toStdString();
}

// Two devices on one address (segment b) and a third adapter, eth2, on segment a: conflicts, not
// answers this host dropped.
TEST(DoctorNet, ConflictsAreNoDrops) {
    NetLab lab;
    lab.addHost("a", "a", "10.77.1.10/24");
    lab.addHost("b", "b", "10.77.2.20/24");
    lab.startSimulator("a", R"({"devices": [{"mac": "00:0A:1B:00:00:01", "reply": "broadcast"}]})");
    lab.startSimulator("b", R"({"devices": [{"mac": "00:0A:1B:00:00:03"}, {"mac": "00:0A:1B:00:00:04"}]})");
    lab.sh("ws", QString::fromStdString("ip link add eth2 type veth peer name ws2 netns " + lab.ns("sw")));
    lab.sh("sw", "ip link set ws2 master br-a up");
    lab.sh("ws", "ip address add 10.77.1.2/24 dev eth2; ip link set eth2 up");

    const QJsonObject r = doctor(lab, 1);
    EXPECT_TRUE(where(r["findings"], "code", "answer-dropped").empty());
    EXPECT_FALSE(QJsonDocument(r).toJson().contains("nft ")) << QJsonDocument(r).toJson().toStdString();
    for (const char* code : {"duplicate-ip", "mac-on-two-adapters", "shared-subnet"}) {
        ASSERT_EQ(where(r["findings"], "code", code).size(), 1u) << code;
        EXPECT_EQ(where(r["findings"], "code", code)[0]["severity"], "warning") << code;
    }
    EXPECT_EQ(where(r["findings"], "code", "duplicate-ip")[0]["interface"], "eth1");
}

// A down adapter, one without IPv4, and port 4001 held by another program on eth0.
TEST(DoctorNet, InterfaceFindingsNameTheirCause) {
    NetLab lab;
    lab.sh("ws", "ip link add x0 type veth peer name x1; ip link set x1 up");
    const QString bound = QDir(lab.dir()).filePath("bound");
    lab.spawn("ws", {"python3", "-c",
                     "import socket,sys,time\n"
                     "s=socket.socket(socket.AF_INET,socket.SOCK_DGRAM)\n"
                     "s.setsockopt(socket.SOL_SOCKET,socket.SO_BINDTODEVICE,b'eth0')\n"
                     "s.bind(('0.0.0.0',4001)); open(sys.argv[1],'w').close(); time.sleep(300)",
                     bound});
    ASSERT_TRUE(test::waitUntil([&] { return QFile::exists(bound); }, 15000));

    const QJsonObject r = doctor(lab, 1);
    const struct {
        const char* name;
        const char* state;
        bool searched;
        const char* port;
    } expected[] = {{"lo", "loopback", false, "not-checked"},
                    {"eth0", "usable", true, "in-use"},
                    {"eth1", "usable", true, "free"},
                    {"x0", "down", false, "not-checked"},
                    {"x1", "no-ipv4", false, "not-checked"}};
    for (const auto& e : expected) {
        const QJsonValue i = where(r["interfaces"], "name", e.name).at(0);
        EXPECT_EQ(i["state"], e.state) << e.name;
        EXPECT_EQ(i["searched"], e.searched) << e.name;
        EXPECT_EQ(i["port_4001"]["state"], e.port) << e.name;
    }
    const QJsonValue holder = where(r["interfaces"], "name", "eth0").at(0)["port_4001"]["holders"][0];
    const QString pid = QString::number(holder["pid"].toInt());
    EXPECT_EQ(holder["name"], "python3");
    const auto held = where(r["findings"], "code", "port-in-use");
    ASSERT_EQ(held.size(), 1u);
    EXPECT_TRUE(held[0]["message"].toString().contains("python3 (pid " + pid));
    EXPECT_EQ(held[0]["fix"], "kill " + pid);
    EXPECT_EQ(where(r["findings"], "code", "interface-down").at(0)["fix"], "ip link set dev x0 up");
    EXPECT_EQ(where(r["findings"], "code", "no-ipv4").at(0)["interface"], "x1");
}

// An nftables input chain with policy drop: named with its accept rule, and blamed for the answer
// that arrived on eth0 but never reached the search.
TEST(DoctorNet, FirewallDropIsNamedWithItsAcceptRule) {
    NetLab lab;
    lab.addHost("a", "a", "10.77.1.10/24");
    lab.startSimulator("a", R"({"devices": [{"mac": "00:0A:1B:00:00:05", "ip": "10.77.1.10"}]})");
    ASSERT_EQ(QProcess::execute("python3", {NetLab::sourcePath("tools/netlab/netlab.py"), "drop-input",
                                            QString::fromStdString(lab.name()), "ws"}),
              0);
    const QJsonObject r = doctor(lab, 1, {"-i", "eth0"});
    const QString rule = "nft insert rule inet filter input udp dport { 4001, 14321 } accept";
    const auto chain = where(r["findings"], "code", "firewall-input-drop");
    ASSERT_EQ(chain.size(), 1u);
    EXPECT_EQ(chain[0]["fix"], rule);
    const auto dropped = where(r["findings"], "code", "answer-dropped");
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(dropped[0]["device"]["ip"], "10.77.1.10");
    EXPECT_EQ(dropped[0]["fix"], rule);
}

} // namespace
} // namespace fw
