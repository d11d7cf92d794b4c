// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliUpgrade.h"

#include "cli/AdapterChoice.h"
#include "cli/CommandOpening.h"
#include "cli/CommandOptions.h"
#include "cli/CommandSearch.h"
#include "cli/DeviceReport.h"
#include "cli/FleetCommand.h"
#include "platform/ImageFileReader.h"
#include "upgrade/TftpPackets.h"

#include <algorithm>
#include <cmath>

namespace fw::cli {
namespace {

using engine::Clock;

constexpr int kLineStepPercent = 10;

} // namespace

CliUpload::CliUpload(CliContext& ctx, std::string label, std::function<void()> redraw)
    : ctx_(ctx), label_(std::move(label)), redraw_(std::move(redraw)),
      driver_(ctx.endpoints, ctx.host, carry_) {}

asio::awaitable<Verdict> CliUpload::run(Ipv4 device, Ipv4 local, const std::string& adapter,
                                        std::vector<std::uint8_t> image) {
    total_ = image.size();
    device_ = device;
    began_ = Clock::now();
    const engine::UpgradeDriver::Observer observer = [this](const UpgradeJob::Event& event) {
        if (const auto* phase = std::get_if<TftpUpload::Phase>(&event)) {
            phaseChanged(*phase);
        } else if (const auto* p = std::get_if<TftpUpload::Progress>(&event)) {
            counters_ = p->counters;
            render();
        }
    };
    // Named, not a temporary in the co_await: GCC 12 mishandles those. Port 14321 is free again once
    // run() returns: a rollout's next upload on the adapter binds it.
    auto upload = driver_.run({device, local, std::move(image), UpgradeJob::OnStall::End}, observer);
    const auto summary = co_await std::move(upload);
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

asio::awaitable<ExitStatus> run(CliContext& ctx, const UpgradeCommand& command) {
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

namespace {

constexpr std::array kUpgradeOptions{
    OptionRow{"-y,--yes", "", "upload even when the image does not carry the marker of the device's kind"},
    OptionRow{"-i,--interface", "IF", "look for the device on this adapter only (repeat for several)",
              nullptr, true},
    OptionRow{"--device", "D", "a device of the rollout, IP or MAC (repeat for several)", nullptr, true},
    OptionRow{"--from", "FILE", "the rollout's devices from a file"},
    OptionRow{"--all-ap", "", "every access point a search finds"},
    OptionRow{"--all-bridge", "", "every bridge (wireless adapter) a search finds"},
    OptionRow{"--report", "FILE", "write the rollout's report as JSON, after every device"},
    OptionRow{"--skip-done", "FILE", "leave out the devices that a report lists as done with this image"},
    OptionRow{"--parallel", "N", "up to N uploads at once, at most --per-adapter of them on one adapter",
              [] {
                  return std::to_string(RolloutCommand{}.parallel);
              }},
    OptionRow{"--per-adapter", "M", "up to M of the uploads on one adapter at once, 16 at most",
              [] {
                  return std::to_string(RolloutCommand{}.perAdapter);
              }},
    OptionRow{"--back-timeout", "S", "seconds a device has to restart and answer again",
              [] {
                  return seconds(RolloutCommand{}.backTimeout);
              }},
    OptionRow{"--no-restart", "",
              "the devices do not restart after an upload: an answer is enough to be done"},
    OptionRow{"-f,--format", "F", "with a rollout: table or json (the report's document)",
              [] {
                  return nameOf(kPlanFormats, RolloutCommand{}.format);
              }},
    kTarget,
    kTargetsFrom,
    kRate,
    kTargetCapForce,
    kBroadcast,
    kDryRun,
};

// The options that choose a rollout's devices, and those that only a rollout takes.
constexpr std::array<std::string_view, 4> kRolloutChoices{"device", "from", "all-ap", "all-bridge"};
constexpr std::array<std::string_view, 7> kRolloutOnly{
    "report", "skip-done", "parallel", "per-adapter", "back-timeout", "no-restart", "format"};

ParsedCommandLine parseUpgrade(const Options& o) {
    if (std::any_of(kRolloutChoices.begin(), kRolloutChoices.end(), [&](auto n) { return o.isSet(n); })) {
        return parseRollout(o);
    }
    for (const std::string_view name : kRolloutOnly) {
        if (o.isSet(name)) {
            return o.failure("--" + std::string(name) + " needs --device, --from, --all-ap or --all-bridge");
        }
    }
    const auto& args = o.positionals();
    if (args.size() < 2) {
        return o.failure(args.empty() ? "the device (IP or MAC) and the image are missing"
                                      : "the image file is missing");
    }
    if (args.size() > 2) {
        return o.failure("unexpected argument " + quoted(args[2]));
    }
    UpgradeCommand c;
    const auto target = deviceTarget(args[0]);
    if (!target) {
        return notADevice(o, args[0]);
    }
    c.target = *target;
    if (args[1].empty()) {
        return o.failure("the image path is empty");
    }
    c.image = args[1];
    c.yes = o.isSet("yes");
    c.interfaces = o.interfaces();
    if (auto e = targetOptions(o, c.targets)) {
        return *e;
    }
    c.dryRun = o.isSet("dry-run");
    return toRun(c);
}

} // namespace

std::optional<DeviceTarget> deviceTarget(const std::string& text) {
    if (const auto ip = Ipv4::parse(text)) {
        return *ip;
    }
    if (const auto mac = parseMac(text)) {
        return *mac;
    }
    return std::nullopt;
}

ParsedCommandLine notADevice(const Options& o, const std::string& text) {
    return o.failure(quoted(text) + " is neither an IPv4 address nor a MAC address");
}

const CommandSpec kUpgradeSpec{
    CommandRow{
        "upgrade", "upload a firmware image to one device by TFTP, or roll it out to many",
        R"(fernwick-cli upgrade (IP|MAC) IMAGE [--yes] [--interface IF]...
       fernwick-cli upgrade IMAGE (--device D... | --from FILE | --all-ap | --all-bridge) [OPTIONS])",
        R"(Finds the device by a search, checks the image against the device's kind, sends the handshake and
uploads the image by TFTP (about 13 s of device preparation come first).

The second form is a rollout: every named device (IP or MAC), every one listed in FILE (one a line,
# comments) or every access point or bridge a search finds gets the image, one after another; a
device named twice is one device. After its upload each device must restart (stop answering
searches) and answer a search again by its MAC, within the back timeout, before it counts as done.
At the end a table lists each device's state, bytes, seconds, retransmissions and timeouts:
  done           uploaded, restarted and answering again
  refused        the device answered the write request with a TFTP error
  device-error   the device ended the transfer later with an error (its text is given)
  timed-out      the device stopped answering during the transfer
  not-restarted  uploaded, but it answered throughout the back timeout: it did not restart
  not-back       uploaded, but it did not answer again within the back timeout
  not-found      no search listed it
  skipped        the image lacks the marker of its kind and --yes was not given
  not-sent       nothing sent: local UDP port 14321 unusable (another rollout on the adapter?),
                 or the rollout stopped because its report could not be written
  pending        (--dry-run) it would get the image
The report must be writable: a missing folder, the image, the --from file or an existing file that
is not a rollout report is refused before anything is sent. Earlier done devices of --skip-done
stay in the report whatever this run's devices are. A report that cannot be written later ends the
rollout after the uploads under way.)",
        R"(Exit status: 0 "Data transmit finish" (a rollout: every device done), 1 the device ended the
upload (its text is printed; a rollout: a device not done, or the report could not be written),
2 bad arguments, image refused or (one device) local UDP port 14321 in use, 3 "Time Out" or the
device was not found.)",
        kUpgradeOptions},
    parseUpgrade};

} // namespace fw::cli
