// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliDoctor.h"

#include "cli/CliSearch.h"
#include "discovery/core/DiscoveryRecords.h"
#include "doctor/core/DoctorReport.h"

#include <cstdio>

namespace fw::cli {
namespace {

// The probe is the first search of its CliSearch, so devices answer with sequence 1.
const std::int16_t kProbeSequence = nextSearchSequence(0);

} // namespace

CliDoctor::CliDoctor(Console& console, std::function<AdapterListing()> listAdapters,
                     EndpointFactory makeEndpoint, QObject* parent)
    : QObject(parent), console_(console), listAdapters_(std::move(listAdapters)),
      makeEndpoint_(std::move(makeEndpoint)) {}

CliDoctor::~CliDoctor() = default;

void CliDoctor::start(const DoctorCommand& command) {
    format_ = command.format;
    if (const auto read = gatherer_.readHost(listAdapters_(), command.interfaces); !read) {
        const doctor::GatherError& e = read.error();
        console_.err(e.kind == doctor::GatherError::Kind::ListingUnreadable
                         ? "the kernel's interface list could not be read"
                         : "doctor: no interface named '" + e.interfaceName + "'");
        emit finished(ExitStatus::Usage);
        return;
    }
    probe(command.timeout);
}

void CliDoctor::probe(std::chrono::milliseconds wait) {
    if (gatherer_.probeAdapters().empty()) {
        report();
        return;
    }
    if (const auto watched = gatherer_.watchWire(); !watched && !watched.error().notPermitted()) {
        console_.err("doctor: cannot watch " + watched.error().interfaceName + ": " +
                     watched.error().code.message());
    }
    // Keyed as the watch keys: two devices on one address, or one device on two adapters, are all
    // received, so neither looks like an answer this host dropped.
    auto* search =
        new CliSearch(makeEndpoint_, gatherer_.probeAdapters(), this, DiscoverySearch::Keying::MacAndAdapter);
    connect(search, &CliSearch::finished, this, [this, search] {
        search->deleteLater();
        doctor::ProbeSearchResult found{kProbeSequence, search->rows(), {}};
        for (const CliSearch::BindFailure& f : search->bindFailures()) {
            found.unbound.push_back(f.adapter);
        }
        gatherer_.recordProbe(found);
        report();
    });
    search->start(wait);
}

void CliDoctor::report() {
    const doctor::DoctorReport r = doctor::makeReport(gatherer_.takeFacts());
    const std::string text = format_ == DoctorFormat::Json ? doctor::formatJson(r) : doctor::formatText(r);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    emit finished(r.status == 0 ? ExitStatus::Ok : ExitStatus::Negative);
}

} // namespace fw::cli
