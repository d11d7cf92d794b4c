// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/LinuxAdapterSource.h"
#include "platform/NeighbourTable.h"
#include "platform/UdpEndpoint.h"
#include "support/NetLab.h"

#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/wait.h>
#include <unistd.h>

namespace fw::test {
namespace {

TEST(LinuxAdapterSourceNet, ListsTheTwoEthernetAdaptersOfTheWorkstation) {
    NetLab lab;
    // Interfaces that must not be searched on: a point-to-point tunnel with an address, a link that is
    // down with an address, and a link that is up without one. Only the first address and the
    // lowest-metric default route of the main table count.
    lab.sh("ws", "ip tuntap add dev tun0 mode tun; ip addr add 10.66.0.1/30 dev tun0; ip link set tun0 up\n"
                 "ip link add spare0 type veth peer name spare1; ip addr add 10.88.0.1/24 dev spare0\n"
                 "ip link set spare1 up; ip addr add 10.77.1.2/16 dev eth0\n"
                 "ip route add default via 10.77.1.253 dev eth0 metric 300\n"
                 "ip route add default via 10.77.2.250 dev eth1 metric 50 table 100\n"
                 "ip route add default via 10.77.2.253 dev eth1 metric 250");
    lab.enterWorkstation();

    const AdapterSelection s = LinuxAdapterSource().enumerateAdapters();
    ASSERT_EQ(s.outcome, AdapterOutcome::Ok);
    ASSERT_EQ(s.table.size(), 2u);
    for (int i : {0, 1}) {
        const std::string net = "10.77." + std::to_string(i + 1);
        EXPECT_EQ(s.table[i],
                  (AdapterEntry{Ipv4::parse(net + ".1"), Ipv4::parse("255.255.255.0"),
                                Ipv4::parse(net + ".254"), MacAddress{2, 0xfe, 0, 0, std::uint8_t(i + 1), 1},
                                "eth" + std::to_string(i), s.table[i].interfaceIndex}));
    }
    EXPECT_LT(s.table[0].interfaceIndex, s.table[1].interfaceIndex);

    // The skipped interfaces were seen, with the facts that rule them out.
    const AdapterListing listing = LinuxAdapterSource().readListing();
    ASSERT_TRUE(listing.readable);
    EXPECT_TRUE(std::ranges::is_sorted(listing.adapters, {}, &AdapterFacts::interfaceIndex));
    const auto find = [&](const std::string& name) {
        const auto it = std::ranges::find(listing.adapters, name, &AdapterFacts::interfaceName);
        return it == listing.adapters.end() ? AdapterFacts{} : *it;
    };
    EXPECT_TRUE(find("lo").link.value_or(LinkFlags{}).loopback);
    EXPECT_TRUE(find("tun0").link.value_or(LinkFlags{}).pointToPoint);
    EXPECT_EQ(find("tun0").ip, Ipv4::parse("10.66.0.1"));
    EXPECT_EQ(find("tun0").mask, Ipv4::parse("255.255.255.252"));
    EXPECT_FALSE(find("spare0").link.value_or(LinkFlags{true}).up);
    EXPECT_FALSE(find("spare1").ip);

    // With no default route of the main table the gateway is 0.0.0.0; links down leave no adapter.
    lab.sh("ws",
           "ip route del default via 10.77.2.254 dev eth1; ip route del default via 10.77.2.253 dev eth1");
    EXPECT_EQ(LinuxAdapterSource{}.enumerateAdapters().table.at(1).gateway, Ipv4::parse("0.0.0.0"));
    lab.sh("ws", "ip link set eth0 down; ip link set eth1 down");
    EXPECT_EQ(LinuxAdapterSource{}.enumerateAdapters().outcome, AdapterOutcome::NoAdapter);
}

TEST(NeighbourTableNet, RemovesTheEntryOnEveryInterfaceAndNeedsPrivilege) {
    NetLab lab;
    lab.sh("ws", "ip neigh add 10.77.1.10 lladdr 02:00:00:00:00:0a dev eth0 nud permanent\n"
                 "ip neigh add 10.77.1.10 lladdr 02:00:00:00:00:0a dev eth1 nud permanent\n"
                 "ip neigh add 10.77.1.11 lladdr 02:00:00:00:00:0b dev eth0 nud permanent");
    const auto neighbours = [&] {
        return lab.runApart("ws", {"ip", "-4", "neigh", "show"}).out.toStdString();
    };
    lab.enterWorkstation();

    // Without CAP_NET_ADMIN the kernel refuses; that is reported, not raised, and nothing changes.
    const pid_t child = fork();
    if (child == 0) {
        _exit(setgid(65534) == 0 && setuid(65534) == 0 &&
              NeighbourTable{}.remove(*Ipv4::parse("10.77.1.10")));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(QByteArray::fromStdString(neighbours()).count("10.77.1.10 "), 2);

    EXPECT_TRUE(NeighbourTable{}.remove(*Ipv4::parse("10.77.1.10")));
    EXPECT_EQ(neighbours().find("10.77.1.10 "), std::string::npos) << neighbours();
    EXPECT_NE(neighbours().find("10.77.1.11 "), std::string::npos) << neighbours();
    // Nothing to remove is no failure.
    EXPECT_TRUE(NeighbourTable{}.remove(*Ipv4::parse("10.77.1.10")));
}

// A device stand-in on port 4000: it logs every datagram and answers it twice, by unicast ("U" + the
// datagram) and by broadcast ("B" + the datagram) to the sender's port.
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
    s.sendto(b'U' + data, (ip, port))
    s.sendto(b'B' + data, ('255.255.255.255', port))
)";

AdapterEntry adapter(const char* name, const char* ip) {
    return AdapterEntry{Ipv4::parse(ip), Ipv4::parse("255.255.255.0"), {}, {}, name, 0};
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
            ASSERT_TRUE(waitUntil([&] { return log(host).startsWith("ready"); }, 10000)) << host;
        }
        lab_->enterWorkstation();
    }
    static void TearDownTestSuite() { lab_.reset(); }

    // What a responder has logged so far (NetLab numbers the logs in spawn order).
    static QByteArray log(const std::string& host) {
        QFile f(lab_->dir() + (host == "ha" ? "/ha-0.log" : "/hb-1.log"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray{};
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
    EXPECT_GE(a.receiveBufferBytes(), UdpEndpoint::kReceiveBufferBytes);
    Inbox inboxA(a);
    Inbox inboxB(b);

    // Side b runs after side a has been answered, so a broadcast of a that leaked onto segment b (or an
    // answer of segment a that reached b's endpoint) would already be logged.
    for (auto [endpoint, inbox, probe, device] : {std::tuple{&a, &inboxA, "probe-a", "10.77.1.10"},
                                                  std::tuple{&b, &inboxB, "probe-b", "10.77.2.10"}}) {
        endpoint->setRemote(Ipv4::broadcast(), 4000);
        ASSERT_TRUE(endpoint->send(bytesOf(probe))) << endpoint->lastError();
        ASSERT_TRUE(waitUntil([&] { return inbox->datagrams.size() >= 2; }, 5000)) << probe;
        ASSERT_EQ(inbox->datagrams.size(), 2u) << probe;
        EXPECT_EQ(textOf(inbox->datagrams[0]), "U" + std::string(probe));
        EXPECT_EQ(textOf(inbox->datagrams[1]), "B" + std::string(probe));
        for (const Datagram& d : inbox->datagrams) {
            EXPECT_EQ(d.senderIp.toString(), device);
            EXPECT_EQ(d.senderPort, 4000);
        }
    }
    EXPECT_EQ(log("ha"), "ready\ngot 10.77.1.1 4001 probe-a\n");
    EXPECT_EQ(log("hb"), "ready\ngot 10.77.2.1 4001 probe-b\n");
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
    // Another socket on the port: neither side asks to share it, so the bind fails.
    UdpEndpoint holder;
    ASSERT_TRUE(holder.bindToAddress(*Ipv4::parse("10.77.1.1"), 4002)) << holder.lastError();
    UdpEndpoint e;
    int errors = 0;
    QObject::connect(&e, &DatagramEndpoint::errorOccurred, [&] { ++errors; });
    EXPECT_FALSE(e.bindToAdapter(adapter("eth0", "10.77.1.1"), 4002));
    EXPECT_EQ(e.lastError(), std::errc::address_in_use);
    EXPECT_FALSE(e.bindToAddress(*Ipv4::parse("10.77.1.1"), 4002));
    EXPECT_FALSE(e.isOpen());
    EXPECT_FALSE(e.send(bytesOf("x")));
    EXPECT_EQ(errors, 0);
    holder.close();

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

} // namespace
} // namespace fw::test
