// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliContext.h"
#include "cli/CommandLine.h"
#include "cli/CommandOptions.h"
#include "cli/DoctorFactGatherer.h"

#include <asio/awaitable.hpp>

namespace fw::cli {

// `fernwick-cli doctor`: reads the interfaces' facts from the kernel, checks the port and the
// firewall, runs one search while packet sockets watch the adapters, prints the report and
// returns the exit status.
extern const CommandSpec kDoctorSpec;
asio::awaitable<ExitStatus> run(CliContext& ctx, const DoctorCommand& command);

class CliDoctor final {
public:
    explicit CliDoctor(CliContext& ctx) : ctx_(ctx), gatherer_(ctx.host) {}

    asio::awaitable<ExitStatus> run(const DoctorCommand& command);

private:
    asio::awaitable<void> probe(std::chrono::milliseconds wait);

    CliContext& ctx_;
    doctor::DoctorFactGatherer gatherer_;
};

} // namespace fw::cli
