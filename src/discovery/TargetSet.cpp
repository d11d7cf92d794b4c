// SPDX-License-Identifier: GPL-3.0-or-later
#include "discovery/TargetSet.h"

#include "common/TextLines.h"

#include <algorithm>
#include <array>
#include <utility>

namespace fw {
namespace {

struct Block {
    std::uint32_t first;
    std::uint32_t last;
    TargetError error;
};

// Where no device can answer from, whatever the adapters: 0.0.0.0/8, 127.0.0.0/8, 224.0.0.0/4, and
// the limited broadcast.
constexpr std::array<Block, 4> kRefused{{{0x00000000, 0x00FFFFFF, TargetError::ThisNetwork},
                                         {0x7F000000, 0x7FFFFFFF, TargetError::Loopback},
                                         {0xE0000000, 0xEFFFFFFF, TargetError::Multicast},
                                         {0xFFFFFFFF, 0xFFFFFFFF, TargetError::LimitedBroadcast}}};

Result<Ipv4Range, TargetError> parseBlock(std::string_view address, std::string_view prefixText) {
    const auto a = Ipv4::parse(address);
    if (!a || prefixText.empty() || prefixText.find_first_not_of("0123456789") != std::string_view::npos) {
        return Failure{TargetError::BadSyntax};
    }
    if (prefixText.size() > 1 && prefixText.front() == '0') {
        return Failure{TargetError::PrefixZero};
    }
    int prefix = 0;
    for (const char c : prefixText) {
        prefix = std::min(prefix * 10 + (c - '0'), 99); // no overflow, however many digits
    }
    if (prefix > 32) {
        return Failure{TargetError::BadPrefix};
    }
    const std::uint32_t hostBits = prefix == 0 ? 0xFFFFFFFF : (std::uint32_t{1} << (32 - prefix)) - 1;
    if ((a->toHostOrder() & hostBits) != 0) {
        return Failure{TargetError::HostBits};
    }
    return Ipv4Range{*a, Ipv4::fromHostOrder(a->toHostOrder() | hostBits)};
}

// The network and broadcast address of each subnet an adapter is on, by any of its addresses; none
// for a /31 or /32, which have neither.
std::vector<std::pair<std::uint32_t, std::uint32_t>> subnetEnds(const AdapterEntry& e) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ends;
    for (const AdapterAddress& a : addressesOf(e)) {
        if ((~a.mask.toHostOrder()) >= 3) {
            const std::uint32_t network = a.ip.toHostOrder() & a.mask.toHostOrder();
            ends.emplace_back(network, network | ~a.mask.toHostOrder());
        }
    }
    return ends;
}

std::optional<TargetError> refusal(const Ipv4Range& r, const AdapterTable& adapters) {
    const std::uint32_t first = r.first.toHostOrder();
    const std::uint32_t last = r.last.toHostOrder();
    for (const Block& b : kRefused) {
        if (first <= b.last && b.first <= last) {
            return b.error;
        }
    }
    for (const AdapterEntry& e : adapters) {
        for (const auto& [network, broadcast] : subnetEnds(e)) {
            if (first == last && first == network) {
                return TargetError::SubnetNetwork;
            }
            if (first == last && first == broadcast) {
                return TargetError::SubnetBroadcast;
            }
        }
    }
    return std::nullopt;
}

} // namespace

Result<Ipv4Range, TargetError> parseTarget(std::string_view text) {
    text = trimmed(text);
    if (const auto slash = text.find('/'); slash != std::string_view::npos) {
        return parseBlock(trimmed(text.substr(0, slash)), trimmed(text.substr(slash + 1)));
    }
    if (const auto dash = text.find('-'); dash != std::string_view::npos) {
        const auto a = Ipv4::parse(trimmed(text.substr(0, dash)));
        const auto b = Ipv4::parse(trimmed(text.substr(dash + 1)));
        if (!a || !b) {
            return Failure{TargetError::BadSyntax};
        }
        if (b->toHostOrder() < a->toHostOrder()) {
            return Failure{TargetError::Reversed};
        }
        return Ipv4Range{*a, *b};
    }
    const auto a = Ipv4::parse(text);
    if (!a) {
        return Failure{TargetError::BadSyntax};
    }
    return Ipv4Range{*a, *a};
}

TargetList parseTargetList(std::string_view content) {
    TargetList list;
    forEachLine(content, [&](std::size_t line, std::string_view text) {
        text = trimmed(text.substr(0, text.find('#')));
        if (text.empty()) {
            return;
        }
        auto range = parseTarget(text);
        if (range) {
            list.targets.push_back(Target{*range, line, std::string(text)});
        } else {
            list.problems.push_back(TargetProblem{range.error(), line, std::string(text)});
        }
    });
    return list;
}

Result<TargetSet, std::vector<TargetProblem>> TargetSet::make(const std::vector<Target>& targets,
                                                              const AdapterTable& adapters, bool force) {
    std::vector<TargetProblem> problems;
    std::vector<Ipv4Range> ranges;
    for (const Target& t : targets) {
        if (const auto error = refusal(t.range, adapters)) {
            problems.push_back(TargetProblem{*error, t.line, t.text});
        } else {
            ranges.push_back(t.range);
        }
    }
    if (!problems.empty()) {
        return Failure{std::move(problems)};
    }
    std::sort(ranges.begin(), ranges.end(), [](const Ipv4Range& a, const Ipv4Range& b) {
        return a.first.toHostOrder() < b.first.toHostOrder();
    });
    std::vector<Ipv4Range> merged;
    for (const Ipv4Range& r : ranges) {
        // Adjacent ranges merge too; 255.255.255.255 is refused, so last + 1 cannot wrap.
        if (!merged.empty() && r.first.toHostOrder() <= merged.back().last.toHostOrder() + 1) {
            if (merged.back().last.toHostOrder() < r.last.toHostOrder()) {
                merged.back().last = r.last;
            }
        } else {
            merged.push_back(r);
        }
    }
    std::vector<std::uint32_t> skipped;
    for (const AdapterEntry& e : adapters) {
        for (const auto& [network, broadcast] : subnetEnds(e)) {
            skipped.push_back(network);
            skipped.push_back(broadcast);
        }
    }
    TargetSet set(std::move(merged), std::move(skipped));
    if (!force && set.size() > kTargetCap) {
        return Failure{std::vector{TargetProblem{TargetError::TooLarge, 0, {}, set.size()}}};
    }
    return set;
}

TargetSet::TargetSet(std::vector<Ipv4Range> ranges, std::vector<std::uint32_t> skipped)
    : ranges_(std::move(ranges)), skipped_(std::move(skipped)) {
    std::erase_if(skipped_, [this](std::uint32_t a) {
        return std::none_of(ranges_.begin(), ranges_.end(), [a](const Ipv4Range& r) {
            return r.first.toHostOrder() <= a && a <= r.last.toHostOrder();
        });
    });
    std::sort(skipped_.begin(), skipped_.end());
    skipped_.erase(std::unique(skipped_.begin(), skipped_.end()), skipped_.end());
    for (const Ipv4Range& r : ranges_) {
        size_ += r.size();
    }
    size_ -= skipped_.size();
}

std::optional<Ipv4> TargetSet::next() {
    while (range_ < ranges_.size()) {
        const Ipv4Range& r = ranges_[range_];
        if (offset_ == r.size()) {
            ++range_;
            offset_ = 0;
            continue;
        }
        const auto address = static_cast<std::uint32_t>(r.first.toHostOrder() + offset_++);
        if (!std::binary_search(skipped_.begin(), skipped_.end(), address)) {
            ++given_;
            return Ipv4::fromHostOrder(address);
        }
    }
    return std::nullopt;
}

bool TargetSet::covers(Ipv4 ip) const {
    const std::uint32_t a = ip.toHostOrder();
    return !std::binary_search(skipped_.begin(), skipped_.end(), a) &&
           std::any_of(ranges_.begin(), ranges_.end(), [a](const Ipv4Range& r) {
               return r.first.toHostOrder() <= a && a <= r.last.toHostOrder();
           });
}

void TargetSet::rewind() {
    range_ = 0;
    offset_ = 0;
    given_ = 0;
}

} // namespace fw
