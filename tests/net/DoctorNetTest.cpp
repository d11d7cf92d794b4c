// SPDX-License-Identifier: GPL-3.0-or-later
// fernwick-cli doctor in the lab's workstation namespace (eth0 10.77.1.1/24 on segment a, eth1
// 10.77.2.1/24 on segment b), as root and as nobody.
#include "support/NetLab.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

namespace fw {
namespace {

using test::NetLab;

QStringList cli(const QStringList& args, bool asNobody = false) {
    const QStringList drop{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    return (asNobody ? drop : QStringList{}) + QStringList{NetLab::binaryPath("src/cli/fernwick-cli")} + args;
}

QJsonObject parsed(const NetLab::Outcome& o) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(o.out, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << o.out.toStdString() << o.err.toStdString();
    return doc.object();
}

std::vector<QJsonObject> findings(const QJsonObject& report, const QString& code) {
    std::vector<QJsonObject> out;
    for (const QJsonValue& f : report["findings"].toArray()) {
        if (f["code"] == code) {
            out.push_back(f.toObject());
        }
    }
    return out;
}

QJsonObject interfaceNamed(const QJsonObject& report, const QString& name) {
    for (const QJsonValue& i : report["interfaces"].toArray()) {
        if (i["name"] == name) {
            return i.toObject();
        }
    }
    return {};
}

void mustRun(NetLab& lab, const QStringList& argv) {
    ASSERT_EQ(lab.run("ws", argv), 0) << argv.join(' ').toStdString();
}

TEST(DoctorNet, CleanLabExitsZeroWithEveryDocumentedField) {
    NetLab lab;
    const auto text = lab.runApart("ws", cli({"doctor", "--timeout", "1"}));
    EXPECT_EQ(text.status, 0) << text.out.toStdString() << text.err.toStdString();
    EXPECT_TRUE(text.out.contains("No problem found.")) << text.out.toStdString();

    const auto json = lab.runApart("ws", cli({"doctor", "-t", "1", "-f", "json"}));
    const QJsonObject r = parsed(json);
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(r.keys(), (QStringList{"findings", "firewall", "interfaces", "probe", "status"}));
    EXPECT_EQ(interfaceNamed(r, "eth1").keys(), (QStringList{"index", "ip", "mac", "mask", "name",
                                                             "port_4001", "rp_filter", "searched", "state"}));
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
    mustRun(lab, {"sysctl", "-w", "net.ipv4.conf.eth1.rp_filter=1"});

    const auto search = lab.runApart("ws", cli({"search", "-i", "eth1", "-t", "1"}));
    EXPECT_EQ(search.status, 1);
    EXPECT_TRUE(search.err.contains("rp_filter=1") && search.err.contains("fernwick-cli doctor"))
        << search.err.toStdString();

    const auto root = lab.runApart("ws", cli({"doctor", "-t", "1", "-f", "json"}));
    const QJsonObject r = parsed(root);
    EXPECT_EQ(root.status, 1);
    const auto dropped = findings(r, "answer-dropped");
    ASSERT_EQ(dropped.size(), 1u) << root.out.toStdString();
    EXPECT_EQ(dropped[0]["interface"], "eth1");
    EXPECT_EQ(dropped[0]["device"].toObject(),
              (QJsonObject{{"mac", "00-0A-1B-00-00-03"}, {"ip", "192.168.99.7"}}));
    EXPECT_EQ(dropped[0]["fix"], "sysctl -w net.ipv4.conf.eth1.rp_filter=2");
    EXPECT_EQ(interfaceNamed(r, "eth1")["rp_filter"].toObject()["mode"], "strict");

    // As nobody: the static findings, and what could not be checked.
    const auto nobody = lab.runApart("ws", cli({"doctor", "-t", "1", "-f", "json"}, true));
    const QJsonObject u = parsed(nobody);
    EXPECT_EQ(nobody.status, 1) << nobody.err.toStdString();
    EXPECT_EQ(findings(u, "rp-filter-strict").size(), 1u);
    EXPECT_TRUE(findings(u, "answer-dropped").empty());
    EXPECT_EQ(findings(u, "probe-not-watched").size(), 1u);
    EXPECT_EQ(u["firewall"]["check"], "needs-root");
    EXPECT_EQ(u["probe"]["wire_watched"], false);

    // The fix it printed makes the device appear.
    mustRun(lab, {"sysctl", "-w", "net.ipv4.conf.eth1.rp_filter=2"});
    const auto after = lab.runApart("ws", cli({"search", "-i", "eth1", "-t", "1", "-f", "csv"}));
    EXPECT_EQ(after.status, 0);
    EXPECT_TRUE(after.out.contains("00-0A-1B-00-00-03")) << after.out.toStdString();
}

// A down adapter, one without IPv4, and port 4001 held by another program on eth0.
TEST(DoctorNet, InterfaceFindingsNameTheirCause) {
    NetLab lab;
    mustRun(lab, {"ip", "link", "add", "x0", "type", "veth", "peer", "name", "x1"});
    mustRun(lab, {"ip", "link", "set", "x1", "up"});
    const QString bound = QDir(lab.dir()).filePath("bound");
    lab.spawn("ws", {"python3", "-c",
                     "import socket,sys,time\n"
                     "s=socket.socket(socket.AF_INET,socket.SOCK_DGRAM)\n"
                     "s.setsockopt(socket.SOL_SOCKET,socket.SO_BINDTODEVICE,b'eth0')\n"
                     "s.bind(('0.0.0.0',4001)); open(sys.argv[1],'w').close(); time.sleep(300)",
                     bound});
    ASSERT_TRUE(test::waitUntil([&] { return QFile::exists(bound); }, 15000));

    const auto run = lab.runApart("ws", cli({"doctor", "-t", "1", "-f", "json"}));
    const QJsonObject r = parsed(run);
    EXPECT_EQ(run.status, 1);
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
        const QJsonObject i = interfaceNamed(r, e.name);
        EXPECT_EQ(i["state"], e.state) << e.name;
        EXPECT_EQ(i["searched"], e.searched) << e.name;
        EXPECT_EQ(i["port_4001"].toObject()["state"], e.port) << e.name;
    }
    const QJsonObject holder = interfaceNamed(r, "eth0")["port_4001"].toObject()["holders"][0].toObject();
    EXPECT_EQ(holder["name"], "python3");
    const auto held = findings(r, "port-in-use");
    ASSERT_EQ(held.size(), 1u);
    EXPECT_TRUE(
        held[0]["message"].toString().contains("python3 (pid " + QString::number(holder["pid"].toInt())));
    EXPECT_EQ(held[0]["fix"], "kill " + QString::number(holder["pid"].toInt()));
    EXPECT_EQ(findings(r, "interface-down")[0]["fix"], "ip link set dev x0 up");
    EXPECT_EQ(findings(r, "no-ipv4")[0]["interface"], "x1");
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
    const auto run = lab.runApart("ws", cli({"doctor", "-i", "eth0", "-t", "1", "-f", "json"}));
    const QJsonObject r = parsed(run);
    EXPECT_EQ(run.status, 1);
    const QString rule = "nft insert rule inet filter input udp dport { 4001, 14321 } accept";
    const auto chain = findings(r, "firewall-input-drop");
    ASSERT_EQ(chain.size(), 1u) << run.out.toStdString();
    EXPECT_EQ(chain[0]["fix"], rule);
    const auto dropped = findings(r, "answer-dropped");
    ASSERT_EQ(dropped.size(), 1u) << run.out.toStdString();
    EXPECT_EQ(dropped[0]["device"].toObject()["ip"], "10.77.1.10");
    EXPECT_EQ(dropped[0]["fix"], rule);
}

} // namespace
} // namespace fw
