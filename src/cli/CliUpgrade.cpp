// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliUpgrade.h"

#include "cli/AdapterChoice.h"
#include "cli/CliSearch.h"
#include "cli/CommandOpening.h"
#include "cli/DeviceReport.h"
#include "platform/ImageFileReader.h"
#include "upgrade/core/TftpPackets.h"

#include <algorithm>
#include <asio/experimental/awaitable_operators.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <asio/use_awaitable.hpp>
#include <cmath>

namespace fw::cli {
namespace {

using Clock = std::chrono::steady_clock;

// The start sequence before the second write request: eleven 1 s steps and two 1 s pauses.
constexpr double kStartSeconds = 13;
constexpr std::chrono::milliseconds kRefresh{200};
constexpr int kLineStepPercent = 10;

double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

} // namespace

CliUpload::CliUpload(CliContext& ctx, std::string label, std::function<void()> redraw)
    : ctx_(ctx), label_(std::move(label)), redraw_(std::move(redraw)),
      driver_(ctx.endpoints, ctx.flushNeighbour, carry_,
              engine::UpgradeDriver::Display{{}, {}, {}, {}, [this] {
                                                 secondRequestSent();
                                             }}) {}

asio::awaitable<Verdict> CliUpload::run(Ipv4 device, Ipv4 local, const std::string& adapter,
                                        std::vector<std::uint8_t> image) {
    using namespace asio::experimental::awaitable_operators;
    total_ = image.size();
    device_ = device;
    began_ = Clock::now();
    const auto ended = co_await (driver_.run(device, local, std::move(image)) || refresh());
    const TftpUpload::Result result = ended.index() == 0 ? std::get<0>(ended) : TftpUpload::Result{};
    driver_.cancel(); // port 14321 free again at once: a rollout's next upload on the adapter binds it
    outcome_ = stalled_ ? TftpUpload::Outcome::PeerFault : result.outcome;
    const auto portError = driver_.transferPortError();
    const Verdict verdict =
        uploadVerdict(result, stalled_,
                      portError ? portProblem(adapter, local, *portError, kTftpLocalPort) : std::string());
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

// Every 0.2 s while the driver runs; run() ends it.
asio::awaitable<void> CliUpload::refresh() {
    co_await asio::post(ctx_.endpoints.executor(), asio::use_awaitable); // the driver's first steps go first
    // Not when port 14321 could not be bound: then nothing was sent. Never returning early: that
    // would end the upload.
    if (driver_.phase() == TftpUpload::Phase::Starting && !ctx_.console.progressOnTerminal()) {
        note("handshake sent to " + device_.toString() + "; preparing the device (about 13 s)");
    }
    asio::steady_timer timer(ctx_.endpoints.executor());
    for (;;) {
        render();
        timer.expires_after(kRefresh);
        co_await timer.async_wait(asio::use_awaitable);
    }
}

void CliUpload::secondRequestSent() {
    transferBegan_ = Clock::now();
    if (!ctx_.console.progressOnTerminal()) {
        note("write request sent; uploading " + std::to_string(total_) + " bytes");
    }
}

double CliUpload::seconds() const {
    return secondsSince(began_);
}

UploadProgress CliUpload::progress() const {
    const auto c = driver_.counters();
    return {std::min(c.bytesAcknowledged, total_), total_, transferBegan_ ? secondsSince(*transferBegan_) : 0,
            c.retransmissions, c.timeouts};
}

void CliUpload::note(const std::string& text) {
    ctx_.console.note(label_.empty() ? text : label_ + ": " + text);
}

void CliUpload::render() {
    if (stalled_) {
        return;
    }
    if (driver_.phase() == TftpUpload::Phase::Stalled) {
        // ERROR 0 has gone to the device; the window would wait for Cancel, a script cannot.
        stalled_ = true;
        driver_.cancel();
        return;
    }
    if (ctx_.console.progressOnTerminal()) {
        if (label_.empty()) {
            ctx_.console.progress(progressView(ctx_.console.width() - 1));
        } else if (redraw_) {
            redraw_(); // a rollout draws the line of all its uploads
        }
        return;
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
        const double left = std::max(0.0, kStartSeconds - secondsSince(began_));
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
    auto opened = openCommand(ctx, command.interfaces, command.targets);
    if (!opened) {
        co_return opened.error();
    }
    const AdapterTable table = std::move(opened->table);
    // The handshake and the transfer are unicast: a device found behind a router is upgraded from
    // the adapter it answered on, the one the route to it leaves by.
    const DeviceTarget target = command.target;
    const auto isDevice = [target](const DeviceRow& row) {
        return matches(target, row);
    };
    SearchRequest request{table, SearchCountdown::kWait, isDevice, DiscoverySearch::Keying::Sender,
                          opened->sweep};
    const auto located = co_await searchDevice(ctx, request);
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
    const std::string adapter = adapterName(table, row.adapterIp);
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
