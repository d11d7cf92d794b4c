// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"
#include "engine/EndpointFactory.h"
#include "engine/SocketError.h"
#include "upgrade/core/TftpUpload.h"
#include "upgrade/core/UploadCarryOver.h"

#include <asio/awaitable.hpp>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fw::engine {

// One upgrade: the ARP flush, port 14321 bound on the local address, the handshake from a free
// port there to the device's port 4000 (answers not read), then TftpUpload's start sequence and
// transfer, its timer a deadline raced against each receive. Engine thread only; the carry-over is
// the caller's and touched on the engine thread only while the upload runs.
class UpgradeDriver {
public:
    // Where the upload shows itself; each is called on the engine thread and may be empty.
    struct Display {
        std::function<void(int)> progress{};                     // 0..100, changes only
        std::function<void(const std::string&)> label{};         // changes only
        std::function<void(const TftpUpload::Result&)> result{}; // how it ended
        std::function<void(TftpUpload::Outcome)> ended{};        // after result: the display closes
        std::function<void()> secondRequestSent{};               // the transfer proper begins
    };
    using FlushArp = std::function<void(Ipv4)>; // the device's neighbour entry; fails silently

    UpgradeDriver(EndpointFactory& endpoints, FlushArp flushArp, UploadCarryOver& carry, Display display);
    ~UpgradeDriver(); // cancel()
    UpgradeDriver(const UpgradeDriver&) = delete;
    UpgradeDriver& operator=(const UpgradeDriver&) = delete;

    // The whole upload; returns how it ended (after Display::ended). The image has passed
    // checkImage. When port 14321 cannot be bound it ends at once with PortUnavailable and nothing
    // is sent. A missing address or a failed handshake bind is skipped, as the device would see
    // it: nothing answers and the transfer times out. Once per driver.
    asio::awaitable<TftpUpload::Result> run(std::optional<Ipv4> device, std::optional<Ipv4> local,
                                            std::vector<std::uint8_t> image);
    // Stops the timer and closes both endpoints at once; nothing is sent afterwards and run()
    // returns Cancelled. Safe at any time, more than once.
    void cancel();

    TftpUpload::Phase phase() const;
    TftpUpload::Outcome outcome() const;
    int progress() const;
    std::uint64_t bytesAcknowledged() const;
    TftpUpload::Counters counters() const;
    // Why port 14321 could not be bound (PortUnavailable).
    std::optional<SocketError> transferPortError() const;

    struct State; // shared with the driver's coroutine

private:
    std::shared_ptr<State> state_;
};

} // namespace fw::engine
