// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliRunner.h"

#include "cli/AdapterChoice.h"
#include "cli/CliDoctor.h"
#include "cli/CliPlan.h"
#include "cli/CliRollout.h"
#include "cli/CliSearch.h"
#include "cli/CliSetIp.h"
#include "cli/CliTargets.h"
#include "cli/CliUpgrade.h"
#include "cli/CliWatch.h"
#include "cli/CommandOpening.h"
#include "cli/DeviceReport.h"
#include "common/StringTable.h"
#include "doctor/core/DoctorRules.h"
#include "platform/Host.h"

#include <algorithm>
#include <cstdio>

namespace fw::cli {
namespace {

// One line per adapter that got no answer and has a blocker the doctor knows.
void hintBlockers(CliContext& ctx, const AdapterTable& table, const std::vector<DeviceRow>& rows) {
    const AdapterListing listing = ctx.listAdapters();
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
                doctor::searchHint(e.interfaceName, host::reversePathFilter(e.interfaceName), carrier)) {
            ctx.console.err(*hint);
        }
    }
}

asio::awaitable<ExitStatus> runSearch(CliContext& ctx, const SearchCommand& command) {
    const auto opened = openCommand(ctx, command.interfaces, command.targets);
    if (!opened) {
        co_return opened.error();
    }
    const AdapterTable& table = opened->table;
    const auto searched =
        co_await search(ctx, {table, command.timeout, {}, DiscoverySearch::Keying::Sender, opened->sweep});
    if (!searched) {
        co_return searched.error();
    }
    const std::string report = formatDevices(searched->rows, table, command.format);
    if (!searched->rows.empty() || command.format != OutputFormat::Table) {
        std::fwrite(report.data(), 1, report.size(), stdout);
        std::fflush(stdout);
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

} // namespace

asio::awaitable<ExitStatus> runCommand(CliContext& ctx, Command command) {
    if (const auto* c = std::get_if<SearchCommand>(&command)) {
        co_return co_await runSearch(ctx, *c);
    }
    if (const auto* c = std::get_if<SetIpCommand>(&command)) {
        co_return co_await runSetIp(ctx, *c);
    }
    if (const auto* c = std::get_if<UpgradeCommand>(&command)) {
        co_return co_await runUpgrade(ctx, *c);
    }
    if (const auto* c = std::get_if<DoctorCommand>(&command)) {
        CliDoctor doctor(ctx);
        co_return co_await doctor.run(*c);
    }
    if (const auto* c = std::get_if<WatchCommand>(&command)) {
        co_return co_await runWatch(ctx, *c);
    }
    if (const auto* c = std::get_if<SetIpPlanCommand>(&command)) {
        CliPlan plan(ctx);
        co_return co_await plan.run(*c);
    }
    CliRollout rollout(ctx);
    co_return co_await rollout.run(std::get<RolloutCommand>(command));
}

} // namespace fw::cli
