// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliSetIp.h"

#include "cli/AdapterChoice.h"
#include "cli/CliTargets.h"
#include "cli/CliVerdict.h"
#include "cli/CommandOpening.h"
#include "cli/CommandOptions.h"
#include "cli/CommandSearch.h"
#include "cli/FleetCommand.h"
#include "cli/ProgressText.h"
#include "engine/BackCheckDriver.h"
#include "engine/SetIpDriver.h"
#include "netif/AdapterRules.h"
#include "setip/FixedAddressCheck.h"

#include <algorithm>
#include <array>

namespace fw::cli {
namespace {

using engine::Clock;

// The adapter the device answered on; with no answer, the only adapter there is (not after a
// search of targets, which was to find the device's address).
Result<AdapterEntry, ExitStatus> deviceAdapter(CliContext& ctx, const AdapterTable& table,
                                               const std::optional<DeviceRow>& row, const MacAddress& mac,
                                               bool swept) {
    if (row) {
        const AdapterEntry* adapter = adapterAt(table, row->adapterIp);
        return adapter == nullptr ? table.front() : *adapter;
    }
    if (table.size() > 1 || swept) {
        ctx.console.err("no device with MAC " + formatMac(mac) + " answered a search" +
                        (swept ? "" : "; name its adapter with --interface"));
        return Failure{ExitStatus::NoAnswer};
    }
    return table.front();
}

// The command's targets and the new address: a device already answering from it is seen too.
Sweep withAddress(Sweep sweep, Ipv4 ip, const AdapterTable& table) {
    std::vector<Target> targets{{Ipv4Range{ip, ip}, 0, ip.toString()}};
    for (const Ipv4Range& r : sweep.targets.ranges()) {
        targets.push_back({r, 0, {}});
    }
    if (auto made = TargetSet::make(targets, table, true)) {
        sweep.targets = std::move(*made);
    }
    return sweep;
}

// The search before a verified request: refuses an address another device answers from (unless
// --force) and finds the device. Keyed by MAC, so a device that shares an address is still seen;
// it ends early once another device is seen on the address, as that settles the refusal.
asio::awaitable<Result<std::optional<DeviceRow>, ExitStatus>> check(CliContext& ctx,
                                                                    const SetIpCommand& command,
                                                                    const AdapterTable& table,
                                                                    const std::optional<Sweep>& targets) {
    const MacAddress mac = command.mac;
    const std::optional<Ipv4> ip = command.address ? std::optional(command.address->address) : std::nullopt;
    const auto other = [mac, ip](const DeviceRow& r) {
        return ip && r.ip == *ip && r.mac != mac;
    };
    std::optional<Sweep> sweep = targets;
    if (sweep && ip) {
        sweep = withAddress(std::move(*sweep), *ip, table);
    }
    SearchRequest request{table, SearchCountdown::kWait, other, DiscoverySearch::Keying::MacAndAdapter,
                          std::move(sweep)};
    const auto searched = co_await search(ctx, request);
    if (!searched) {
        co_return Failure{searched.error()};
    }
    const auto& rows = searched->rows;
    if (const auto taken = std::find_if(rows.begin(), rows.end(), other); taken != rows.end()) {
        const std::string who = ip->toString() + " is taken: " + formatMac(taken->mac) +
                                " answers from it on " + adapterName(table, taken->adapterIp);
        if (!command.force) {
            ctx.console.err(who + "; give --force to set it anyway");
            co_return Failure{ExitStatus::Usage};
        }
        ctx.console.err(who + "; setting it anyway (--force)");
    }
    const auto device =
        std::find_if(rows.begin(), rows.end(), [&](const DeviceRow& r) { return r.mac == mac; });
    co_return device == rows.end() ? std::nullopt : std::optional(*device);
}

// The request and its copies from the adapter, to the device's address by unicast when it is
// `routed`; the answer on its stream.
asio::awaitable<ExitStatus> request(CliContext& ctx, const SetIpCommand& command, const AdapterTable& table,
                                    const AdapterEntry& adapter, std::optional<Ipv4> routed) {
    const auto answer = co_await sendSetIp(ctx, table, adapter, command.mac, command.address, command.retries,
                                           command.timeout, routed);
    if (!answer) {
        ctx.console.err(portProblem(adapter.interfaceName, adapter.ip, answer.error()));
        co_return ExitStatus::Usage;
    }
    const int requests = command.retries + 1;
    const Verdict verdict = routed ? setIpVerdict(*answer, command.mac, requests, *routed, command.verify)
                                   : setIpVerdict(*answer, command.mac, requests);
    say(ctx.console, verdict);
    co_return verdict.status;
}

// After the device's OK (or, behind a router, no answer): searches until its MAC answers from the
// new address (for DHCP: from any), there by unicast with a sweep.
asio::awaitable<ExitStatus> verify(CliContext& ctx, const SetIpCommand& command, const AdapterTable& table,
                                   const std::optional<Sweep>& sweep, bool answered) {
    const auto okAt = Clock::now();
    const StopWhen wanted = [&command](const DeviceRow& r) {
        return r.mac == command.mac && (!command.address || r.ip == command.address->address);
    };
    std::optional<DeviceRow> lastSeen; // the device's latest answer meanwhile
    ExitStatus status = ExitStatus::NotBack;
    const engine::BackCheckDriver::Round round = [&] {
        const auto left = command.verifyTimeout -
                          std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - okAt);
        return SearchRequest{table, std::clamp(left, std::chrono::milliseconds(1), engine::kBackSearchWait),
                             wanted, DiscoverySearch::Keying::MacAndAdapter, sweep};
    };
    const engine::BackCheckDriver::Judge judge = [&](const SearchSummary& searched) {
        if (const auto sent = searchSent(ctx, searched); !sent) {
            status = sent.error();
            return true;
        }
        const auto& rows = searched.rows;
        if (const auto back = std::find_if(rows.begin(), rows.end(), wanted); back != rows.end()) {
            ctx.console.out("Verified: " + formatMac(back->mac) + " answers from " + back->ip.toString() +
                            " on " + adapterName(table, back->adapterIp) + " after " +
                            secondsText(Clock::now() - okAt));
            status = ExitStatus::Ok;
            return true;
        }
        const auto seen =
            std::find_if(rows.begin(), rows.end(), [&](const DeviceRow& r) { return r.mac == command.mac; });
        if (seen != rows.end()) {
            lastSeen = *seen;
        }
        if (Clock::now() - okAt < command.verifyTimeout) {
            return false;
        }
        const std::string mac = formatMac(command.mac) + (answered ? " said OK but" : "");
        const std::string after = secondsText(command.verifyTimeout);
        ctx.console.err(lastSeen ? mac + " still answers from " + lastSeen->ip.toString() + " after " + after
                                 : mac + " did not answer a search within " + after);
        return true;
    };
    engine::BackCheckDriver back(ctx.endpoints);
    co_await back.run(round, judge);
    co_return status;
}

} // namespace

asio::awaitable<Result<std::optional<SetIpAnswer>, SocketError>>
sendSetIp(CliContext& ctx, const AdapterTable& table, const AdapterEntry& adapter, const MacAddress& mac,
          const std::optional<FixedAddress>& address, int retries, std::chrono::milliseconds timeout,
          std::optional<Ipv4> device) {
    SetIpExchange exchange;
    engine::SetIpDriver driver(ctx.endpoints, exchange);
    const auto at = std::find(table.begin(), table.end(), adapter); // the adapter is one of the table's
    const SetIpJob::Request request{table, static_cast<int>(at - table.begin()), mac, device,
                                    SetIpJob::Once{address, retries, timeout}};
    const engine::SetIpDriver::Observer unheard;
    const auto outcome = co_await driver.run(request, unheard);
    if (outcome.bindFailure) {
        co_return Failure{*outcome.bindFailure};
    }
    co_return outcome.answer;
}

std::optional<std::string> hostAdapterHolding(const AdapterListing& listing, Ipv4 ip) {
    const AdapterTable all = hostAdapters(listing);
    const AdapterEntry* holder = adapterHolding(all, ip);
    return holder == nullptr ? std::nullopt : std::optional(holder->interfaceName);
}

bool refuseHostAddress(const SetIpCommand& command, const AdapterListing& listing, Console& console) {
    if (!command.address) {
        return false;
    }
    const auto holder = hostAdapterHolding(listing, command.address->address);
    if (holder) {
        console.err(command.address->address.toString() + " is this host's own address on " + *holder +
                    ": a device given it would be cut off; nothing was sent");
    }
    return holder.has_value();
}

namespace {

// set-ip once its adapters and targets are known.
asio::awaitable<ExitStatus> setIpOn(CliContext& ctx, const SetIpCommand& command, const AdapterTable& table,
                                    const std::optional<Sweep>& sweep) {
    const MacAddress mac = command.mac;
    const SearchRequest find{table, SearchCountdown::kWait,
                             [mac](const DeviceRow& row) { return row.mac == mac; },
                             DiscoverySearch::Keying::Sender, sweep};
    Result<std::optional<DeviceRow>, ExitStatus> device = std::optional<DeviceRow>();
    if (command.verify) {
        device = co_await check(ctx, command, table, sweep);
    } else if (table.size() > 1 || sweep || command.dryRun) { // a dry run says whether it is there
        device = co_await searchDevice(ctx, find);
    }
    if (!device) {
        co_return device.error();
    }
    const auto adapter = deviceAdapter(ctx, table, *device, command.mac, sweep.has_value() || command.dryRun);
    if (!adapter) {
        co_return adapter.error();
    }
    if (command.dryRun) {
        ctx.console.out("Dry run: " + formatMac(command.mac) + " answers from " + (*device)->ip.toString() +
                        " on " + adapter->interfaceName + "; Set IP to " +
                        (command.address ? command.address->address.toString() : std::string("DHCP")) +
                        " would be sent");
        co_return ExitStatus::Ok;
    }
    // A broadcast does not cross a router: a device found at one of the targets is sent the
    // request at its address, and checked there afterwards.
    std::optional<Ipv4> routed;
    std::optional<Sweep> verifySweep;
    if (sweep && *device && sweep->targets.covers((*device)->ip)) {
        routed = (*device)->ip;
        verifySweep = sweep;
        if (command.address) { // and the old address, to say when it still answers from there
            const std::array<Ipv4, 2> at{command.address->address, *routed};
            verifySweep = sweepOf(at, table, command.targets.broadcast, command.targets.rate);
        }
    }
    const ExitStatus status = co_await request(ctx, command, table, *adapter, routed);
    const bool answered = status == ExitStatus::Ok;
    if (!command.verify || !(answered || (routed && status == ExitStatus::NoAnswer))) {
        co_return status;
    }
    co_return co_await verify(ctx, command, table, verifySweep, answered);
}

} // namespace

asio::awaitable<ExitStatus> run(CliContext& ctx, const SetIpCommand& command) {
    const std::function<bool()> hostAddress = [&] {
        return refuseHostAddress(command, ctx.host.readAdapters(), ctx.console);
    };
    const auto opened = openCommand(ctx, command.interfaces, command.targets, hostAddress);
    if (!opened) {
        co_return opened.error();
    }
    co_return co_await setIpOn(ctx, command, opened->table, opened->sweep);
}

namespace {

constexpr std::string_view kNoGateway = "0.0.0.0";

constexpr std::array kSetIpOptions{
    OptionRow{"--dhcp", "", "switch the device to DHCP"},
    OptionRow{"--ip", "A", "the new address (first number not 0, last neither 0 nor 255)"},
    OptionRow{"--mask", "M", "the new subnet mask"},
    OptionRow{"--gateway", "G", "the new default gateway",
              [] {
                  return std::string(kNoGateway);
              }},
    OptionRow{"-i,--interface", "IF", "the adapter the device is on (otherwise a search finds it)", nullptr,
              true},
    OptionRow{"-t,--timeout", "S", "seconds to wait for an answer to each request",
              [] {
                  return seconds(SetIpCommand{}.timeout);
              }},
    OptionRow{"-r,--retries", "N", "further copies of the request when no answer came",
              [] {
                  return std::to_string(SetIpCommand{}.retries);
              }},
    OptionRow{"--verify", "",
              "first refuse an address another device answers from; after the\n"
              "device's OK, search until it answers from the new address (DHCP: from any)"},
    OptionRow{"--force", "",
              "with --verify: set the address even though another device answers\n"
              "from it; with targets: send to more than a /12 of them"},
    OptionRow{"--verify-timeout", "S", "seconds the device has to come back",
              [] {
                  return seconds(SetIpCommand{}.verifyTimeout);
              }},
    kTarget,
    kTargetsFrom,
    kRate,
    kBroadcast,
    OptionRow{"--plan", "FILE", "give every device of a CSV plan its address (mac,ip,mask,gateway,label)"},
    OptionRow{"--report", "FILE", "with --plan: write the plan's report as JSON, after every row"},
    OptionRow{"--skip-done", "FILE",
              "with --plan: leave out the rows that report settled with the same values"},
    OptionRow{"--parallel", "N", "with --plan: up to N requests at once, never two on one adapter",
              [] {
                  return std::to_string(SetIpPlanCommand{}.parallel);
              }},
    OptionRow{"-f,--format", "F", "with --plan: table or json (the report's rows)",
              [] {
                  return nameOf(kPlanFormats, SetIpPlanCommand{}.format);
              }},
    kDryRun,
};

// The options only a plan takes, and those a plan replaces.
constexpr std::array<std::string_view, 5> kPlanOnly{"report", "skip-done", "parallel", "format", "plan"};

ParsedCommandLine parseSetIp(const Options& o) {
    if (o.isSet("plan")) {
        return parsePlan(o);
    }
    for (const std::string_view name : kPlanOnly) {
        if (o.isSet(name)) {
            return o.failure("--" + std::string(name) + " needs --plan");
        }
    }
    const auto& args = o.positionals();
    if (args.empty()) {
        return o.failure("the device's MAC address is missing");
    }
    if (args.size() > 1) {
        return o.failure("unexpected argument " + quoted(args[1]));
    }
    SetIpCommand c;
    const auto mac = parseMac(args[0]);
    if (!mac) {
        return o.failure(quoted(args[0]) + " is not a MAC address (write it like 00-0A-1B-2C-3D-4E)");
    }
    c.mac = *mac;

    const bool dhcp = o.isSet("dhcp");
    const bool anyStatic = o.isSet("ip") || o.isSet("mask") || o.isSet("gateway");
    if (dhcp && anyStatic) {
        return o.failure("--dhcp cannot be combined with --ip, --mask or --gateway");
    }
    if (!dhcp && !anyStatic) {
        return o.failure("give either --dhcp or --ip and --mask");
    }
    if (!dhcp) {
        if (!o.isSet("ip")) {
            return o.failure("--ip is missing (--mask and --gateway need it)");
        }
        if (!o.isSet("mask")) {
            return o.failure("--mask is missing");
        }
        // The same judgement as the dialog: the address must be one a device can take; mask and
        // gateway need only be addresses.
        const std::string ip = o.value("ip");
        const std::string mask = o.value("mask");
        const std::string gateway = o.isSet("gateway") ? o.value("gateway") : std::string(kNoGateway);
        const auto parsedIp = Ipv4::parse(ip);
        if (!parsedIp || !isAcceptableDeviceAddress(*parsedIp)) {
            return o.failure("--ip " + quoted(ip) + " is not a valid IP address");
        }
        if (!Ipv4::parse(mask)) {
            return o.failure("--mask " + quoted(mask) + " is not a valid IP address");
        }
        if (!Ipv4::parse(gateway)) {
            return o.failure("--gateway " + quoted(gateway) + " is not a valid IP address");
        }
        const auto fixed = checkFixedAddress(ip, mask, gateway);
        if (!fixed) {
            return o.failure(notValidIpMessage(fixed.error().typed).text);
        }
        c.address = *fixed;
    }
    c.interfaces = o.interfaces();
    if (auto e = o.seconds("timeout", c.timeout)) {
        return *e;
    }
    if (auto e = o.count("retries", c.retries, 0, kMaxRetries)) {
        return *e;
    }
    if (auto e = verifyAndTargetOptions(o, c)) {
        return *e;
    }
    if (auto e = o.seconds("verify-timeout", c.verifyTimeout)) {
        return *e;
    }
    c.dryRun = o.isSet("dry-run");
    return toRun(c);
}

} // namespace

const CommandSpec kSetIpSpec{
    CommandRow{
        "set-ip", "give one device, named by its MAC address, a fixed address or DHCP",
        R"(fernwick-cli set-ip MAC (--dhcp | --ip A --mask M [--gateway G]) [OPTIONS]
       fernwick-cli set-ip --plan FILE [--report FILE] [--skip-done FILE] [--parallel N] [OPTIONS])",
        R"(Broadcasts a Set IP request naming the device by its MAC (00-0A-1B-2C-3D-4E or 00:0a:1b:2c:3d:4e),
so a device on a foreign subnet is reached too, and prints its answer. An address one of this
host's adapters holds is refused before anything is sent (exit 2, even with --force).

The second form gives every device of a plan its address: CSV with a header naming the columns
mac, ip, mask, gateway and optionally label, one row per device, "dhcp" in ip for DHCP, # comments.
Every bad row (unknown column, bad MAC or address, two rows for one MAC, two MACs for one address)
is named with its line before anything is sent. One search finds the devices; each row's request
goes from its device's adapter, side by side on different adapters with --parallel. At the end a
table (or with --format json the report's rows) gives each row's state:
  done          the device said OK (with --verify: and answers from the planned address, alone)
  unchanged     it already answered from the planned address, alone: no request was sent
  not-found     no search listed it
  refused       the device refused the request
  timed-out     no answer to the request and its copies
  not-back      (--verify) it said OK but did not answer from the planned address in time
  taken         (--verify) another device answers from the address: one not in the plan
                (nothing was sent), or any other still after the device took it
  host-address  one of this host's adapters holds the address: nothing was sent
  not-sent      UDP port 4001 unusable on its adapter, or the run stopped because its report
                could not be written
  pending       (--dry-run) it would be sent the request
The report must be writable as for an upgrade rollout; --skip-done carries over the rows an
earlier report lists as done or unchanged with the same address, mask and gateway.)",
        R"(Exit status: 0 done (with --verify: and back as asked; a plan: every row done or unchanged),
1 refused (a plan: a row neither done nor unchanged, or the report could not be written), 2 bad
arguments or plan, UDP port 4001 in use, the address is this host's or (--verify) taken, 3 no
answer, 4 the device said OK but did not come back as asked.)",
        kSetIpOptions},
    parseSetIp};

} // namespace fw::cli
