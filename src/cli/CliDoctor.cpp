// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliDoctor.h"

#include "cli/CommandOptions.h"
#include "cli/CommandSearch.h"
#include "doctor/DoctorReport.h"

#include <cstdio>

namespace fw::cli {

asio::awaitable<ExitStatus> CliDoctor::run(const DoctorCommand& command) {
    if (const auto read = gatherer_.readHost(ctx_.host.readAdapters(), command.interfaces); !read) {
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
    SearchRequest request{gatherer_.probeAdapters(), wait, {}, DiscoverySearch::Keying::MacAndAdapter, {}};
    const SearchSummary searched = co_await searchOnce(ctx_, std::move(request));
    doctor::ProbeSearchResult found{searched.started.sequence, searched.rows, {}};
    for (const auto& f : searched.started.unbindable) {
        found.unbound.push_back(f.adapter);
    }
    gatherer_.recordProbe(found);
}

namespace {

#ifdef _WIN32
constexpr std::string_view kDoctorDescription =
    R"(Lists every adapter with the reason a search skips it and whether UDP port 4001 is free there
(naming the program that holds it; another user's program is named to an administrator), and runs
one search. Windows Firewall's rules are not read: it must let UDP 4001 and 14321 in. Every finding
comes with the command that fixes it.)";
#else
constexpr std::string_view kDoctorDescription =
    R"(Lists every interface with the reason a search skips it, its reverse-path filter and whether UDP
port 4001 is free there (naming the program that holds it), checks the nftables input chains
(as root), and runs one search: as root a packet socket on each adapter shows answers that reached
the wire but were dropped by this host. Every finding comes with the command that fixes it.)";
#endif

constexpr std::array kDoctorOptions{
    OptionRow{"-i,--interface", "IF", "look at this interface only (repeat for several)", nullptr, true},
    OptionRow{"-t,--timeout", "S", "seconds to wait for answers to the probe search",
              [] {
                  return seconds(DoctorCommand{}.timeout);
              }},
    OptionRow{"-f,--format", "F", "text or json",
              [] {
                  return nameOf(kDoctorFormats, DoctorCommand{}.format);
              }},
};

ParsedCommandLine parseDoctor(const Options& o) {
    return parseListing<DoctorCommand>(o, kDoctorFormats);
}

} // namespace

const CommandSpec kDoctorSpec{
    CommandRow{"doctor", "tell why a device does not answer, and how to fix it",
               "fernwick-cli doctor [--interface IF]... [--timeout SECONDS] [--format text|json]",
               kDoctorDescription, "Exit status: 0 nothing found, 1 a problem found, 2 could not run.",
               kDoctorOptions},
    parseDoctor};

asio::awaitable<ExitStatus> run(CliContext& ctx, const DoctorCommand& command) {
    CliDoctor doctor(ctx);
    co_return co_await doctor.run(command);
}

} // namespace fw::cli
