// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/LinuxAdapterSource.h"
#include "platform/NeighbourTable.h"
#include "platform/UdpEndpoint.h"
#include "support/NetLab.h"

#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

// ---- adaptersourcenettest
namespace fw {
namespace adaptersourcenettest {

using test::NetLab;

void inWorkstation(NetLab& lab, const QStringList& argv) {
    ASSERT_EQ(lab.run("ws", argv), 0) << argv.join(' ').toStdString();
}

TEST(LinuxAdapterSourceNet, ListsTheTwoEthernetAdaptersOfTheWorkstation) {
    NetLab lab;
    // Interfaces that must not be searched on: a point-to-point tunnel with an address, a link
    // that is down with an address, and a link that is up without one.
    inWorkstation(lab, {"ip", "tuntap", "add", "dev", "tun0", "mode", "tun"});
    inWorkstation(lab, {"ip", "addr", "add", "10.66.0.1/30", "dev", "tun0"});
    inWorkstation(lab, {"ip", "link", "set", "tun0", "up"});
    inWorkstation(lab, {"ip", "link", "add", "spare0", "type", "veth", "peer", "name", "spare1"});
    inWorkstation(lab, {"ip", "addr", "add", "10.88.0.1/24", "dev", "spare0"});
    inWorkstation(lab, {"ip", "link", "set", "spare1", "up"});
    // Only the first address and the lowest-metric default route of the main table count.
    inWorkstation(lab, {"ip", "addr", "add", "10.77.1.2/16", "dev", "eth0"});
    inWorkstation(lab,
                  {"ip", "route", "add", "default", "via", "10.77.1.253", "dev", "eth0", "metric", "300"});
    inWorkstation(lab, {"ip", "route", "add", "default", "via", "10.77.2.250", "dev", "eth1", "metric", "50",
                        "table", "100"});
    inWorkstation(lab,
                  {"ip", "route", "add", "default", "via", "10.77.2.253", "dev", "eth1", "metric", "250"});
    lab.enterWorkstation();

    LinuxAdapterSource source;
    const AdapterSelection s = source.enumerateAdapters();
    ASSERT_EQ(s.outcome, AdapterOutcome::Ok);
    ASSERT_EQ(s.table.size(), 2u);
    EXPECT_EQ(s.table[0], (AdapterEntry{Ipv4::parse("10.77.1.1"),
                                        Ipv4::parse("255.255.255.0"),
                                        Ipv4::parse("10.77.1.254"),
                                        {0x02, 0xfe, 0x00, 0x00, 0x01, 0x01},
                                        "eth0",
                                        s.table[0].interfaceIndex}));
    EXPECT_EQ(s.table[1], (AdapterEntry{Ipv4::parse("10.77.2.1"),
                                        Ipv4::parse("255.255.255.0"),
                                        Ipv4::parse("10.77.2.254"),
                                        {0x02, 0xfe, 0x00, 0x00, 0x02, 0x01},
                                        "eth1",
                                        s.table[1].interfaceIndex}));
    EXPECT_LT(s.table[0].interfaceIndex, s.table[1].interfaceIndex);

    // The skipped interfaces were seen, with the facts that rule them out.
    const AdapterListing listing = LinuxAdapterSource().readListing();
    ASSERT_TRUE(listing.readable);
    EXPECT_TRUE(
        std::is_sorted(listing.adapters.begin(), listing.adapters.end(),
                       [](const auto& a, const auto& b) { return a.interfaceIndex < b.interfaceIndex; }));
    const auto find = [&](const std::string& name) {
        const auto it = std::find_if(listing.adapters.begin(), listing.adapters.end(),
                                     [&](const AdapterFacts& f) { return f.interfaceName == name; });
        return it == listing.adapters.end() ? AdapterFacts{} : *it;
    };
    EXPECT_TRUE(find("lo").link.value_or(LinkFlags{}).loopback);
    EXPECT_TRUE(find("tun0").link.value_or(LinkFlags{}).pointToPoint);
    EXPECT_EQ(find("tun0").ip, Ipv4::parse("10.66.0.1"));
    EXPECT_EQ(find("tun0").mask, Ipv4::parse("255.255.255.252"));
    EXPECT_FALSE(find("spare0").link.value_or(LinkFlags{true}).up);
    EXPECT_FALSE(find("spare1").ip);
}

TEST(LinuxAdapterSourceNet, GatewayIsZeroWithoutDefaultRouteAndDownLinksLeaveNoAdapter) {
    NetLab lab;
    inWorkstation(lab, {"ip", "route", "del", "default", "via", "10.77.2.254", "dev", "eth1"});
    lab.enterWorkstation();
    const AdapterSelection s = LinuxAdapterSource{}.enumerateAdapters();
    ASSERT_EQ(s.outcome, AdapterOutcome::Ok);
    ASSERT_EQ(s.table.size(), 2u);
    EXPECT_EQ(s.table[0].gateway, Ipv4::parse("10.77.1.254"));
    EXPECT_EQ(s.table[1].gateway, Ipv4::parse("0.0.0.0"));

    inWorkstation(lab, {"ip", "link", "set", "eth0", "down"});
    inWorkstation(lab, {"ip", "link", "set", "eth1", "down"});
    EXPECT_EQ(LinuxAdapterSource{}.enumerateAdapters().outcome, AdapterOutcome::NoAdapter);
}

} // namespace adaptersourcenettest
} // namespace fw

// ---- neighbourtablenettest
namespace fw {
namespace neighbourtablenettest {

using test::NetLab;

QByteArray neighbours(NetLab& lab) {
    QByteArray out;
    lab.run("ws", {"ip", "-4", "neigh", "show"}, &out);
    return out;
}

TEST(NeighbourTableNet, RemovesTheEntryOnEveryInterfaceAndNeedsPrivilege) {
    NetLab lab;
    for (const char* dev : {"eth0", "eth1"}) {
        ASSERT_EQ(lab.run("ws", {"ip", "neigh", "add", "10.77.1.10", "lladdr", "02:00:00:00:00:0a", "dev",
                                 dev, "nud", "permanent"}),
                  0);
    }
    ASSERT_EQ(lab.run("ws", {"ip", "neigh", "add", "10.77.1.11", "lladdr", "02:00:00:00:00:0b", "dev", "eth0",
                             "nud", "permanent"}),
              0);
    lab.enterWorkstation();

    // Without CAP_NET_ADMIN the kernel refuses; that is reported, not raised, and nothing changes.
    const pid_t child = fork();
    if (child == 0) {
        const bool removed =
            setgid(65534) == 0 && setuid(65534) == 0 && NeighbourTable{}.remove(*Ipv4::parse("10.77.1.10"));
        _exit(removed ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    EXPECT_EQ(neighbours(lab).count("10.77.1.10 "), 2);

    EXPECT_TRUE(NeighbourTable{}.remove(*Ipv4::parse("10.77.1.10")));
    const QByteArray left = neighbours(lab);
    EXPECT_FALSE(left.contains("10.77.1.10 ")) << left.toStdString();
    EXPECT_TRUE(left.contains("10.77.1.11 ")) << left.toStdString();
    // Nothing to remove is no failure.
    EXPECT_TRUE(NeighbourTable{}.remove(*Ipv4::parse("10.77.1.10")));
}

} // namespace neighbourtablenettest
} // namespace fw

// ---- udpendpointnettest
namespace fw {
namespace udpendpointnettest {

using test::NetLab;
using test::waitUntil;

// A device stand-in on port 4000: it logs every datagram and answers it twice, by unicast ("U" +
// the datagram) and by broadcast ("B" + the datagram) to the sender's port. "big" is answered
// with 4096 bytes, "empty" with an empty datagram.
constexpr const char* kResponder = R"(
import socket
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
s.setsockopt(socket.SOL_SOCKET, socket.SO_BINDTODEVICE, b'eth0')
s.bind(('0.0.0.0', 4000))
print('ready', flush=True)
while True:
    data, (ip, port) = s.recvfrom(65535)
    print('got', ip, port, data.decode(), flush=True)
    if data == b'big':
        s.sendto(bytes(range(256)) * 16, (ip, port))
    elif data == b'empty':
        s.sendto(b'', (ip, port))
    else:
        s.sendto(b'U' + data, (ip, port))
        s.sendto(b'B' + data, ('255.255.255.255', port))
)";

AdapterEntry adapter(const char* name, const char* ip) {
    AdapterEntry e;
    e.interfaceName = name;
    e.ip = Ipv4::parse(ip);
    e.mask = Ipv4::parse("255.255.255.0");
    return e;
}

std::vector<std::uint8_t> bytesOf(std::string_view text) {
    return {text.begin(), text.end()};
}

std::string textOf(const Datagram& d) {
    return {d.bytes.begin(), d.bytes.end()};
}

// Collects everything an endpoint receives, draining it on every notification.
struct Inbox {
    explicit Inbox(UdpEndpoint& endpoint) {
        QObject::connect(&endpoint, &DatagramEndpoint::datagramsReady, &endpoint, [this, &endpoint] {
            while (auto d = endpoint.read()) {
                datagrams.push_back(std::move(*d));
            }
        });
    }
    bool waitFor(std::size_t count) {
        return waitUntil([&] { return datagrams.size() >= count; }, 5000);
    }
    std::vector<Datagram> datagrams;
};

class UdpEndpointNet : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        lab_ = std::make_unique<NetLab>();
        lab_->addHost("ha", "a", "10.77.1.10/24");
        lab_->addHost("hb", "b", "10.77.2.10/24");
        for (const char* host : {"ha", "hb"}) {
            lab_->spawn(host, {"python3", "-u", "-c", kResponder});
            ASSERT_TRUE(waitUntil([&] { return log(host).contains("ready"); }, 10000)) << host;
        }
        lab_->enterWorkstation();
    }
    static void TearDownTestSuite() { lab_.reset(); }

    // What a responder has logged so far (NetLab numbers the logs in spawn order).
    static QByteArray log(const std::string& host) {
        QFile f(lab_->dir() + (host == "ha" ? "/ha-0.log" : "/hb-1.log"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray{};
    }
    static QList<QByteArray> received(const std::string& host) {
        QList<QByteArray> lines;
        for (const QByteArray& line : log(host).split('\n')) {
            if (line.startsWith("got ")) {
                lines.push_back(line);
            }
        }
        return lines;
    }

    static std::unique_ptr<NetLab> lab_;
};

std::unique_ptr<NetLab> UdpEndpointNet::lab_;

TEST_F(UdpEndpointNet, BroadcastLeavesByItsAdapterOnlyAndBothAnswersComeBack) {
    // Two endpoints on port 4001 at once, one per adapter.
    UdpEndpoint a;
    UdpEndpoint b;
    ASSERT_TRUE(a.bindToAdapter(adapter("eth0", "10.77.1.1"), 4001)) << a.lastError();
    ASSERT_TRUE(b.bindToAdapter(adapter("eth1", "10.77.2.1"), 4001)) << b.lastError();
    EXPECT_EQ(a.localAddress().toString(), "10.77.1.1");
    EXPECT_EQ(b.localAddress().toString(), "10.77.2.1");
    EXPECT_EQ(a.localPort(), 4001);
    EXPECT_GE(a.receiveBufferBytes(), UdpEndpoint::kReceiveBufferBytes);
    Inbox inboxA(a);
    Inbox inboxB(b);

    struct Side {
        UdpEndpoint& endpoint;
        Inbox& inbox;
        const char* probe;
        const char* device;
    };
    // Side b runs after side a has been answered, so a broadcast of a that leaked onto segment b
    // (or an answer of segment a that reached b's endpoint) would already be logged.
    for (const Side& side :
         {Side{a, inboxA, "probe-a", "10.77.1.10"}, Side{b, inboxB, "probe-b", "10.77.2.10"}}) {
        side.endpoint.setRemote(Ipv4::broadcast(), 4000);
        ASSERT_TRUE(side.endpoint.send(bytesOf(side.probe))) << side.endpoint.lastError();
        ASSERT_TRUE(side.inbox.waitFor(2)) << side.probe;
        ASSERT_EQ(side.inbox.datagrams.size(), 2u) << side.probe;
        const std::string probe = side.probe;
        EXPECT_EQ(textOf(side.inbox.datagrams[0]), "U" + probe);
        EXPECT_EQ(textOf(side.inbox.datagrams[1]), "B" + probe);
        for (const Datagram& d : side.inbox.datagrams) {
            EXPECT_EQ(d.senderIp.toString(), side.device);
            EXPECT_EQ(d.senderPort, 4000);
        }
    }
    EXPECT_EQ(received("ha"), QList<QByteArray>{"got 10.77.1.1 4001 probe-a"});
    EXPECT_EQ(received("hb"), QList<QByteArray>{"got 10.77.2.1 4001 probe-b"});
}

TEST_F(UdpEndpointNet, ReadWithinWaitsUpToItsLimitAndLeavesEveryOtherCallNonBlocking) {
    using namespace std::chrono_literals;
    UdpEndpoint e;
    ASSERT_TRUE(e.bindToAddress(*Ipv4::parse("10.77.1.1"), 0)) << e.lastError();
    e.setRemote(*Ipv4::parse("10.77.1.10"), 4000);
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(e.readWithin(0us), std::nullopt); // no limit must not mean no end
    EXPECT_EQ(e.readWithin(100ms), std::nullopt);
    EXPECT_GE(t.elapsed(), 90);
    EXPECT_LT(t.elapsed(), 2000);
    ASSERT_TRUE(e.send(bytesOf("hello")));
    const auto answer = e.readWithin(3s);
    ASSERT_TRUE(answer);
    EXPECT_EQ(textOf(*answer), "Uhello");
    t.restart();
    EXPECT_EQ(e.read(), std::nullopt);
    EXPECT_LT(t.elapsed(), 50);
}

TEST_F(UdpEndpointNet, FailuresAreReportedWithTheSystemsReason) {
    // A plain socket without SO_REUSEADDR holds the port.
    const int holder = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(4002);
    ASSERT_EQ(::bind(holder, reinterpret_cast<const sockaddr*>(&any), sizeof any), 0);
    UdpEndpoint e;
    int errors = 0;
    QObject::connect(&e, &DatagramEndpoint::errorOccurred, [&] { ++errors; });
    EXPECT_FALSE(e.bindToAdapter(adapter("eth0", "10.77.1.1"), 4002));
    EXPECT_EQ(e.lastError(), std::errc::address_in_use);
    EXPECT_FALSE(e.bindToAddress(*Ipv4::parse("10.77.1.1"), 4002));
    EXPECT_FALSE(e.isOpen());
    EXPECT_FALSE(e.send(bytesOf("x")));
    EXPECT_EQ(errors, 0);
    ::close(holder);

    ASSERT_TRUE(e.bindToAdapter(adapter("eth0", "10.77.1.1"), 4002)) << e.lastError();
    e.setRemote(*Ipv4::parse("10.77.1.10"), 0); // the kernel sends to no port 0
    EXPECT_FALSE(e.send(bytesOf("x")));
    EXPECT_EQ(e.lastError(), std::errc::invalid_argument);
    EXPECT_EQ(errors, 1);
    e.close();
    e.close();
    EXPECT_FALSE(e.isOpen());
    EXPECT_EQ(e.read(), std::nullopt);
}

} // namespace udpendpointnettest
} // namespace fw
