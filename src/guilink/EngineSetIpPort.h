// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "guilink/EngineLink.h"
#include "guilink/UiPost.h"
#include "setip/SetIpPort.h"

#include <memory>

namespace fw {

class SetIpExchange;

namespace engine {
class SetIpDriver;
}

// The Set IP dialog's port over the engine: the run's exchange and sock1 (a SetIpDriver) live on
// the engine's thread, every call here posts a job there, and the answers come back through the
// GUI thread's queue. Made and used on the GUI thread.
class EngineSetIpPort final : public SetIpPort {
public:
    EngineSetIpPort(EngineLink engine, SetIpExchange& exchange, UiQueue& queue);
    ~EngineSetIpPort() override; // close()
    EngineSetIpPort(const EngineSetIpPort&) = delete;
    EngineSetIpPort& operator=(const EngineSetIpPort&) = delete;

    void open(const AdapterTable& adapters, std::optional<Ipv4> localAdapterIp, int index,
              const MacAddress& device, Listener& listener) override;
    void useNumber() override;
    void sendFixed(const FixedAddress& fixed) override;
    void sendDhcp() override;
    void acknowledge(const Acknowledgement& acknowledgement) override;
    void close() override;

private:
    EngineLink engine_;
    SetIpExchange& exchange_;
    std::shared_ptr<engine::SetIpDriver> sock1_; // used and finally destroyed on the engine's thread
    UiPost back_;
};

} // namespace fw
