// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/UdpPortCheck.h"

#include "platform/linux/NetlinkSocket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <set>
#include <sys/socket.h>
#include <unistd.h>

namespace fw {
namespace {

// Inodes of the UDP sockets that keep 0.0.0.0:port on this interface from being bound: those on
// the port tied to the same interface or to none.
std::set<unsigned long> conflictingInodes(int interfaceIndex, std::uint16_t port) {
    std::set<unsigned long> inodes;
    NetlinkSocket nl(NETLINK_SOCK_DIAG);
    inet_diag_req_v2 req{};
    req.sdiag_family = AF_INET;
    req.sdiag_protocol = IPPROTO_UDP;
    req.idiag_states = ~0u;
    std::vector<std::uint8_t> body(sizeof req);
    std::memcpy(body.data(), &req, sizeof req);
    // A table cut short still names holders; the ones it missed show as unreadable (pid 0).
    static_cast<void>(nl.dump(SOCK_DIAG_BY_FAMILY, body, [&](const NetlinkMessage& m) {
        if (m.type != SOCK_DIAG_BY_FAMILY || m.payload.size() < sizeof(inet_diag_msg)) {
            return;
        }
        inet_diag_msg msg{};
        std::memcpy(&msg, m.payload.data(), sizeof msg);
        const int boundIf = static_cast<int>(msg.id.idiag_if);
        if (ntohs(msg.id.idiag_sport) == port && (boundIf == 0 || boundIf == interfaceIndex)) {
            inodes.insert(msg.idiag_inode);
        }
    }));
    return inodes;
}

std::string commOf(const std::filesystem::path& processDir) {
    std::ifstream in(processDir / "comm");
    std::string name;
    std::getline(in, name);
    return name;
}

// Every process with a descriptor on one of the sockets; a socket whose owner cannot be read
// (another user's, without root) gives a holder with pid 0.
std::vector<PortHolder> ownersOf(const std::set<unsigned long>& inodes) {
    namespace fs = std::filesystem;
    std::vector<PortHolder> holders;
    std::set<unsigned long> found;
    std::error_code ec;
    for (fs::directory_iterator proc("/proc", ec), end; !ec && proc != end; proc.increment(ec)) {
        const std::string pid = proc->path().filename().string();
        if (pid.empty() ||
            !std::all_of(pid.begin(), pid.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        std::error_code fdError;
        for (fs::directory_iterator fd(proc->path() / "fd", fdError), fdEnd; !fdError && fd != fdEnd;
             fd.increment(fdError)) {
            std::error_code linkError;
            const std::string target = fs::read_symlink(fd->path(), linkError).string();
            unsigned long inode = 0;
            if (linkError || std::sscanf(target.c_str(), "socket:[%lu]", &inode) != 1 ||
                !inodes.count(inode)) {
                continue;
            }
            found.insert(inode);
            const PortHolder h{std::stoi(pid), commOf(proc->path())};
            if (std::find(holders.begin(), holders.end(), h) == holders.end()) {
                holders.push_back(h);
            }
        }
    }
    if (found.size() < inodes.size()) {
        holders.push_back(PortHolder{0, {}});
    }
    return holders;
}

} // namespace

PortCheck UdpPortCheck::check(const std::string& interfaceName, int interfaceIndex, std::uint16_t port) {
    PortCheck result;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        result.state = PortState::Failed;
        result.error = std::strerror(errno);
        return result;
    }
    int error = 0;
    if (::setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, interfaceName.c_str(),
                     static_cast<socklen_t>(interfaceName.size())) != 0) {
        error = errno;
    } else {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(port);
        local.sin_addr.s_addr = htonl(INADDR_ANY);
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            error = errno;
        }
    }
    ::close(fd);
    if (error == 0) {
        result.state = PortState::Free;
        return result;
    }
    result.error = std::strerror(error);
    if (error != EADDRINUSE) {
        result.state = PortState::Failed;
        return result;
    }
    result.state = PortState::InUse;
    result.holders = ownersOf(conflictingInodes(interfaceIndex, port));
    return result;
}

} // namespace fw
