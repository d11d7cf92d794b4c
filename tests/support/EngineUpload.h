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
              engine::UpgradeDriver::Observer{.phaseChanged =
                                                  [this](TftpUpload::Phase phase) {
                                                      if (phase == TftpUpload::Phase::Requesting) {
                                                          secondRequestAt = Clock::now();
                                                          if (onSecondRequest) {
                                                              onSecondRequest();
                                                          }
                                                      }
                                                  },
                                              .progressed =
                                                  [this](const TftpUpload::Progress& p) {
                                                      bytesAcknowledged = p.counters.bytesAcknowledged;
                                                  }}) {}

    asio::awaitable<engine::UpgradeDriver::Summary> run(int device, std::vector<std::uint8_t> image) {
        auto summary = co_await driver.run(Ipv4::parse(UploadLab::deviceIp(device)),
                                           Ipv4::parse(UploadLab::localIp(device)), std::move(image));
        endedAt = Clock::now();
        co_return summary;
    }
    double transferSeconds() const {
        return std::chrono::duration<double>(endedAt - secondRequestAt).count();
    }

    UploadCarryOver carry;
    std::function<void()> onSecondRequest;
    Clock::time_point secondRequestAt;
    Clock::time_point endedAt;
    std::uint64_t bytesAcknowledged = 0; // as the driver last told
    engine::UpgradeDriver driver;
};

} // namespace fw::test
