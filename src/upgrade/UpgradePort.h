// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/DeviceKind.h"
#include "common/Ipv4.h"
#include "upgrade/ImageCheck.h"
#include "upgrade/TftpUpload.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace fw {

// The upgrade dialog's way to the engine. The work runs on the engine's thread; every callback runs
// later on the GUI thread, and none once the port is gone.
class UpgradePort {
public:
    // Why port 14321 could not be bound: another program holds it, or the system's reason.
    struct PortFault {
        bool inUse = false;
        std::string reason;
    };
    // What the bar and the label show.
    struct Shown {
        int bar = 0;
        std::string label;
    };
    struct Callbacks {
        std::function<void(const Shown&)> progressed; // only when the bar or the label changed
        std::function<void(const TftpUpload::Result&, const std::optional<PortFault>&)> ended;
    };
    using Checked = std::function<void(const ImageDecision&, std::vector<std::uint8_t> image)>;

    // Reads the image at path (nothing for an empty path) and checks it for the device's kind.
    virtual void checkImage(std::string path, DeviceKind kind, Checked done) = 0;
    // The whole upgrade (ARP flush, handshake, upload) of the checked image. Once per port.
    virtual void start(std::optional<Ipv4> device, std::optional<Ipv4> local, std::vector<std::uint8_t> image,
                       Callbacks callbacks) = 0;
    // Stops the upgrade at once: no timer, both sockets closed, nothing sent afterwards; its end may
    // still come back, as Cancelled. Safe at any time, more than once.
    virtual void stop() = 0;

protected:
    ~UpgradePort() = default;
};

} // namespace fw
