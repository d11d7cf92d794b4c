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

    explicit EngineUpload(engine::EndpointFactory& endpoints) : driver(endpoints, host, carry) {}

    asio::awaitable<UpgradeJob::Outcome> run(int device, std::vector<std::uint8_t> image) {
        const engine::UpgradeDriver::Observer observer = [this](const UpgradeJob::Event& event) {
            if (const auto* p = std::get_if<TftpUpload::Progress>(&event)) {
                bytesAcknowledged = p->counters.bytesAcknowledged;
            } else if (const auto* now = std::get_if<TftpUpload::Phase>(&event)) {
                phase = *now;
                if (phase == TftpUpload::Phase::Requesting) {
                    secondRequestAt = Clock::now();
                    if (onSecondRequest) {
                        onSecondRequest();
                    }
                }
            }
        };
        auto upload = driver.run({Ipv4::parse(UploadLab::deviceIp(device)),
                                  Ipv4::parse(UploadLab::localIp(device)), std::move(image)},
                                 observer);
        auto outcome = co_await std::move(upload);
        endedAt = Clock::now();
        co_return outcome;
    }
    double transferSeconds() const {
        return std::chrono::duration<double>(endedAt - secondRequestAt).count();
    }

    SystemHost host;
    UploadCarryOver carry;
    std::function<void()> onSecondRequest;
    Clock::time_point secondRequestAt;
    Clock::time_point endedAt;
    std::uint64_t bytesAcknowledged = 0; // as the driver last told
    TftpUpload::Phase phase = TftpUpload::Phase::Idle;
    engine::UpgradeDriver driver;
};

} // namespace fw::test
