// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliDoctor.h"

#include "cli/CliSearch.h"
#include "doctor/core/DoctorReport.h"

#include <cstdio>

namespace fw::cli {

asio::awaitable<ExitStatus> CliDoctor::run(const DoctorCommand& command) {
    if (const auto read = gatherer_.readHost(ctx_.listAdapters(), command.interfaces); !read) {
        const doctor::GatherError& e = read.error();
        ctx_.console.err(e.kind == doctor::GatherError::Kind::ListingUnreadable
                             ? "the system's list of network interfaces could not be read"
                             : "doctor: no interface named '" + e.interfaceName + "'");
        co_return ExitStatus::Usage;
    }
    co_await probe(command.timeout);
    const doctor::DoctorReport r = doctor::makeReport(gatherer_.takeFacts());
    const std::string text =
        command.format == DoctorFormat::Json ? doctor::formatJson(r) : doctor::formatText(r);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    co_return r.status == 0 ? ExitStatus::Ok : ExitStatus::Negative;
}

asio::awaitable<void> CliDoctor::probe(std::chrono::milliseconds wait) {
    if (gatherer_.probeAdapters().empty()) {
        co_return;
    }
    if (const auto watched = gatherer_.watchWire();
        !watched && !watched.error().notPermitted() && !watched.error().unsupported()) {
        ctx_.console.err("doctor: cannot watch " + watched.error().interfaceName + ": " +
                         watched.error().code.message());
    }
    // Keyed as the watch keys: two devices on one address, or one device on two adapters, are all
    // received, so neither looks like an answer this host dropped.
    engine::SearchDriver driver(ctx_.endpoints, {});
    const SearchSummary searched = co_await driver.once(
        {gatherer_.probeAdapters(), wait, {}, DiscoverySearch::Keying::MacAndAdapter, {}});
    doctor::ProbeSearchResult found{searched.started.sequence, searched.rows, {}};
    for (const auto& f : searched.started.unbindable) {
        found.unbound.push_back(f.adapter);
    }
    gatherer_.recordProbe(found);
}

} // namespace fw::cli
