// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/NftablesChains.h"

#include "platform/linux/NetlinkSocket.h"

#include <arpa/inet.h>
#include <cstring>
#include <fstream>
#include <linux/netfilter.h>
#include <linux/netfilter/nf_tables.h>
#include <linux/netfilter/nfnetlink.h>
#include <linux/netlink.h>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace fw {
namespace {

std::string textOf(std::span<const std::uint8_t> value) {
    const auto* p = reinterpret_cast<const char*>(value.data());
    return std::string(p, strnlen(p, value.size()));
}

std::optional<std::uint32_t> be32(std::span<const std::uint8_t> value) {
    if (value.size() < 4) {
        return std::nullopt;
    }
    std::uint32_t v = 0;
    std::memcpy(&v, value.data(), 4);
    return ntohl(v);
}

// iptables-legacy keeps its tables in x_tables, out of nftables' sight; a table it has used is named
// in this file of the namespace (root only).
bool legacyFilterTable() {
    std::ifstream names("/proc/net/ip_tables_names");
    std::string name;
    while (std::getline(names, name)) {
        if (name == "filter") {
            return true;
        }
    }
    return false;
}

} // namespace

FirewallFacts NftablesChains::inputDropChains() {
    FirewallFacts facts;
    if (::geteuid() != 0) {
        facts.check = FirewallCheck::NeedsRoot;
        return facts;
    }
    nfgenmsg request{};
    request.nfgen_family = AF_UNSPEC;
    request.version = NFNETLINK_V0;
    std::vector<std::uint8_t> body(sizeof request);
    std::memcpy(body.data(), &request, sizeof request);
    constexpr auto kGetChain = static_cast<std::uint16_t>((NFNL_SUBSYS_NFTABLES << 8) | NFT_MSG_GETCHAIN);
    constexpr auto kNewChain = static_cast<std::uint16_t>((NFNL_SUBSYS_NFTABLES << 8) | NFT_MSG_NEWCHAIN);
    // A ruleset changed while it was read is asked for again, on a fresh socket.
    using DumpError = NetlinkSocket::DumpError;
    Status<DumpError> result = Failure{DumpError::Interrupted};
    for (int attempt = 0; attempt < 3 && !result && result.error() == DumpError::Interrupted; ++attempt) {
        facts.dropChains.clear();
        NetlinkSocket nl(NETLINK_NETFILTER);
        result = nl.dump(kGetChain, body, [&](const NetlinkMessage& m) {
            if (m.type != kNewChain || m.payload.size() < sizeof(nfgenmsg)) {
                return;
            }
            const std::uint8_t family = m.payload[0];
            // Only these two families see IPv4 datagrams on their way to a local socket.
            if (family != NFPROTO_IPV4 && family != NFPROTO_INET) {
                return;
            }
            DropChain chain;
            chain.family = family == NFPROTO_IPV4 ? "ip" : "inet";
            std::optional<std::uint32_t> hook;
            std::optional<std::uint32_t> policy;
            forEachAttribute(m.payload.subspan(sizeof(nfgenmsg)), [&](std::uint16_t type, auto value) {
                switch (type) {
                case NFTA_CHAIN_TABLE:
                    chain.table = textOf(value);
                    break;
                case NFTA_CHAIN_NAME:
                    chain.chain = textOf(value);
                    break;
                case NFTA_CHAIN_POLICY:
                    policy = be32(value);
                    break;
                case NFTA_CHAIN_HOOK:
                    forEachAttribute(value, [&](std::uint16_t hookType, auto hookValue) {
                        if (hookType == NFTA_HOOK_HOOKNUM) {
                            hook = be32(hookValue);
                        }
                    });
                    break;
                default:
                    break;
                }
            });
            if (hook == NF_INET_LOCAL_IN && policy == NF_DROP) {
                facts.dropChains.push_back(chain);
            }
        });
    }
    facts.check = result ? FirewallCheck::Checked : FirewallCheck::Unreadable;
    facts.legacyIptables = legacyFilterTable();
    return facts;
}

} // namespace fw
