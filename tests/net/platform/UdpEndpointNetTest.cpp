#include "platform/UdpEndpoint.h"

#include "support/NetLab.h"

#include <QFile>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

namespace fw {
namespace {

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
    e.ip = ip;
    e.mask = "255.255.255.0";
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

TEST_F(UdpEndpointNet, BindToAddressTakesAFreePortAndReadsWholeDatagrams) {
    UdpEndpoint e;
    ASSERT_TRUE(e.bindToAddress(*Ipv4::parse("10.77.1.1"), 0)) << e.lastError();
    EXPECT_NE(e.localPort(), 0);
    EXPECT_EQ(e.localAddress().toString(), "10.77.1.1");
    Inbox inbox(e);
    e.setRemote(*Ipv4::parse("10.77.1.10"), 4000);
    for (const char* request : {"hello", "big", "empty"}) {
        ASSERT_TRUE(e.send(bytesOf(request))) << e.lastError();
    }
    ASSERT_TRUE(inbox.waitFor(3));
    EXPECT_TRUE(received("ha").contains("got 10.77.1.1 " + QByteArray::number(e.localPort()) + " hello"));
    EXPECT_EQ(textOf(inbox.datagrams[0]),
              "Uhello"); // the broadcast answer is not for an address-bound socket
    ASSERT_EQ(inbox.datagrams[1].bytes.size(), 4096u);
    for (std::size_t i = 0; i < 4096; ++i) {
        ASSERT_EQ(inbox.datagrams[1].bytes[i], i % 256) << i;
    }
    EXPECT_TRUE(inbox.datagrams[2].bytes.empty());
    EXPECT_EQ(inbox.datagrams[2].senderIp.toString(), "10.77.1.10");
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

} // namespace
} // namespace fw
