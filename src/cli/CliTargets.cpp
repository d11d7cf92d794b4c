// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliTargets.h"

#include "cli/ReportFile.h"
#include "common/NameTable.h"

#include <algorithm>

namespace fw::cli {
namespace {

constexpr NameTable<TargetError, 12> kTargetReasons{{
    {TargetError::BadSyntax, "is not an address, a block (A/N) or a range (A-B)"},
    {TargetError::BadPrefix, "has a prefix length above 32"},
    {TargetError::PrefixZero, "has a prefix length written with a leading zero"},
    {TargetError::HostBits, "has host bits set: a block is written with its first address"},
    {TargetError::Reversed, "is a range whose first address is above its last"},
    {TargetError::Loopback, "touches loopback (127.0.0.0/8)"},
    {TargetError::ThisNetwork, "touches 0.0.0.0/8"},
    {TargetError::Multicast, "touches multicast (224.0.0.0/4)"},
    {TargetError::LimitedBroadcast, "is or contains 255.255.255.255"},
    {TargetError::SubnetNetwork, "is the network address of an adapter's subnet"},
    {TargetError::SubnetBroadcast,
     "is the broadcast address of an adapter's subnet (a plain search reaches it)"},
    {TargetError::TooLarge, ""},
}};

} // namespace

std::string targetProblemText(const TargetProblem& problem, const std::string& file) {
    if (problem.error == TargetError::TooLarge) {
        return "the targets cover " + std::to_string(problem.addresses) + " addresses, more than the " +
               std::to_string(kTargetCap) + " of a /12; --force sends to them all";
    }
    const std::string where = problem.line == 0 ? "--target" : file + ":" + std::to_string(problem.line);
    return where + ": '" + problem.text + "' " + std::string(nameIn(kTargetReasons, problem.error));
}

Result<std::optional<Sweep>, ExitStatus> commandSweep(CliContext& ctx, const TargetOptions& options,
                                                      const AdapterTable& table) {
    if (!options.any()) {
        return std::optional<Sweep>();
    }
    std::vector<Target> targets;
    std::vector<TargetProblem> problems;
    for (const std::string& text : options.targets) {
        if (const auto range = parseTarget(text)) {
            targets.push_back({*range, 0, text});
        } else {
            problems.push_back({range.error(), 0, text});
        }
    }
    if (!options.targetsFrom.empty()) {
        const auto content = readTextFile(options.targetsFrom);
        if (!content) {
            ctx.console.err("--targets-from: cannot read " + options.targetsFrom + ": " +
                            content.error().message());
            return Failure{ExitStatus::Usage};
        }
        TargetList listed = parseTargetList(*content);
        if (listed.targets.empty() && listed.problems.empty()) {
            ctx.console.err("--targets-from: " + options.targetsFrom +
                            " lists no target (one address, block A/N or range A-B a line)");
            return Failure{ExitStatus::Usage};
        }
        targets.insert(targets.end(), listed.targets.begin(), listed.targets.end());
        problems.insert(problems.end(), listed.problems.begin(), listed.problems.end());
    }
    // The others are judged too, so that every problem is said at once; the cap only when there is
    // no other.
    auto made = TargetSet::make(targets, table, options.force || !problems.empty());
    if (made && problems.empty() && made->size() == 0) {
        ctx.console.err("the targets hold only network and broadcast addresses of the adapters' subnets: "
                        "no address is left to send to");
        return Failure{ExitStatus::Usage};
    }
    if (made && problems.empty()) {
        return std::optional(Sweep{std::move(*made), options.rate, options.broadcast});
    }
    if (!made) {
        problems.insert(problems.end(), made.error().begin(), made.error().end());
    }
    std::stable_sort(problems.begin(), problems.end(),
                     [](const TargetProblem& a, const TargetProblem& b) { return a.line < b.line; });
    for (const TargetProblem& p : problems) {
        ctx.console.err(targetProblemText(p, options.targetsFrom));
    }
    return Failure{ExitStatus::Usage};
}

Sweep sweepOf(std::span<const Ipv4> addresses, const AdapterTable& table, bool broadcast, int rate) {
    std::vector<Target> targets;
    for (const Ipv4& a : addresses) {
        const std::vector<Target> one{{Ipv4Range{a, a}, 0, a.toString()}};
        if (TargetSet::make(one, table, true)) {
            targets.push_back(one.front());
        }
    }
    return Sweep{std::move(TargetSet::make(targets, table, true).value()), rate, broadcast};
}

} // namespace fw::cli
