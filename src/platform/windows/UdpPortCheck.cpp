// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/UdpPortCheck.h"

#include "platform/windows/WideText.h"

#include <winsock2.h>
#include <ws2tcpip.h>
// winsock2.h first: iphlpapi.h needs its types.
#include <algorithm>
#include <array>
#include <iphlpapi.h>
#include <string>
#include <system_error>
#include <vector>

namespace fw {
namespace {

// The process's image name without its folder; empty when it cannot be opened (another user's).
std::string imageName(DWORD pid) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) {
        return {};
    }
    std::array<wchar_t, MAX_PATH> path{};
    DWORD size = path.size();
    const bool ok = QueryFullProcessImageNameW(process, 0, path.data(), &size) != 0;
    CloseHandle(process);
    if (!ok) {
        return {};
    }
    const std::string full = utf8Of(std::wstring_view(path.data(), size));
    return full.substr(full.find_last_of("\\/") + 1);
}

// The processes holding UDP `port` on ip or on 0.0.0.0, each once.
std::vector<PortHolder> holdersOf(Ipv4 ip, std::uint16_t port) {
    ULONG size = 0;
    std::vector<std::uint8_t> buffer;
    DWORD result = ERROR_INSUFFICIENT_BUFFER;
    for (int attempt = 0; attempt < 4 && result == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
        buffer.assign(std::max<ULONG>(size, sizeof(MIB_UDPTABLE_OWNER_PID)), 0);
        size = static_cast<ULONG>(buffer.size());
        result = GetExtendedUdpTable(buffer.data(), &size, FALSE, AF_INET, UDP_TABLE_OWNER_PID, 0);
    }
    std::vector<PortHolder> holders;
    if (result != NO_ERROR) {
        return holders;
    }
    const auto* table = reinterpret_cast<const MIB_UDPTABLE_OWNER_PID*>(buffer.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_UDPROW_OWNER_PID& row = table->table[i];
        const Ipv4 local = Ipv4::fromHostOrder(ntohl(row.dwLocalAddr));
        const bool here = local == ip || local == Ipv4::any();
        if (!here || ntohs(static_cast<u_short>(row.dwLocalPort)) != port) {
            continue;
        }
        PortHolder h{static_cast<int>(row.dwOwningPid), imageName(row.dwOwningPid)};
        if (std::find(holders.begin(), holders.end(), h) == holders.end()) {
            holders.push_back(h);
        }
    }
    return holders;
}

} // namespace

PortCheck UdpPortCheck::check(const AdapterFacts& adapter, std::uint16_t port) {
    const Ipv4 ip = adapter.ip.value_or(Ipv4::any());
    PortCheck check;
    WSADATA wsa{};
    WSAStartup(MAKEWORD(2, 2), &wsa); // counted: balanced below, harmless beside the engine's own
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        check.state = PortState::Failed;
        check.error = std::system_category().message(WSAGetLastError());
        WSACleanup();
        return check;
    }
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    at.sin_addr.s_addr = htonl(ip.toHostOrder());
    const bool bound = bind(s, reinterpret_cast<const sockaddr*>(&at), sizeof at) == 0;
    const int error = bound ? 0 : WSAGetLastError();
    closesocket(s);
    WSACleanup();
    if (bound) {
        check.state = PortState::Free;
        return check;
    }
    check.error = std::system_category().message(error);
    if (error == WSAEADDRINUSE || error == WSAEACCES) {
        check.state = PortState::InUse;
        check.holders = holdersOf(ip, port);
    } else {
        check.state = PortState::Failed;
    }
    return check;
}

} // namespace fw
