// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/NeighbourFlush.h"

#include <winsock2.h>
#include <ws2tcpip.h>
// winsock2.h first: iphlpapi.h needs its types.
#include <iphlpapi.h>
#include <netioapi.h>

namespace fw {

NeighbourFlush::DeleteEntry NeighbourFlush::systemDelete() {
    using Fn = DWORD(WINAPI*)(const MIB_IPNET_ROW2*);
    const HMODULE module = GetModuleHandleW(L"iphlpapi.dll");
    const FARPROC found = module == nullptr ? nullptr : GetProcAddress(module, "DeleteIpNetEntry2");
    if (found == nullptr) {
        return {};
    }
    // FARPROC is the generic function pointer type; the real one is DeleteIpNetEntry2's.
    const auto call = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(found));
    return [call](unsigned long interfaceIndex, Ipv4 ip) -> unsigned long {
        MIB_IPNET_ROW2 row{};
        row.InterfaceIndex = interfaceIndex;
        row.Address.Ipv4.sin_family = AF_INET;
        row.Address.Ipv4.sin_addr.s_addr = htonl(ip.toHostOrder());
        return call(&row);
    };
}

bool NeighbourFlush::flush(Ipv4 ip, const std::vector<unsigned long>& interfaceIndexes,
                           const DeleteEntry& deleteEntry) {
    if (!deleteEntry) {
        return false;
    }
    bool any = false;
    for (const unsigned long index : interfaceIndexes) {
        const unsigned long result = deleteEntry(index, ip);
        any = any || result == NO_ERROR || result == ERROR_NOT_FOUND;
    }
    return any;
}

} // namespace fw
