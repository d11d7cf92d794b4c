// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/UpgradeDriver.h"

#include "upgrade/core/Handshake.h"
#include "upgrade/core/TftpPackets.h"

#include <asio/redirect_error.hpp>
#include <asio/steady_timer.hpp>
#include <asio/use_awaitable.hpp>

namespace fw::engine {
namespace {

// How long a wait with no deadline sleeps before it looks again.
constexpr std::chrono::hours kNoDeadline{24};

} // namespace

struct UpgradeDriver::State final : TftpUpload::Io {
    State(EndpointFactory& e, FlushArp f, UploadCarryOver& carry, Display d)
        : endpoints(e), flush(std::move(f)), display(std::move(d)), upload(*this, carry), idle(e.executor()),
          buffer(kLargestDatagramBytes) {}

    bool openTransferSocket() override {
        closeTransferSocket();
        if (!device || !local) {
            return true; // nowhere to bind: the transfer times out, as it always did
        }
        auto bound = endpoints.bindToAddress(*local, kTftpLocalPort);
        if (!bound) {
            transferPortError = bound.error();
            return false;
        }
        transfer = std::move(*bound);
        idle.cancel(); // the loop waits on the socket from now on
        return true;
    }
    void closeTransferSocket() override {
        if (transfer) {
            transfer->close();
        }
    }
    void send(UdpAddress to, std::span<const std::uint8_t> bytes) override {
        if (transfer && device) {
            (void)transfer->send(to, bytes); // a lost packet is the timer's business
        }
    }
    void flushArp() override {
        if (device && flush) {
            flush(*device);
        }
    }
    void startTimer(std::chrono::milliseconds value) override {
        interval = value;
        due = Clock::now() + value;
    }
    void stopTimer() override { due.reset(); }
    // The percent changes once every 328 blocks of the largest image; only changes are shown.
    void setProgress(int value) override {
        if (value != shownProgress) {
            shownProgress = value;
            if (display.progress) {
                display.progress(value);
            }
        }
    }
    void setLabel(const std::string& text) override {
        if (text != shownLabel) {
            shownLabel = text;
            if (display.label) {
                display.label(text);
            }
        }
    }
    void ended(const TftpUpload::Result& value) override {
        result = value;
        if (display.result) {
            display.result(value);
        }
    }
    void close() override {
        over = true;
        if (display.ended) {
            display.ended(upload.outcome());
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
    // The upload's timer is periodic unless the upload stops or restarts it from onTimer().
    void tick() {
        const auto now = Clock::now();
        due = *due + interval < now ? now + interval : *due + interval;
        const bool wasStarting = upload.phase() == TftpUpload::Phase::Starting;
        upload.onTimer();
        if (wasStarting && upload.phase() == TftpUpload::Phase::Requesting && display.secondRequestSent) {
            display.secondRequestSent();
        }
    }
    void cancel() {
        cancelled = true;
        upload.cancel(); // stops the timer, closes the transfer endpoint
        if (handshake) {
            handshake->close();
        }
        idle.cancel();
    }

    EndpointFactory& endpoints;
    FlushArp flush;
    Display display;
    TftpUpload upload;
    asio::steady_timer idle;             // the wait while no transfer endpoint is open
    std::vector<std::uint8_t> buffer;    // kLargestDatagramBytes, made once per upload, not per block
    std::unique_ptr<Endpoint> handshake; // Winsock1
    std::unique_ptr<Endpoint> transfer;  // Winsock2
    std::optional<Ipv4> device;
    std::optional<Ipv4> local;
    std::optional<SocketError> transferPortError;
    std::optional<Clock::time_point> due; // none while the upload's timer is stopped
    std::chrono::milliseconds interval{0};
    std::optional<int> shownProgress;
    std::optional<std::string> shownLabel;
    TftpUpload::Result result;
    bool begun = false;
    bool over = false;
    bool cancelled = false;
};

namespace {

using State = UpgradeDriver::State;

asio::awaitable<TftpUpload::Result> runOn(std::shared_ptr<State> s, std::optional<Ipv4> device,
                                          std::optional<Ipv4> local, std::vector<std::uint8_t> image) {
    if (s->begun) {
        co_return s->result;
    }
    s->begun = true;
    s->device = device;
    s->local = local;
    s->flushArp();
    // Port 14321 first: a port that cannot be bound ends the upload before the device is told of it.
    s->upload.start(device.value_or(Ipv4::any()), std::move(image));
    if (s->upload.phase() != TftpUpload::Phase::Ended && !s->cancelled) {
        s->sendHandshake();
    }
    while (!s->over && !s->cancelled) {
        const auto deadline = s->due.value_or(Clock::now() + kNoDeadline);
        if (s->transfer && s->transfer->isOpen()) {
            // The deadline is looked at after every datagram too: a socket that always has one
            // waiting (a flood of strays) must not hold the timer off.
            const auto got = co_await s->transfer->receive(s->buffer, deadline);
            if (got && !s->cancelled) {
                s->upload.onDatagram(got->from, got->bytes);
            }
        } else {
            s->idle.expires_at(deadline);
            std::error_code ignored;
            co_await s->idle.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
        }
        if (!s->cancelled && !s->over && s->due && Clock::now() >= *s->due) {
            s->tick();
        }
    }
    if (s->handshake) {
        s->handshake->close();
    }
    if (s->cancelled && s->result.outcome == TftpUpload::Outcome::None) {
        s->result.outcome = s->upload.outcome();
    }
    co_return s->result;
}

} // namespace

UpgradeDriver::UpgradeDriver(EndpointFactory& endpoints, FlushArp flushArp, UploadCarryOver& carry,
                             Display display)
    : state_(std::make_shared<State>(endpoints, std::move(flushArp), carry, std::move(display))) {}

UpgradeDriver::~UpgradeDriver() {
    state_->display = {}; // quietly: the display may be half gone by now
    cancel();
}

asio::awaitable<TftpUpload::Result> UpgradeDriver::run(std::optional<Ipv4> device, std::optional<Ipv4> local,
                                                       std::vector<std::uint8_t> image) {
    return runOn(state_, device, local, std::move(image));
}

void UpgradeDriver::cancel() {
    state_->cancel();
}

TftpUpload::Phase UpgradeDriver::phase() const {
    return state_->upload.phase();
}

TftpUpload::Outcome UpgradeDriver::outcome() const {
    return state_->upload.outcome();
}

int UpgradeDriver::progress() const {
    return state_->upload.progress();
}

std::uint64_t UpgradeDriver::bytesAcknowledged() const {
    return state_->upload.bytesAcknowledged();
}

TftpUpload::Counters UpgradeDriver::counters() const {
    return state_->upload.counters();
}

std::optional<SocketError> UpgradeDriver::transferPortError() const {
    return state_->transferPortError;
}

} // namespace fw::engine
