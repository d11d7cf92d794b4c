// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliSetIp.h"

#include "cli/AdapterChoice.h"
#include "cli/CliRunner.h"
#include "cli/CliSearch.h"
#include "cli/CliVerdict.h"
#include "engine/SetIpDriver.h"
#include "setip/core/FixedAddressCheck.h"

#include <algorithm>
#include <cstdio>

namespace fw::cli {
namespace {

using Clock = std::chrono::steady_clock;

// After the OK the device is searched for a second at a time, so one that comes back is seen soon.
constexpr std::chrono::milliseconds kVerifyWait{1000};

std::string secondsText(Clock::duration d) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", std::chrono::duration<double>(d).count());
    return text;
}

// The adapter the device answered on; with no answer, the only adapter there is.
Result<AdapterEntry, ExitStatus> deviceAdapter(CliContext& ctx, const AdapterTable& table,
                                               const std::optional<DeviceRow>& row, const MacAddress& mac) {
    if (row) {
        const AdapterEntry* adapter = adapterAt(table, row->adapterIp);
        return adapter == nullptr ? table.front() : *adapter;
    }
    if (table.size() > 1) {
        ctx.console.err("no device with MAC " + formatMac(mac) +
                        " answered a search; name its adapter with --interface");
        return Failure{ExitStatus::NoAnswer};
    }
    return table.front();
}

// The search before a verified request: refuses an address another device answers from (unless
// --force) and finds the device. Keyed by MAC, so a device that shares an address is still seen;
// it ends early once another device is seen on the address, as that settles the refusal.
asio::awaitable<Result<std::optional<DeviceRow>, ExitStatus>>
check(CliContext& ctx, const SetIpCommand& command, const AdapterTable& table) {
    const MacAddress mac = command.mac;
    const std::optional<Ipv4> ip = command.address ? std::optional(command.address->ip) : std::nullopt;
    const auto other = [mac, ip](const DeviceRow& r) {
        return ip && r.ip == *ip && r.mac != mac;
    };
    const auto searched =
        co_await search(ctx, table, SearchCountdown::kWait, other, DiscoverySearch::Keying::MacAndAdapter);
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

// The request and its copies from the adapter; the answer on its stream.
asio::awaitable<ExitStatus> request(CliContext& ctx, const SetIpCommand& command, const AdapterTable& table,
                                    const AdapterEntry& adapter) {
    const auto answer = co_await sendSetIp(ctx, table, adapter, command.mac, command.address, command.retries,
                                           command.timeout);
    if (!answer) {
        ctx.console.err(portProblem(adapter.interfaceName, adapter.ip, answer.error()));
        co_return ExitStatus::Usage;
    }
    const Verdict verdict = setIpVerdict(*answer, command.mac, command.retries + 1);
    say(ctx.console, verdict);
    co_return verdict.status;
}

// After the device's OK: searches until its MAC answers from the new address (for DHCP: from any).
asio::awaitable<ExitStatus> verify(CliContext& ctx, const SetIpCommand& command, const AdapterTable& table) {
    const auto okAt = Clock::now();
    const auto wanted = [&command](const DeviceRow& r) {
        return r.mac == command.mac && (!command.address || r.ip == command.address->ip);
    };
    std::optional<DeviceRow> lastSeen; // the device's latest answer meanwhile
    for (;;) {
        const auto left = command.verifyTimeout -
                          std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - okAt);
        const auto searched =
            co_await search(ctx, table, std::clamp(left, std::chrono::milliseconds(1), kVerifyWait), wanted,
                            DiscoverySearch::Keying::MacAndAdapter);
        if (!searched) {
            co_return searched.error();
        }
        const auto& rows = searched->rows;
        if (const auto back = std::find_if(rows.begin(), rows.end(), wanted); back != rows.end()) {
            ctx.console.out("Verified: " + formatMac(back->mac) + " answers from " + back->ip.toString() +
                            " on " + adapterName(table, back->adapterIp) + " after " +
                            secondsText(Clock::now() - okAt));
            co_return ExitStatus::Ok;
        }
        const auto seen =
            std::find_if(rows.begin(), rows.end(), [&](const DeviceRow& r) { return r.mac == command.mac; });
        if (seen != rows.end()) {
            lastSeen = *seen;
        }
        if (Clock::now() - okAt >= command.verifyTimeout) {
            break;
        }
    }
    const std::string mac = formatMac(command.mac);
    const std::string after = secondsText(command.verifyTimeout);
    ctx.console.err(lastSeen ? mac + " said OK but still answers from " + lastSeen->ip.toString() +
                                   " after " + after
                             : mac + " said OK but did not answer a search within " + after);
    co_return ExitStatus::NotBack;
}

} // namespace

asio::awaitable<Result<std::optional<SetIpAnswer>, engine::SocketError>>
sendSetIp(CliContext& ctx, const AdapterTable& table, const AdapterEntry& adapter, const MacAddress& mac,
          const std::optional<StaticAddress>& address, int retries, std::chrono::milliseconds timeout) {
    SetIpExchange exchange;
    const auto at = std::find(table.begin(), table.end(), adapter);
    exchange.open(table, std::nullopt, at == table.end() ? 0 : static_cast<int>(at - table.begin()), mac);
    engine::SetIpDriver driver(ctx.endpoints, exchange, {});
    if (const auto opened = driver.open(adapter); !opened) {
        co_return Failure{opened.error()};
    }
    std::optional<engine::SetIpDriver::Fixed> fixed;
    if (address) {
        fixed = engine::SetIpDriver::Fixed{address->ip, address->mask, address->gateway};
    }
    co_return co_await driver.request(fixed, retries, timeout);
}

std::optional<std::string> hostAdapterHolding(const AdapterListing& listing, Ipv4 ip) {
    AdapterTable all;
    for (const AdapterFacts& f : listing.adapters) {
        all.push_back(AdapterEntry{f.ip, f.mask, f.gateway, f.mac, f.interfaceName, f.interfaceIndex});
    }
    const AdapterEntry* holder = adapterHolding(all, ip);
    return holder == nullptr ? std::nullopt : std::optional(holder->interfaceName);
}

bool refuseHostAddress(const SetIpCommand& command, const AdapterListing& listing, Console& console) {
    if (!command.address) {
        return false;
    }
    const auto holder = hostAdapterHolding(listing, command.address->ip);
    if (holder) {
        console.err(command.address->ip.toString() + " is this host's own address on " + *holder +
                    ": a device given it would be cut off; nothing was sent");
    }
    return holder.has_value();
}

asio::awaitable<ExitStatus> runSetIp(CliContext& ctx, const SetIpCommand& command) {
    const auto table = commandAdapters(ctx, command.interfaces);
    if (!table) {
        co_return table.error();
    }
    if (refuseHostAddress(command, ctx.listAdapters(), ctx.console)) {
        co_return ExitStatus::Usage;
    }
    // The request is a broadcast naming the device; with one adapter there is nothing to find.
    Result<std::optional<DeviceRow>, ExitStatus> device = std::optional<DeviceRow>();
    if (command.verify) {
        device = co_await check(ctx, command, *table);
    } else if (table->size() > 1) {
        const MacAddress mac = command.mac;
        device = co_await locate(ctx, *table, [mac](const DeviceRow& row) { return row.mac == mac; });
    }
    if (!device) {
        co_return device.error();
    }
    const auto adapter = deviceAdapter(ctx, *table, *device, command.mac);
    if (!adapter) {
        co_return adapter.error();
    }
    const ExitStatus status = co_await request(ctx, command, *table, *adapter);
    if (!command.verify || status != ExitStatus::Ok) {
        co_return status;
    }
    co_return co_await verify(ctx, command, *table);
}

} // namespace fw::cli
