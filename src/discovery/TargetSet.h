// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/AdapterEntry.h"
#include "common/Ipv4.h"
#include "common/Result.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// A routed search sends the discovery request by unicast to each address of its targets. A target
// is an address (10.1.2.3), a block (10.1.0.0/16, host bits zero) or a range (10.1.2.10-10.1.3.20).
struct Ipv4Range {
    Ipv4 first;
    Ipv4 last; // inclusive, not below first

    std::uint64_t size() const { return std::uint64_t{last.toHostOrder()} - first.toHostOrder() + 1; }
    bool operator==(const Ipv4Range&) const = default;
};

enum class TargetError {
    BadSyntax,        // not an address, a block or a range
    BadPrefix,        // a prefix length above 32
    PrefixZero,       // a prefix length with a leading zero (/024): a typo, or read as octal elsewhere
    HostBits,         // 10.1.2.0/16: the address is not the block's first; likely a typo
    Reversed,         // a range whose first address is above its last
    Loopback,         // touches 127.0.0.0/8
    ThisNetwork,      // touches 0.0.0.0/8
    Multicast,        // touches 224.0.0.0/4
    LimitedBroadcast, // is or contains 255.255.255.255
    SubnetNetwork,    // is the network address of a subnet an adapter is on
    SubnetBroadcast,  // is the broadcast address of a subnet an adapter is on
    TooLarge,         // all targets together exceed kTargetCap addresses and the run is not forced
};

// One target as given. line: its line in a targets file, 0 for one from the command line.
struct Target {
    Ipv4Range range;
    std::size_t line = 0;
    std::string text;
    bool operator==(const Target&) const = default;
};

struct TargetProblem {
    TargetError error = TargetError::BadSyntax;
    std::size_t line = 0;        // 0: the command line, or the targets as a whole (TooLarge)
    std::string text;            // the target as written; empty for TooLarge
    std::uint64_t addresses = 0; // TooLarge: how many the targets cover
    bool operator==(const TargetProblem&) const = default;
};

// A /12: at the default 2,000 requests a second that is about nine minutes of sending.
inline constexpr std::uint64_t kTargetCap = std::uint64_t{1} << 20;

// One target's text, without surrounding blanks.
Result<Ipv4Range, TargetError> parseTarget(std::string_view text);

// A targets file: one target per line; blank lines and everything after '#' are ignored. Every bad
// line is reported, with its number, and the good ones are kept, so that TargetSet::make can judge
// them too and the operator hears of every problem at once.
struct TargetList {
    std::vector<Target> targets;
    std::vector<TargetProblem> problems; // in line order
};
TargetList parseTargetList(std::string_view content);

// The addresses of a routed search, in ascending order, each once however the targets overlap. It
// holds the merged ranges and a position, never a list of addresses, so a /12 costs what a /32 does.
//
// Refused outright: a target touching loopback, 0.0.0.0/8, multicast or 255.255.255.255, none of
// which a device can answer from; and a single address that is the network or broadcast address
// of a subnet an adapter is on (a broadcast would reach every device there, not one). A wider
// target merely skips those addresses, so the adapter's own /24 can be swept as it is.
class TargetSet {
public:
    // Every problem, in the order of the targets; the cap is checked only when nothing else is wrong.
    static Result<TargetSet, std::vector<TargetProblem>> make(const std::vector<Target>& targets,
                                                              const AdapterTable& adapters, bool force);

    // The next address to send to, or none when all were given out.
    std::optional<Ipv4> next();
    // Whether next() gives out `ip` (or gave it out).
    bool covers(Ipv4 ip) const;
    // Start again from the lowest address.
    void rewind();

    // Addresses next() gives out in all, has given since the start, and has still to give.
    std::uint64_t size() const { return size_; }
    std::uint64_t given() const { return given_; }
    std::uint64_t left() const { return size_ - given_; }
    const std::vector<Ipv4Range>& ranges() const { return ranges_; }

private:
    TargetSet(std::vector<Ipv4Range> ranges, std::vector<std::uint32_t> skipped);

    std::vector<Ipv4Range> ranges_;      // sorted, neither overlapping nor adjacent
    std::vector<std::uint32_t> skipped_; // sorted host-order addresses inside ranges_, never given out
    std::uint64_t size_ = 0;
    std::size_t range_ = 0;
    std::uint64_t offset_ = 0; // within ranges_[range_]
    std::uint64_t given_ = 0;
};

} // namespace fw
