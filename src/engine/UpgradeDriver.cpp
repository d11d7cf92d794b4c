// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/UpgradeDriver.h"

#include "upgrade/Handshake.h"
#include "upgrade/TftpPackets.h"

#include <asio/redirect_error.hpp>
#include <asio/use_awaitable.hpp>

namespace fw::engine {

struct UpgradeDriver::State {
    State(EndpointFactory& e, FlushArp f, UploadCarryOver& carry, Observer o)
        : endpoints(e), flush(std::move(f)), observer(std::move(o)), upload(carry), pause(e.executor()),
          buffer(kLargestDatagramBytes) {}

    // Does what the upload said, in its order; a port that cannot be bound ends it before the
    // record that needed the port goes out.
    void apply(TftpUpload::Actions a) {
        if (a.openSocket && !openTransferSocket()) {
            a = upload.portUnavailable();
        }
        if (a.flushArp) {
            flushArp();
        }
        if (a.send && transfer && device) {
            (void)transfer->send(a.send->to, a.send->bytes); // a lost packet is the deadline's business
        }
        if (a.closeSocket && transfer) {
            transfer->close();
        }
        if (a.progress && observer.progressed) {
            observer.progressed(*a.progress);
        }
        if (a.finished) {
            finished(std::move(*a.finished));
        }
    }
    bool openTransferSocket() {
        if (transfer) {
            transfer->close();
        }
        if (!device || !local) {
            return true; // nowhere to bind: the transfer times out, as it always did
        }
        auto bound = endpoints.bindToAddress(*local, kTftpLocalPort);
        if (!bound) {
            summary.portError = bound.error();
            return false;
        }
        transfer = std::move(*bound);
        pause.cancel(); // the loop waits on the socket from now on
        return true;
    }
    void flushArp() {
        if (device && flush) {
            flush(*device);
        }
    }
    void sendHandshake() {
        if (!device || !local) {
            return;
        }
        auto bound = endpoints.bindToAddress(*local, 0);
        if (!bound) {
            return;
        }
        handshake = std::move(*bound);
        (void)handshake->send(UdpAddress{*device, kHandshakePort}, buildHandshakeRecord());
    }
    // Tells a new phase; a stall ends the upload for an owner that cannot wait for Cancel.
    void notePhase() {
        const auto now = upload.phase();
        if (now == shownPhase) {
            return;
        }
        shownPhase = now;
        if (observer.phaseChanged) {
            observer.phaseChanged(now);
        }
        if (now == TftpUpload::Phase::Stalled && onStall == OnStall::End) {
            apply(upload.cancel());
            summary.result = {TftpUpload::Outcome::Stalled, std::nullopt, {}};
        }
    }
    void finished(TftpUpload::Result result) {
        summary.result = std::move(result);
        summary.counters = upload.counters();
        over = true;
        if (transfer) {
            transfer->close();
        }
        if (handshake) {
            handshake->close();
        }
        pause.cancel();
    }

    EndpointFactory& endpoints;
    FlushArp flush;
    Observer observer;
    TftpUpload upload;
    Timer pause;                         // the start sequence's waits while the transfer socket is closed
    std::vector<std::uint8_t> buffer;    // kLargestDatagramBytes, made once per upload, not per block
    std::unique_ptr<Endpoint> handshake; // Winsock1
    std::unique_ptr<Endpoint> transfer;  // Winsock2
    std::optional<Ipv4> device;
    std::optional<Ipv4> local;
    OnStall onStall = OnStall::Wait;
    TftpUpload::Phase shownPhase = TftpUpload::Phase::Idle;
    Summary summary;
    bool over = false; // the upload has answered with its end
};

namespace {

using State = UpgradeDriver::State;

asio::awaitable<UpgradeDriver::Summary> runOn(std::shared_ptr<State> s, std::optional<Ipv4> device,
                                              std::optional<Ipv4> local, std::vector<std::uint8_t> image,
                                              UpgradeDriver::OnStall onStall) {
    if (s->upload.phase() != TftpUpload::Phase::Idle) {
        co_return s->summary; // run before, or cancelled first
    }
    s->device = device;
    s->local = local;
    s->onStall = onStall;
    s->flushArp();
    // Port 14321 first: a port that cannot be bound ends the upload before the device is told of it.
    s->apply(s->upload.start(Clock::now(), device.value_or(Ipv4::any()), std::move(image)));
    if (!s->over) {
        s->sendHandshake();
        s->notePhase();
    }
    while (!s->over) {
        const auto deadline = s->upload.deadline().value_or(Clock::time_point::max());
        if (s->transfer && s->transfer->isOpen()) {
            // The deadline is looked at after every datagram too: a socket that always has one
            // waiting (a flood of strays) must not hold the timeouts off.
            const auto got = co_await s->transfer->receive(s->buffer, deadline);
            if (got && !s->over) {
                s->apply(s->upload.onDatagram(Clock::now(), got->from, got->bytes));
            }
        } else {
            s->pause.expires_at(deadline);
            std::error_code ignored;
            co_await s->pause.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
        }
        if (const auto due = s->upload.deadline(); !s->over && due && Clock::now() >= *due) {
            s->apply(s->upload.onDeadline(Clock::now()));
        }
        if (!s->over) {
            s->notePhase();
        }
    }
    co_return s->summary;
}

} // namespace

UpgradeDriver::UpgradeDriver(EndpointFactory& endpoints, FlushArp flushArp, UploadCarryOver& carry,
                             Observer observer)
    : state_(std::make_shared<State>(endpoints, std::move(flushArp), carry, std::move(observer))) {}

UpgradeDriver::~UpgradeDriver() {
    state_->observer = {}; // quietly: the observer's owner may be half gone by now
    cancel();
}

asio::awaitable<UpgradeDriver::Summary> UpgradeDriver::run(std::optional<Ipv4> device,
                                                           std::optional<Ipv4> local,
                                                           std::vector<std::uint8_t> image, OnStall onStall) {
    return runOn(state_, device, local, std::move(image), onStall);
}

void UpgradeDriver::cancel() {
    if (!state_->over) {
        state_->apply(state_->upload.cancel());
    }
}

TftpUpload::Phase UpgradeDriver::phase() const {
    return state_->upload.phase();
}

} // namespace fw::engine
