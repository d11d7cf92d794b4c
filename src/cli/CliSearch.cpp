// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliSearch.h"

#include "cli/CliInventory.h"
#include "cli/CommandOpening.h"
#include "cli/CommandSearch.h"
#include "cli/DeviceReport.h"
#include "cli/InventoryWatch.h"
#include "doctor/DoctorRules.h"
#include "platform/Host.h"

#include <algorithm>
#include <cstdio>

namespace fw::cli {
namespace {

constexpr std::array kSearchOptions{
    kInterface,
    kTarget,
    kTargetsFrom,
    kRate,
    kTargetCapForce,
    kBroadcast,
    OptionRow{"-t,--timeout", "S", "seconds to wait for answers",
              [] {
                  return seconds(SearchCommand{}.timeout);
              }},
    OptionRow{"-f,--format", "F", "table, json or csv",
              [] {
                  return nameOf(kOutputFormats, SearchCommand{}.format);
              }},
    kInventoryFile,
};

ParsedCommandLine parseSearch(const Options& o) {
    ParsedCommandLine parsed = parseListing<SearchCommand>(o, kOutputFormats);
    if (parsed.kind == ParsedCommandLine::Kind::Run) {
        if (auto e = inventoryOption(o, std::get<SearchCommand>(*parsed.command).inventory)) {
            return *e;
        }
    }
    return parsed;
}

} // namespace

const CommandSpec kSearchSpec{
    CommandRow{
        "search", "list every device that answers a discovery broadcast",
        R"(fernwick-cli search [--interface IF]... [--timeout SECONDS] [--format table|json|csv]
       fernwick-cli search --target T... [--targets-from FILE] [--rate N] [--force] [--broadcast] [OPTIONS])",
        R"(Broadcasts one discovery request on every usable adapter and lists each device that answers:
name, ip, essid, channel, wep, mac, kind (ap or adapter) and the local adapter it answered on.

With --target or --targets-from the request goes instead by unicast to each target address, paced
at --rate a second, out of the adapter the route to it leaves by, so devices behind routers
answer too (a /16 takes about half a minute at the default rate); --broadcast adds the
broadcast search. The timeout counts from the last request. A device that answers only by
broadcast cannot be reached across a router. Refused (exit 2, nothing sent): loopback,
multicast, 0.0.0.0/8, 255.255.255.255, a connected subnet's network or broadcast address, and
more than a /12 of addresses without --force. Addresses without a route out of a searched
adapter are skipped, and counted on stderr.

With --inventory FILE the devices found are also merged into FILE (see 'fernwick-cli inventory').)",
        R"(Exit status: 0 at least one device answered, 1 none did, 2 bad arguments, a refused target, no
usable adapter, nothing could be sent or UDP port 4001 held by another program on a searched adapter,
or an inventory in use by another writer, not an inventory or of a newer format (left untouched).)",
        kSearchOptions},
    parseSearch};

namespace {

// One line per adapter that got no answer and has a blocker the doctor knows.
void hintBlockers(CliContext& ctx, const AdapterTable& table, const std::vector<DeviceRow>& rows) {
    const AdapterListing listing = ctx.host.readAdapters();
    for (const AdapterEntry& e : table) {
        if (e.tunnel ||
            std::any_of(rows.begin(), rows.end(), [&](const DeviceRow& r) { return r.adapterIp == e.ip; })) {
            continue;
        }
        const auto facts =
            std::find_if(listing.adapters.begin(), listing.adapters.end(),
                         [&](const AdapterFacts& f) { return f.interfaceName == e.interfaceName; });
        const bool carrier = facts == listing.adapters.end() || !facts->link || facts->link->carrier;
        if (const auto hint =
                doctor::searchHint(e.interfaceName, ctx.host.reversePathFilter(e.interfaceName), carrier)) {
            ctx.console.err(*hint);
        }
    }
}

} // namespace

asio::awaitable<ExitStatus> run(CliContext& ctx, const SearchCommand& command) {
    const auto opened = openCommand(ctx, command.interfaces, command.targets);
    if (!opened) {
        co_return opened.error();
    }
    const AdapterTable& table = opened->table;
    auto inventory = openInventory(command.inventory, "fernwick-cli search");
    if (!inventory) {
        ctx.console.err(inventory.error());
        co_return ExitStatus::Usage;
    }
    // Named: GCC 12 destroys a braced temporary inside co_await twice.
    const SearchRequest request{table, command.timeout, {}, DiscoverySearch::Keying::Sender, opened->sweep};
    const auto searched = co_await search(ctx, request);
    if (!searched) {
        co_return searched.error();
    }
    // Read after the search, which the registries' few megabytes must not delay.
    const std::string report = formatDevices(searched->rows, table, command.format, ctx.host.vendorTable());
    if (!searched->rows.empty() || command.format != OutputFormat::Table) {
        std::fwrite(report.data(), 1, report.size(), stdout);
        std::fflush(stdout);
    }
    if (*inventory) {
        recordSearch(**inventory, searched->rows, table, ctx.console);
    }
    if (!command.targets.any() || command.targets.broadcast) {
        hintBlockers(ctx, table, searched->rows); // about the broadcast's adapters
    }
    if (portTaken(*searched)) {
        co_return ExitStatus::Usage;
    }
    if (searched->rows.empty()) {
        ctx.console.err("no device answered");
        co_return ExitStatus::Negative;
    }
    co_return ExitStatus::Ok;
}

} // namespace fw::cli
