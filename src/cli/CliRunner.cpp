// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliRunner.h"

#include "cli/AdapterChoice.h"
#include "cli/CliDoctor.h"
#include "cli/CliRollout.h"
#include "cli/CliSearch.h"
#include "cli/CliSetIp.h"
#include "cli/CliUpgrade.h"
#include "cli/CliVerifiedSetIp.h"
#include "cli/CliWatch.h"
#include "cli/DeviceReport.h"
#include "common/StringTable.h"
#include "doctor/core/DoctorRules.h"
#include "platform/linux/Sysctl.h"
#include "upgrade/ImageFileReader.h"
#include "upgrade/core/ImageCheck.h"
#include "upgrade/core/TftpPackets.h"

#include <QFile>
#include <QTimer>

#include <algorithm>

namespace fw::cli {
namespace {

// The search that finds the device set-ip and upgrade work on: the window's 3 s countdown, ended
// early once the device has answered.
constexpr std::chrono::milliseconds kLocateWait{3000};

} // namespace

CliRunner::CliRunner(Console& console, ListAdapters listAdapters, EndpointFactory makeEndpoint,
                     QObject* parent)
    : QObject(parent), console_(console), listAdapters_(std::move(listAdapters)),
      makeEndpoint_(std::move(makeEndpoint)) {}

void CliRunner::run(const Command& command) {
    std::visit(
        [this](const auto& c) {
            using T = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<T, SearchCommand>) {
                runSearch(c);
            } else if constexpr (std::is_same_v<T, SetIpCommand>) {
                runSetIp(c);
            } else if constexpr (std::is_same_v<T, UpgradeCommand>) {
                runUpgrade(c);
            } else if constexpr (std::is_same_v<T, DoctorCommand>) {
                runDoctor(c);
            } else if constexpr (std::is_same_v<T, WatchCommand>) {
                runWatch(c);
            } else {
                runRollout(c);
            }
        },
        command);
}

void CliRunner::finish(ExitStatus status) {
    if (finished_) {
        return;
    }
    finished_ = true;
    emit finished(static_cast<int>(status));
}

std::optional<AdapterTable> CliRunner::adapters(const std::vector<std::string>& names) {
    const auto choice = chooseAdapters(listAdapters_(), names);
    if (const auto* message = std::get_if<std::string>(&choice)) {
        console_.err(*message);
        finish(ExitStatus::Usage);
        return std::nullopt;
    }
    const auto& selection = std::get<AdapterSelection>(choice);
    switch (selection.outcome) {
    case AdapterOutcome::Ok:
        return selection.table;
    case AdapterOutcome::StatusError:
        console_.err(loadResString(Str::AdapterStatusError));
        break;
    case AdapterOutcome::NoAdapter:
        console_.err(loadResString(Str::NoAdapter));
        break;
    }
    finish(ExitStatus::Usage);
    return std::nullopt;
}

bool CliRunner::reportSearchSent(const CliSearch& search) {
    for (const auto& failure : search.bindFailures()) {
        const bool taken = failure.error == std::errc::address_in_use;
        console_.err(portProblem(failure.adapter, failure.error) +
                     (taken ? "; 'fernwick-cli doctor' names it" : ""));
    }
    if (search.requestsSent() == 0) {
        console_.err("no discovery request could be sent");
        finish(ExitStatus::Usage);
        return false;
    }
    return true;
}

// Another program on port 4001 takes the answers that arrive on that adapter, so a search there is
// incomplete however many devices it listed elsewhere.
bool CliRunner::portTaken(const CliSearch& search) {
    return std::any_of(search.bindFailures().begin(), search.bindFailures().end(),
                       [](const auto& f) { return f.error == std::errc::address_in_use; });
}

void CliRunner::runSearch(const SearchCommand& command) {
    const auto table = adapters(command.interfaces);
    if (!table) {
        return;
    }
    auto* search = new CliSearch(makeEndpoint_, *table, this);
    connect(search, &CliSearch::finished, this, [this, search, format = command.format] {
        search->deleteLater();
        if (!reportSearchSent(*search)) {
            return;
        }
        const std::string report = formatDevices(search->rows(), search->adapters(), format);
        if (!search->rows().empty() || format != OutputFormat::Table) {
            std::fwrite(report.data(), 1, report.size(), stdout);
            std::fflush(stdout);
        }
        hintBlockers(*search);
        if (portTaken(*search)) {
            finish(ExitStatus::Usage);
            return;
        }
        if (search->rows().empty()) {
            console_.err("no device answered");
            finish(ExitStatus::Negative);
            return;
        }
        finish(ExitStatus::Ok);
    });
    search->start(command.timeout);
}

void CliRunner::hintBlockers(const CliSearch& search) {
    const AdapterListing listing = listAdapters_();
    for (const AdapterEntry& e : search.adapters()) {
        const auto& rows = search.rows();
        if (std::any_of(rows.begin(), rows.end(), [&](const DeviceRow& r) { return r.adapterIp == e.ip; })) {
            continue;
        }
        const auto facts =
            std::find_if(listing.adapters.begin(), listing.adapters.end(),
                         [&](const AdapterFacts& f) { return f.interfaceName == e.interfaceName; });
        const bool carrier = facts == listing.adapters.end() || !facts->link || facts->link->carrier;
        if (const auto hint =
                doctor::searchHint(e.interfaceName, Sysctl::reversePathFilter(e.interfaceName), carrier)) {
            console_.err(*hint);
        }
    }
}

void CliRunner::runDoctor(const DoctorCommand& command) {
    auto* doctor = new CliDoctor(console_, listAdapters_, makeEndpoint_, this);
    connect(doctor, &CliDoctor::finished, this, [this](ExitStatus s) { finish(s); });
    doctor->start(command);
}

void CliRunner::runWatch(const WatchCommand& command) {
    auto* watch = new CliWatch(console_, listAdapters_, makeEndpoint_, command, this);
    connect(watch, &CliWatch::finished, this, [this](ExitStatus s) { finish(s); });
    watch->start();
}

void CliRunner::locate(const AdapterTable& table, std::function<bool(const DeviceRow&)> wanted,
                       std::function<void(const DeviceRow*)> then) {
    auto* search = new CliSearch(makeEndpoint_, table, this);
    connect(search, &CliSearch::finished, this, [this, search, wanted, then] {
        search->deleteLater();
        if (!reportSearchSent(*search)) {
            return;
        }
        const auto& rows = search->rows();
        const auto it = std::find_if(rows.begin(), rows.end(), wanted);
        if (it == rows.end() && portTaken(*search)) {
            finish(ExitStatus::Usage); // the device may be behind the adapter whose port is taken
            return;
        }
        then(it == rows.end() ? nullptr : &*it);
    });
    search->start(kLocateWait, wanted);
}

void CliRunner::runSetIp(const SetIpCommand& command) {
    const auto table = adapters(command.interfaces);
    if (!table) {
        return;
    }
    if (refuseHostAddress(command, listAdapters_(), console_)) {
        finish(ExitStatus::Usage);
        return;
    }
    if (command.verify) {
        auto* verified = new CliVerifiedSetIp(console_, makeEndpoint_, command, *table, this);
        connect(verified, &CliVerifiedSetIp::finished, this, [this](ExitStatus s) { finish(s); });
        verified->start();
        return;
    }
    auto go = [this, command, table = *table](const AdapterEntry& adapter) {
        auto* setIp = new CliSetIp(makeEndpoint_, console_, this);
        connect(setIp, &CliSetIp::finished, this, [this](ExitStatus s) { finish(s); });
        if (!setIp->start(command, table, adapter)) {
            finish(ExitStatus::Usage);
        }
    };
    if (table->size() == 1) {
        // The request is a broadcast naming the device; with one adapter there is nothing to find.
        go(table->front());
        return;
    }
    const MacAddress mac = command.mac;
    locate(
        *table, [mac](const DeviceRow& row) { return row.mac == mac; },
        [this, go, table = *table, mac](const DeviceRow* row) {
            if (row == nullptr) {
                console_.err("no device with MAC " + formatMac(mac) +
                             " answered a search; name its adapter with --interface");
                finish(ExitStatus::NoAnswer);
                return;
            }
            const auto adapter = std::find_if(table.begin(), table.end(),
                                              [&](const AdapterEntry& e) { return e.ip == row->adapterIp; });
            go(adapter == table.end() ? table.front() : *adapter);
        });
}

void CliRunner::runUpgrade(const UpgradeCommand& command) {
    // The refusals for a missing, unreadable or oversized file do not depend on the device's kind:
    // give them before anything is sent.
    auto file = std::make_shared<ImageFile>(readImageFile(command.image, kTftpMaxImageBytes));
    const ImageDecision early = checkImage(command.image, *file, DeviceKind::AccessPoint);
    if (early.kind == ImageDecision::Kind::Refuse) {
        console_.err(command.image + ": " + early.message.text);
        finish(ExitStatus::Usage);
        return;
    }
    const auto table = adapters(command.interfaces);
    if (!table) {
        return;
    }
    const DeviceTarget target = command.target;
    locate(
        *table, [target](const DeviceRow& row) { return matches(target, row); },
        [this, command, file, table = *table](const DeviceRow* row) {
            if (row == nullptr) {
                console_.err("no device at " + describe(command.target) + " answered a search");
                finish(ExitStatus::NoAnswer);
                return;
            }
            const ImageDecision decision = checkImage(command.image, *file, row->kind);
            if (decision.kind == ImageDecision::Kind::Refuse) {
                console_.err(command.image + ": " + decision.message.text);
                finish(ExitStatus::Usage);
                return;
            }
            if (decision.kind == ImageDecision::Kind::Confirm) {
                if (!command.yes) {
                    console_.err(decision.message.text + " Refused; give --yes to upload it anyway.");
                    finish(ExitStatus::Usage);
                    return;
                }
                console_.err(decision.message.text + " Uploading, as --yes was given.");
            }
            console_.note("upgrading " +
                          (row->name.empty() ? std::string("device") : "'" + printableText(row->name) + "'") +
                          " at " + row->ip.toString() + " (" + formatMac(row->mac) + ", " + kindName(*row) +
                          ") on " + adapterName(table, row->adapterIp) + " with " + command.image + ", " +
                          std::to_string(file->bytes.size()) + " bytes");
            auto* upgrade = new CliUpgrade(makeEndpoint_, shell_, console_, {}, this);
            connect(upgrade, &CliUpgrade::finished, this, [this](ExitStatus s) { finish(s); });
            upgrade->begin(row->ip, row->adapterIp, adapterName(table, row->adapterIp),
                           std::move(file->bytes));
        });
}

// Everything a rollout reads (the image, the device list, the earlier report) is read and judged
// before anything is sent.
void CliRunner::runRollout(const RolloutCommand& command) {
    ImageFile file = readImageFile(command.image, kTftpMaxImageBytes);
    const ImageDecision early = checkImage(command.image, file, DeviceKind::AccessPoint);
    if (early.kind == ImageDecision::Kind::Refuse) {
        console_.err(command.image + ": " + early.message.text);
        finish(ExitStatus::Usage);
        return;
    }
    std::vector<DeviceTarget> targets = command.devices;
    if (!command.fromFile.empty()) {
        QFile list(QString::fromStdString(command.fromFile));
        if (!list.open(QIODevice::ReadOnly)) {
            console_.err(command.fromFile + ": " + list.errorString().toStdString());
            finish(ExitStatus::Usage);
            return;
        }
        const auto parsed = parseDeviceList(list.readAll().toStdString());
        if (const auto* message = std::get_if<std::string>(&parsed)) {
            console_.err(command.fromFile + ": " + *message);
            finish(ExitStatus::Usage);
            return;
        }
        const auto& listed = std::get<std::vector<DeviceTarget>>(parsed);
        targets.insert(targets.end(), listed.begin(), listed.end());
    }
    targets = uniqueTargets(targets);
    if (!command.report.empty()) {
        if (const auto refusal = RolloutReport::refusal(
                command.report, {{command.image, "the image"}, {command.fromFile, "the --from file"}})) {
            console_.err("--report " + command.report + ": " + *refusal);
            finish(ExitStatus::Usage);
            return;
        }
    }
    std::vector<RolloutEntry> earlier;
    if (!command.skipDone.empty()) {
        const auto done = RolloutReport(command.image, file.bytes).doneIn(command.skipDone);
        if (const auto* message = std::get_if<std::string>(&done)) {
            console_.err(command.skipDone + ": " + *message);
            finish(ExitStatus::Usage);
            return;
        }
        earlier = std::get<std::vector<RolloutEntry>>(done);
    }
    const auto table = adapters(command.interfaces);
    if (!table) {
        return;
    }
    auto* rollout = new CliRollout(makeEndpoint_, shell_, console_, this);
    connect(rollout, &CliRollout::finished, this, [this](ExitStatus s) { finish(s); });
    rollout->start(command, *table, std::move(file.bytes), std::move(targets), std::move(earlier));
}

} // namespace fw::cli
