// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliContext.h"
#include "cli/CommandLine.h"
#include "doctor/core/DoctorFacts.h"
#include "platform/PacketTap.h"

#include <asio/awaitable.hpp>
#include <memory>
#include <vector>

namespace fw::cli {

// `fernwick-cli doctor`: reads the interfaces' facts from the kernel, checks the port and the
// firewall, runs one search while packet sockets watch the adapters, prints the report and
// returns the exit status.
class CliDoctor final {
public:
    explicit CliDoctor(CliContext& ctx);
    ~CliDoctor();

    asio::awaitable<ExitStatus> run(const DoctorCommand& command);

private:
    asio::awaitable<void> probe(std::chrono::milliseconds wait);
    ExitStatus report();

    CliContext& ctx_;
    DoctorFormat format_ = DoctorFormat::Text;
    doctor::DoctorFacts facts_;
    std::vector<std::unique_ptr<PacketTap>> taps_; // one per probed adapter, when permitted
};

} // namespace fw::cli
