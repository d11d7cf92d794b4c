// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "guilink/EngineLink.h"
#include "guilink/UiPost.h"
#include "platform/Host.h"
#include "upgrade/UpgradePort.h"
#include "upgrade/UploadCarryOver.h"

#include <memory>

namespace fw {

namespace engine {
class UpgradeDriver;
}

// The upgrade dialog's port over the engine: the image is read and checked, and the upgrade driven,
// on the engine's thread; the answers come back through the GUI thread's queue. Made, used and
// destroyed on the GUI thread; destroying it stops the upgrade and drops answers still on their way.
class EngineUpgradePort final : public UpgradePort {
public:
    EngineUpgradePort(EngineLink engine, Host& host, UploadCarryOver& carry, UiQueue& queue);
    ~EngineUpgradePort();
    EngineUpgradePort(const EngineUpgradePort&) = delete;
    EngineUpgradePort& operator=(const EngineUpgradePort&) = delete;

    void checkImage(std::string path, DeviceKind kind, Checked done) override;
    void start(std::optional<Ipv4> device, std::optional<Ipv4> local, std::vector<std::uint8_t> image,
               Callbacks callbacks) override;
    void stop() override;

private:
    EngineLink engine_;
    Host& host_;
    UploadCarryOver& carry_;
    std::shared_ptr<engine::UpgradeDriver> driver_; // used and finally destroyed on the engine's thread
    UiPost back_;
};

} // namespace fw
