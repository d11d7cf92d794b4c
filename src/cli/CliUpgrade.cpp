// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliUpgrade.h"

#include "cli/AdapterChoice.h"
#include "cli/CliRunner.h"
#include "cli/CliSearch.h"
#include "cli/CliTargets.h"
#include "cli/DeviceReport.h"
#include "platform/ImageFileReader.h"
#include "upgrade/core/TftpPackets.h"

#include <algorithm>
#include <cmath>

namespace fw::cli {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kLineStepPercent = 10;

} // namespace

CliUpload::CliUpload(CliContext& ctx, std::string label)
    : ctx_(ctx), label_(std::move(label)),
      driver_(
          ctx.endpoints, [&host = ctx.host](Ipv4 ip) { host.flushNeighbour(ip); }, carry_,
          engine::UpgradeDriver::Observer{[this](TftpUpload::Phase phase) { phaseChanged(phase); },
                                          [this](const TftpUpload::Progress& p) {
                                              counters_ = p.counters;
                                              render();
                                          }}) {}

asio::awaitable<Verdict> CliUpload::run(Ipv4 device, Ipv4 local, const std::string& adapter,
                                        std::vector<std::uint8_t> image) {
    total_ = image.size();
    device_ = device;
    began_ = Clock::now();
    const auto summary =
        co_await driver_.run(device, local, std::move(image), engine::UpgradeDriver::OnStall::End);
    driver_.cancel(); // port 14321 free again at once: a rollout's next upload on the adapter binds it
    outcome_ = summary.result.outcome;
    counters_ = summary.counters;
    const Verdict verdict = uploadVerdict(
        summary.result,
        summary.portError ? portProblem(adapter, local, *summary.portError, kTftpLocalPort) : std::string());
    if (verdict.status == ExitStatus::Ok) {
        if (ctx_.console.progressOnTerminal() && label_.empty()) {
            ctx_.console.progress(progressBar(progress(), ctx_.console.width() - 1));
        } else {
            note(progressLine(progress()));
        }
    }
    say(ctx_.console, verdict, label_);
    ctx_.console.endProgress();
    co_return verdict;
}

// Not when port 14321 could not be bound: then nothing was sent and the upload never starts.
void CliUpload::phaseChanged(TftpUpload::Phase phase) {
    if (phase == TftpUpload::Phase::Starting && !ctx_.console.progressOnTerminal()) {
        note("handshake sent to " + device_.toString() + "; preparing the device (about " +
             std::to_string(TftpUpload::kStartSequence.count()) + " s)");
    }
    if (phase == TftpUpload::Phase::Requesting && !transferBegan_) {
        transferBegan_ = Clock::now();
        if (!ctx_.console.progressOnTerminal()) {
            note("write request sent; uploading " + std::to_string(total_) + " bytes");
        }
    }
}

double CliUpload::seconds() const {
    return secondsSince(began_);
}

UploadProgress CliUpload::progress() const {
    return {std::min(counters_.bytesAcknowledged, total_), total_,
            transferBegan_ ? secondsSince(*transferBegan_) : 0, counters_.retransmissions,
            counters_.timeouts};
}

void CliUpload::note(const std::string& text) {
    ctx_.console.note(label_.empty() ? text : label_ + ": " + text);
}

// On the upload's progress (a block acknowledged, a step of the start sequence, a timeout), at most
// once per refresh period.
void CliUpload::render() {
    const auto now = Clock::now();
    if (drawn_ && now - *drawn_ < kProgressRefresh) {
        return;
    }
    drawn_ = now;
    if (ctx_.console.progressOnTerminal()) {
        if (label_.empty()) {
            ctx_.console.progress(progressView(ctx_.console.width() - 1));
        }
        return; // a rollout draws the line of all its uploads
    }
    if (transferBegan_) {
        const int percent = percentOf(progress());
        if (percent / kLineStepPercent != lastLinePercent_ / kLineStepPercent || lastLinePercent_ < 0) {
            lastLinePercent_ = percent;
            note(progressLine(progress()));
        }
    }
}

std::string CliUpload::progressView(int width) const {
    if (!transferBegan_) {
        const double left = std::max(0.0, std::chrono::duration<double>(TftpUpload::kStartSequence).count() -
                                              secondsSince(began_));
        return "preparing the device: " + std::to_string(static_cast<int>(std::ceil(left))) + " s";
    }
    return progressBar(progress(), width);
}

Result<ImageFile, ExitStatus> readImage(CliContext& ctx, const std::string& path) {
    ImageFile file = readImageFile(path, kTftpMaxImageBytes);
    if (file.state == ImageFile::State::Unreadable) {
        ctx.console.err("cannot read " + path + ": " + file.reason);
        return Failure{ExitStatus::Usage};
    }
    const ImageDecision early = checkImage(path, file, DeviceKind::AccessPoint);
    if (early.kind == ImageDecision::Kind::Refuse) {
        ctx.console.err(path + ": " + early.message.text);
        return Failure{ExitStatus::Usage};
    }
    return file;
}

std::string upgradingText(const DeviceRow& row, const std::string& adapter) {
    return "upgrading " + (row.name.empty() ? std::string("device") : "'" + printableText(row.name) + "'") +
           " at " + row.ip.toString() + " (" + formatMac(row.mac) + ", " + kindName(row) + ") on " + adapter;
}

asio::awaitable<ExitStatus> runUpgrade(CliContext& ctx, const UpgradeCommand& command) {
    auto file = readImage(ctx, command.image);
    if (!file) {
        co_return file.error();
    }
    const auto table = commandAdapters(ctx, command.interfaces, command.targets.any());
    if (!table) {
        co_return table.error();
    }
    auto sweep = commandSweep(ctx, command.targets, *table);
    if (!sweep) {
        co_return sweep.error();
    }
    // The handshake and the transfer are unicast: a device found behind a router is upgraded from
    // the adapter it answered on, the one the route to it leaves by.
    const DeviceTarget target = command.target;
    const auto located = co_await locate(
        ctx, *table, [target](const DeviceRow& row) { return matches(target, row); }, std::move(*sweep));
    if (!located) {
        co_return located.error();
    }
    if (!*located) {
        ctx.console.err("no device at " + describe(command.target) + " answered a search");
        co_return ExitStatus::NoAnswer;
    }
    const DeviceRow& row = **located;
    const ImageDecision decision = checkImage(command.image, *file, row.kind);
    if (decision.kind == ImageDecision::Kind::Refuse) {
        ctx.console.err(command.image + ": " + decision.message.text);
        co_return ExitStatus::Usage;
    }
    if (decision.kind == ImageDecision::Kind::Confirm) {
        if (!command.yes) {
            ctx.console.err(decision.message.text + " Refused; give --yes to upload it anyway.");
            co_return ExitStatus::Usage;
        }
        ctx.console.err(decision.message.text + " Uploading, as --yes was given.");
    }
    const std::string adapter = adapterName(*table, row.adapterIp);
    if (command.dryRun) {
        ctx.console.out("Dry run: " + upgradingText(row, adapter) + " with " + command.image +
                        " would start now");
        co_return ExitStatus::Ok;
    }
    ctx.console.note(upgradingText(row, adapter) + " with " + command.image + ", " +
                     std::to_string(file->bytes.size()) + " bytes");
    CliUpload upload(ctx);
    const Verdict verdict = co_await upload.run(row.ip, row.adapterIp, adapter, std::move(file->bytes));
    co_return verdict.status;
}

} // namespace fw::cli
