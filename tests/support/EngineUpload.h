// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One upload on the engine to device i of an UploadLab, timed from the second write request (the
// start sequence's end) to its end; the ARP flush is the kernel's. Shared by the net tests and the
// benchmarks.

#include "engine/UpgradeDriver.h"
#include "platform/SystemHost.h"
#include "support/UploadLab.h"

#include <chrono>
#include <functional>

namespace fw::test {

struct EngineUpload {
    using Clock = std::chrono::steady_clock;

    explicit EngineUpload(engine::EndpointFactory& endpoints)
        : driver(
              endpoints, [](Ipv4 ip) { SystemHost().flushNeighbour(ip); }, carry,
              engine::UpgradeDriver::Display{.ended = [this](TftpUpload::Outcome) { endedAt = Clock::now(); },
                                             .secondRequestSent =
                                                 [this] {
                                                     secondRequestAt = Clock::now();
                                                     if (onSecondRequest) {
                                                         onSecondRequest();
                                                     }
                                                 }}) {}

    asio::awaitable<TftpUpload::Result> run(int device, std::vector<std::uint8_t> image) {
        return driver.run(Ipv4::parse(UploadLab::deviceIp(device)), Ipv4::parse(UploadLab::localIp(device)),
                          std::move(image));
    }
    double transferSeconds() const {
        return std::chrono::duration<double>(endedAt - secondRequestAt).count();
    }

    UploadCarryOver carry;
    std::function<void()> onSecondRequest;
    Clock::time_point secondRequestAt;
    Clock::time_point endedAt;
    engine::UpgradeDriver driver;
};

} // namespace fw::test
