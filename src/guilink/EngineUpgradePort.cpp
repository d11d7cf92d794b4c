// SPDX-License-Identifier: GPL-3.0-or-later
#include "guilink/EngineUpgradePort.h"

#include "engine/UpgradeDriver.h"
#include "platform/ImageFileReader.h"
#include "upgrade/TftpPackets.h"

#include <asio/co_spawn.hpp>

namespace fw {

EngineUpgradePort::EngineUpgradePort(EngineLink engine, Host& host, UploadCarryOver& carry, UiQueue& queue)
    : engine_(engine), host_(host), carry_(carry), back_(queue) {}

EngineUpgradePort::~EngineUpgradePort() {
    stop();
}

void EngineUpgradePort::checkImage(std::string path, DeviceKind kind, Checked done) {
    engine_.engine.post([path = std::move(path), kind, back = back_.sender(), done = std::move(done)] {
        ImageFile file;
        if (!path.empty()) {
            file = readImageFile(path, kTftpMaxImageBytes);
        }
        back([decision = fw::checkImage(path, file, kind), bytes = std::move(file.bytes), done]() mutable {
            done(decision, std::move(bytes));
        });
    });
}

void EngineUpgradePort::start(std::optional<Ipv4> device, std::optional<Ipv4> local,
                              std::vector<std::uint8_t> image, Callbacks callbacks) {
    if (driver_) {
        return;
    }
    const UiPost::Sender back = back_.sender();
    // The counters change with every block; the bar and the label about once in 328 blocks of the
    // largest image: only their changes cross to the GUI thread.
    engine::UpgradeDriver::Observer observer;
    observer.progressed = [back, progressed = std::move(callbacks.progressed),
                           shown = std::optional<Shown>()](const TftpUpload::Progress& now) mutable {
        if (!shown || now.bar != shown->bar || now.label() != shown->label) {
            shown = Shown{now.bar, now.label()};
            back([progressed, value = *shown] { progressed(value); });
        }
    };
    driver_ = std::make_shared<engine::UpgradeDriver>(
        engine_.endpoints, [&host = host_](Ipv4 address) { host.flushNeighbour(address); }, carry_,
        std::move(observer));
    engine_.engine.post([driver = driver_, executor = engine_.endpoints.executor(), device, local,
                         image = std::move(image), back, ended = std::move(callbacks.ended)]() mutable {
        asio::co_spawn(
            executor, driver->run(device, local, std::move(image)),
            [driver, back, ended](const std::exception_ptr&, engine::UpgradeDriver::Summary summary) {
                std::optional<PortFault> fault;
                if (summary.portError) {
                    fault = PortFault{summary.portError->kind == engine::SocketError::Kind::PortInUse,
                                      summary.portError->code.message()};
                }
                back([ended, result = summary.result, fault] { ended(result, fault); });
            });
    });
}

// The timer stops and both sockets close before the engine runs anything posted later: nothing is
// sent after this.
void EngineUpgradePort::stop() {
    if (driver_) {
        engine_.engine.post([driver = std::move(driver_)] { driver->cancel(); });
    }
}

} // namespace fw
