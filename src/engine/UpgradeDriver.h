// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"
#include "engine/EndpointFactory.h"
#include "engine/SocketError.h"
#include "upgrade/TftpUpload.h"
#include "upgrade/UploadCarryOver.h"

#include <asio/awaitable.hpp>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace fw::engine {

// One upgrade: the ARP flush, port 14321 bound on the local address, the handshake from a free
// port there to the device's port 4000 (answers not read), then TftpUpload's start sequence and
// transfer, its deadline raced against each receive. Engine thread only; the carry-over is the
// caller's and touched on the engine thread only while the upload runs.
class UpgradeDriver {
public:
    // How the upload goes, for the window and the command line alike. Called on the engine thread;
    // either may be empty. progressed runs once per block: keep it short.
    struct Observer {
        // Starting once the handshake has gone (not when port 14321 could not be bound),
        // Requesting with the second write request (the transfer proper), and so on.
        std::function<void(TftpUpload::Phase)> phaseChanged{};
        // The bar, the label or the counters changed.
        std::function<void(const TftpUpload::Progress&)> progressed{};
    };
    // How it ended: the transfer's result and what it cost, and for PortUnavailable why port
    // 14321 could not be bound.
    struct Summary {
        TftpUpload::Result result;
        TftpUpload::Counters counters;
        std::optional<SocketError> portError;
    };
    // The window waits for Cancel when the device acknowledges a block not yet sent (ERROR 0 has
    // gone to it); a script cannot, so the command line ends the upload there with Stalled.
    enum class OnStall { Wait, End };
    using FlushArp = std::function<void(Ipv4)>; // the device's neighbour entry; fails silently

    UpgradeDriver(EndpointFactory& endpoints, FlushArp flushArp, UploadCarryOver& carry, Observer observer);
    ~UpgradeDriver(); // cancel()
    UpgradeDriver(const UpgradeDriver&) = delete;
    UpgradeDriver& operator=(const UpgradeDriver&) = delete;

    // The whole upload. The image has passed checkImage. When port 14321 cannot be bound it ends at
    // once with PortUnavailable and nothing is sent. A missing address or a failed handshake bind is
    // skipped, as the device would see it: nothing answers and the transfer times out. Once per
    // driver: a later call returns the summary as it stands.
    asio::awaitable<Summary> run(std::optional<Ipv4> device, std::optional<Ipv4> local,
                                 std::vector<std::uint8_t> image, OnStall onStall = OnStall::Wait);
    // Drops the deadline and closes both endpoints at once; nothing is sent afterwards and run()
    // returns Cancelled. Safe at any time, more than once.
    void cancel();

    TftpUpload::Phase phase() const;

    struct State; // shared with the driver's coroutine

private:
    std::shared_ptr<State> state_;
};

} // namespace fw::engine
