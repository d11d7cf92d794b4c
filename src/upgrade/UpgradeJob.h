// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/DeviceKind.h"
#include "common/Ipv4.h"
#include "common/SocketError.h"
#include "upgrade/ImageCheck.h"
#include "upgrade/TftpUpload.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace fw {

// One upgrade as the command line and the upgrade dialog ask for it and hear of it: the ARP flush,
// the handshake, the start sequence and the transfer.
struct UpgradeJob {
    // The image for a window: read from the path and checked for the device's kind on the engine's
    // thread, which keeps the bytes.
    struct ImageAt {
        std::string path;
        DeviceKind kind = DeviceKind::Bridge;
    };
    // The window waits for Cancel when the device acknowledges a block not yet sent (ERROR 0 has
    // gone to it); a script cannot, so the command line ends the upload there with Stalled.
    enum class OnStall { Wait, End };

    struct Request {
        std::optional<Ipv4> device;
        std::optional<Ipv4> local;
        // The bytes, read and checked already (the command line), or where to read them.
        std::variant<std::vector<std::uint8_t>, ImageAt> image;
        OnStall onStall = OnStall::Wait;
    };

    // An ImageAt's verdict and the image's size. The upload goes on for Accept; for Confirm it waits
    // for the operator's Go (or the cancellation).
    struct Checked {
        ImageDecision decision;
        std::size_t bytes = 0;
    };
    // Phase: Starting once the handshake has gone (not when port 14321 could not be bound),
    // Requesting with the second write request (the transfer proper), and so on. Progress: the
    // bar, the label or the counters changed, once per block at most.
    using Event = std::variant<Checked, TftpUpload::Phase, TftpUpload::Progress>;
    struct Go {};
    using Command = Go;

    // How it ended: the transfer's result (None: the image was not accepted, nothing was sent) and
    // what it cost, and for PortUnavailable why port 14321 could not be bound.
    struct Outcome {
        TftpUpload::Result result;
        TftpUpload::Counters counters;
        std::optional<SocketError> portError;
    };
};

} // namespace fw
