// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliContext.h"
#include "cli/CommandLine.h"
#include "cli/CommandOptions.h"
#include "cli/CommandSearch.h"
#include "cli/FleetCommand.h"
#include "cli/RolloutReport.h"
#include "common/Result.h"
#include "discovery/DeviceRow.h"
#include "engine/SharedPortFactory.h"
#include "upgrade/ImageCheck.h"
#include "upgrade/RolloutEntry.h"

#include <asio/awaitable.hpp>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fw::cli {

class CliUpload;

// One image to many devices: a search finds them, each gets the upgrade's handshake and upload
// (side by side: up to --per-adapter of them on one adapter, sharing its ports), then must restart and answer
// a search on its adapter again within the back timeout. The report is rewritten after every device and keeps
// the devices done in earlier runs; the summary table (or the report's document) goes to stdout at the end.
// When the report cannot be written, nothing more starts. A dry run stops after the search: the devices that
// would get the image end pending, and no report is written.
// upgrade IMAGE --device/--from/--all-ap/--all-bridge, read by upgrade's parser, and run.
ParsedCommandLine parseRollout(const Options& o);
asio::awaitable<ExitStatus> run(CliContext& ctx, const RolloutCommand& command);

class CliRollout : public FleetCommand<CliRollout, RolloutCommand, RolloutReport> {
public:
    explicit CliRollout(CliContext& ctx);

    asio::awaitable<ExitStatus> run(const RolloutCommand& command) { return runFleet(command); }

private:
    friend class FleetCommand<CliRollout, RolloutCommand, RolloutReport>;
    struct Job {
        RolloutEntry entry;
        std::optional<DeviceRow> row; // what the search found; none: not found
        bool upload = false;          // to be uploaded
        bool settled = false;         // its entry is final
    };

    struct Inputs {
        std::vector<DeviceTarget> targets; // --device and --from, each once
        std::vector<RolloutEntry> earlier; // the devices --skip-done found done with this image
    };
    // Everything a rollout reads (the image, the device list, the earlier report), read and judged
    // before anything is sent; Usage after saying why.
    Result<Inputs, ExitStatus> prepare();
    void begin(const Inputs& in);
    std::optional<SearchRequest> searchFor(const Inputs& in) const;
    std::optional<ExitStatus> refuse(const SearchSummary& searched, const Inputs& in) const;
    std::optional<std::string> portRefusal(const SearchSummary& searched,
                                           const std::vector<DeviceTarget>& targets,
                                           const std::vector<RolloutEntry>& earlier) const;
    void plan(const std::vector<DeviceRow>& rows, const Inputs& in);
    asio::awaitable<void> upload(std::size_t index);
    static asio::awaitable<void> afterJobs() { co_return; }
    std::string printed(const std::vector<RolloutEntry>& entries) const;
    static std::string noJobs() { return "no device to upgrade"; }
    static bool ended(const RolloutEntry& e) { return e.state == RolloutState::Done; }
    void settle(std::size_t index);
    void render();

    ImageFile file_; // read once; these bytes go to every device
    std::vector<Job> jobs_;
    // With --per-adapter above 1: the uploads and their back-checks share each adapter's ports.
    std::optional<engine::SharedPortFactory> shared_;
    std::optional<CliContext> sharing_;
    std::vector<const CliUpload*> running_; // drawn on one terminal line
};

} // namespace fw::cli
