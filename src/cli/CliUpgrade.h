// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliContext.h"
#include "cli/CliVerdict.h"
#include "cli/CommandLine.h"
#include "cli/CommandOptions.h"
#include "cli/ProgressText.h"
#include "common/Result.h"
#include "discovery/DeviceRow.h"
#include "engine/UpgradeDriver.h"
#include "upgrade/ImageCheck.h"

#include <asio/awaitable.hpp>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace fw::cli {

// One firmware upload by the engine's upgrade driver (handshake, start sequence, TFTP), shown as a
// progress bar on a terminal or as plain lines otherwise, drawn as the driver tells its progress. An
// acknowledgement out of sequence, on which the window would wait for Cancel, ends the upload here.
class CliUpload {
public:
    // A label (one device of a rollout) goes before each progress line, results become
    // diagnostics, and the rollout draws the terminal line of all its uploads: `redraw`, called
    // when this one's part of it may have changed.
    explicit CliUpload(CliContext& ctx, std::string label = {}, std::function<void()> redraw = {});

    // The image has passed the image check; `adapter` names the local address's adapter.
    asio::awaitable<Verdict> run(Ipv4 device, Ipv4 local, const std::string& adapter,
                                 std::vector<std::uint8_t> image);

    // How it went, once run() returned: the outcome, the transfer's counters and the time since
    // run() began.
    TftpUpload::Outcome outcome() const { return outcome_; }
    const TftpUpload::Counters& counters() const { return counters_; }
    double seconds() const;
    const std::string& label() const { return label_; }
    // The terminal line of this upload in at most `width` columns: the device's preparation
    // countdown, then the bar.
    std::string progressView(int width) const;

private:
    void phaseChanged(TftpUpload::Phase phase);
    void render();
    void note(const std::string& text);
    UploadProgress progress() const;

    CliContext& ctx_;
    std::string label_;
    std::function<void()> redraw_;
    UploadCarryOver carry_;
    engine::UpgradeDriver driver_;
    Ipv4 device_;
    engine::Clock::time_point began_;
    std::optional<engine::Clock::time_point> transferBegan_;
    std::optional<engine::Clock::time_point> drawn_; // the last render
    TftpUpload::Counters counters_;
    std::uint64_t total_ = 0;
    int lastLinePercent_ = -1;
    TftpUpload::Outcome outcome_ = TftpUpload::Outcome::None;
};

// The image, read once, after the refusals that do not depend on the device's kind (a missing,
// unreadable or oversized file); Usage after saying why.
Result<ImageFile, ExitStatus> readImage(CliContext& ctx, const std::string& path);

// "upgrading 'Lobby AP' at 10.77.1.10 (00-0A-1B-2C-3D-4E, ap) on eth0"
std::string upgradingText(const DeviceRow& row, const std::string& adapter);

// upgrade DEVICE IMAGE: the image checked, the device found, then one upload (not in a dry run).
// Its parser reads a rollout's options too (FleetCommand.h).
extern const CommandSpec kUpgradeSpec;
asio::awaitable<ExitStatus> run(CliContext& ctx, const UpgradeCommand& command);

// A device named on the command line, by its address or its MAC; none for another text.
std::optional<DeviceTarget> deviceTarget(const std::string& text);
// The message for such another text.
ParsedCommandLine notADevice(const Options& o, const std::string& text);

} // namespace fw::cli
