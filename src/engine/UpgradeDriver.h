// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"
#include "engine/EndpointFactory.h"
#include "platform/Host.h"
#include "upgrade/UpgradeJob.h"
#include "upgrade/UploadCarryOver.h"

#include <asio/awaitable.hpp>
#include <functional>

namespace fw::engine {

// Upgrades, one run() each: the ARP flush, port 14321 bound on the local address, the handshake
// from a free port there to the device's port 4000 (answers not read), then TftpUpload's start
// sequence and transfer, its deadline raced against each receive. Engine thread only; the
// carry-over is the caller's and touched on the engine thread only while an upload runs.
class UpgradeDriver {
public:
    using Job = UpgradeJob;
    using Observer = std::function<void(const UpgradeJob::Event&)>; // on the engine thread; may be empty

    // host: flushes the device's neighbour entry (failing silently).
    UpgradeDriver(EndpointFactory& endpoints, Host& host, UploadCarryOver& carry);

    // The whole upload. An image given as a path is read and checked first (Checked); one not
    // accepted ends the run with nothing sent. When port 14321 cannot be bound it ends at once with
    // PortUnavailable and nothing is sent. A missing address or a failed handshake bind is skipped,
    // as the device would see it: nothing answers and the transfer times out. Cancelled through
    // the awaiting coroutine's cancellation slot: nothing is sent afterwards, both sockets close.
    asio::awaitable<UpgradeJob::Outcome> run(UpgradeJob::Request request, const Observer& observer);
    // The operator's answer to a Confirm verdict: upload it.
    void command(UpgradeJob::Go go);

    struct Question; // a run()'s local while it waits for Go

private:
    EndpointFactory& endpoints_;
    Host& host_;
    UploadCarryOver& carry_;
    Question* question_ = nullptr;
};

} // namespace fw::engine
