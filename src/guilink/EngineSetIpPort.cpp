// SPDX-License-Identifier: GPL-3.0-or-later
#include "guilink/EngineSetIpPort.h"

#include "engine/SetIpDriver.h"

namespace fw {

EngineSetIpPort::EngineSetIpPort(EngineLink engine, SetIpExchange& exchange, UiQueue& queue)
    : engine_(engine), exchange_(exchange), back_(queue) {}

EngineSetIpPort::~EngineSetIpPort() {
    close();
}

void EngineSetIpPort::open(const AdapterTable& adapters, std::optional<Ipv4> localAdapterIp, int index,
                           const MacAddress& device, Listener& listener) {
    close();
    sock1_ = std::make_shared<engine::SetIpDriver>(
        engine_.endpoints, exchange_,
        [back = back_.sender(), &listener](const engine::SetIpDriver::Answer& answer) {
            back([&listener, answer] { listener.answered(answer); });
        });
    engine_.engine.post([sock1 = sock1_, &exchange = exchange_, adapters, localAdapterIp, index, device,
                         back = back_.sender(), &listener] {
        exchange.open(adapters, localAdapterIp, index, device);
        if (adapters.empty()) {
            return; // nothing to bind to; requests then send nothing
        }
        if (auto opened = sock1->open(adapters[static_cast<std::size_t>(index)]); !opened) {
            const BindFailure failure{opened.error().kind == engine::SocketError::Kind::PortInUse,
                                      opened.error().code};
            back([&listener, failure] { listener.bindFailed(failure); });
        }
    });
}

void EngineSetIpPort::useNumber() {
    if (sock1_) {
        engine_.engine.post([sock1 = sock1_] { sock1->numberRequest(); });
    }
}

void EngineSetIpPort::sendFixed(const FixedAddress& fixed) {
    if (sock1_) {
        engine_.engine.post(
            [sock1 = sock1_, request = engine::SetIpDriver::Fixed{fixed.address, fixed.mask, fixed.gateway}] {
                sock1->numberRequest();
                sock1->sendFixed(request);
            });
    }
}

void EngineSetIpPort::sendDhcp() {
    if (sock1_) {
        engine_.engine.post([sock1 = sock1_] {
            sock1->numberRequest();
            sock1->sendDhcp();
        });
    }
}

void EngineSetIpPort::acknowledge(const Acknowledgement& acknowledgement) {
    if (sock1_) {
        engine_.engine.post([sock1 = sock1_, ack = acknowledgement] { sock1->acknowledge(ack); });
    }
}

void EngineSetIpPort::close() {
    if (sock1_) {
        engine_.engine.post([sock1 = std::move(sock1_)] { sock1->close(); });
    }
}

} // namespace fw
