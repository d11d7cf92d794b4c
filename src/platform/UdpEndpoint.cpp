// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/UdpEndpoint.h"

#include <QMetaMethod>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace fw {
namespace {

sockaddr_in socketAddress(Ipv4 ip, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(ip.toHostOrder());
    return a;
}

bool setFlag(int fd, int level, int option) {
    const int on = 1;
    return ::setsockopt(fd, level, option, &on, sizeof on) == 0;
}

// SO_RCVBUFFORCE passes rmem_max when privileged; otherwise the kernel caps the plain request.
void growReceiveBuffer(int fd) {
    const int bytes = UdpEndpoint::kReceiveBufferBytes;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0) {
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    }
}

std::error_code errorCode(int error) {
    return {error, std::generic_category()};
}

} // namespace

UdpEndpoint::UdpEndpoint(QObject* parent) : DatagramEndpoint(parent) {}

UdpEndpoint::~UdpEndpoint() {
    close();
}

bool UdpEndpoint::open(int& fd) {
    close();
    fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        lastError_ = errorCode(errno);
        return false;
    }
    return true;
}

bool UdpEndpoint::failSetup(int fd, int error) {
    lastError_ = errorCode(error);
    ::close(fd);
    return false;
}

bool UdpEndpoint::bindToAdapter(const AdapterEntry& adapter, std::uint16_t localPort) {
    const Ipv4 adapterIp = adapter.ip.value_or(Ipv4::any());
    if (adapter.interfaceName.empty()) {
        return bindToAddress(adapterIp, localPort);
    }
    int fd = -1;
    if (!open(fd)) {
        return false;
    }
    // The device must be set before bind, so that the port is taken on this interface only.
    if (::setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, adapter.interfaceName.c_str(),
                     static_cast<socklen_t>(adapter.interfaceName.size())) != 0 ||
        !setFlag(fd, SOL_SOCKET, SO_BROADCAST)) {
        return failSetup(fd, errno);
    }
    if (!bindAndWatch(fd, Ipv4::any(), localPort)) {
        return false;
    }
    localAddress_ = adapterIp;
    return true;
}

bool UdpEndpoint::bindToAddress(Ipv4 local, std::uint16_t localPort) {
    int fd = -1;
    if (!open(fd)) {
        return false;
    }
    if (!setFlag(fd, SOL_SOCKET, SO_BROADCAST)) {
        return failSetup(fd, errno);
    }
    return bindAndWatch(fd, local, localPort);
}

bool UdpEndpoint::bindAndWatch(int fd, Ipv4 local, std::uint16_t localPort) {
    growReceiveBuffer(fd);
    const sockaddr_in a = socketAddress(local, localPort);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        return failSetup(fd, errno);
    }
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        return failSetup(fd, errno);
    }
    fd_ = fd;
    localAddress_ = local;
    localPort_ = ntohs(bound.sin_port);
    lastError_.clear();
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &UdpEndpoint::onReadable);
    return true;
}

void UdpEndpoint::setRemote(Ipv4 host, std::uint16_t port) {
    remote_ = host;
    remotePort_ = port;
}

bool UdpEndpoint::send(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0) {
        lastError_ = errorCode(EBADF);
        return false;
    }
    const sockaddr_in to = socketAddress(remote_, remotePort_);
    ssize_t n = -1;
    do {
        n = ::sendto(fd_, bytes.data(), bytes.size(), MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&to),
                     sizeof to);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        lastError_ = errorCode(errno);
        emit errorOccurred();
        return false;
    }
    return true;
}

std::optional<Datagram> UdpEndpoint::read() {
    return receive(MSG_DONTWAIT);
}

std::optional<Datagram> UdpEndpoint::readWithin(std::chrono::microseconds limit) {
    if (fd_ >= 0 && limit > std::chrono::microseconds{0}) {
        // ppoll's timeout runs on a high-resolution timer and ends at the limit (plus 50 us of timer
        // slack); SO_RCVTIMEO is counted in scheduler ticks and rounded up, 4 ms at HZ=250 for 1 ms.
        // A pending datagram returns at once; an interrupted or failed wait just reads.
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(limit);
        const timespec timeout{static_cast<time_t>(seconds.count()),
                               static_cast<long>(std::chrono::nanoseconds(limit - seconds).count())};
        pollfd watched{fd_, POLLIN, 0};
        if (::ppoll(&watched, 1, &timeout, nullptr) == 0) {
            return std::nullopt;
        }
    }
    return read();
}

std::optional<Datagram> UdpEndpoint::receive(int flags) {
    if (fd_ < 0) {
        return std::nullopt;
    }
    // One call per datagram: the buffer takes the largest UDP payload there is, so no reply is ever
    // cut short and no peek for its size is needed.
    if (receiveBuffer_.empty()) {
        receiveBuffer_.resize(kLargestDatagramBytes);
    }
    sockaddr_in from{};
    socklen_t length = sizeof from;
    ssize_t n = -1;
    do {
        n = ::recvfrom(fd_, receiveBuffer_.data(), receiveBuffer_.size(), flags,
                       reinterpret_cast<sockaddr*>(&from), &length);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            lastError_ = errorCode(errno);
            emit errorOccurred();
        }
        return std::nullopt;
    }
    Datagram d;
    d.bytes.assign(receiveBuffer_.begin(), receiveBuffer_.begin() + n);
    d.senderIp = Ipv4::fromHostOrder(ntohl(from.sin_addr.s_addr));
    d.senderPort = ntohs(from.sin_port);
    return d;
}

void UdpEndpoint::onReadable() {
    if (fd_ < 0) {
        return;
    }
    if (isSignalConnected(QMetaMethod::fromSignal(&DatagramEndpoint::datagramsReady))) {
        // Straight to the reader: its read() also takes a pending socket error (an ICMP report, say)
        // and reports it, so a peek here would only add a call per datagram.
        emit datagramsReady();
        return;
    }
    // Nobody reads this socket: drop the datagram, or the notifier would fire without end. A pending
    // error is taken the same way; receiving it clears it.
    char probe = 0;
    if (::recv(fd_, &probe, 1, MSG_DONTWAIT) < 0 && errno != EAGAIN && errno != EWOULDBLOCK &&
        errno != EINTR) {
        lastError_ = errorCode(errno);
        emit errorOccurred();
    }
}

void UdpEndpoint::close() {
    if (notifier_ != nullptr) {
        // Deleted later: close() may run inside the notifier's own signal.
        notifier_->setEnabled(false);
        notifier_->deleteLater();
        notifier_ = nullptr;
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    localPort_ = 0; // the local address stays readable after close
}

int UdpEndpoint::receiveBufferBytes() const {
    if (fd_ < 0) {
        return 0;
    }
    int bytes = 0;
    socklen_t length = sizeof bytes;
    if (::getsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, &length) != 0) {
        return 0;
    }
    return bytes;
}

} // namespace fw
