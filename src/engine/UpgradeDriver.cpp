// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/UpgradeDriver.h"

#include "engine/JobCancelled.h"
#include "platform/ImageFileReader.h"
#include "upgrade/Handshake.h"
#include "upgrade/TftpPackets.h"

#include <asio/redirect_error.hpp>
#include <asio/use_awaitable.hpp>

namespace fw::engine {

struct UpgradeDriver::Question {
    Timer wait;
    bool go = false;
};

namespace {

using Outcome = UpgradeJob::Outcome;

// One upload's state, a local of run().
struct Upload {
    Upload(EndpointFactory& e, Host& h, UploadCarryOver& carry, const UpgradeDriver::Observer& o,
           const UpgradeJob::Request& r)
        : endpoints(e), host(h), observer(o), upload(carry), pause(e.executor()),
          buffer(kLargestDatagramBytes), device(r.device), local(r.local), onStall(r.onStall) {}

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
        if (a.progress && observer) {
            observer(*a.progress);
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
            outcome.portError = bound.error();
            return false;
        }
        transfer = std::move(*bound);
        pause.cancel(); // the loop waits on the socket from now on
        return true;
    }
    void flushArp() {
        if (device) {
            host.flushNeighbour(*device);
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
        if (observer) {
            observer(now);
        }
        if (now == TftpUpload::Phase::Stalled && onStall == UpgradeJob::OnStall::End) {
            apply(upload.cancel());
            outcome.result = {TftpUpload::Outcome::Stalled, std::nullopt, {}};
        }
    }
    void finished(TftpUpload::Result result) {
        outcome.result = std::move(result);
        outcome.counters = upload.counters();
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
    Host& host;
    const UpgradeDriver::Observer& observer;
    TftpUpload upload;
    Timer pause;                         // the start sequence's waits while the transfer socket is closed
    std::vector<std::uint8_t> buffer;    // kLargestDatagramBytes, made once per upload, not per block
    std::unique_ptr<Endpoint> handshake; // Winsock1
    std::unique_ptr<Endpoint> transfer;  // Winsock2
    std::optional<Ipv4> device;
    std::optional<Ipv4> local;
    UpgradeJob::OnStall onStall;
    TftpUpload::Phase shownPhase = TftpUpload::Phase::Idle;
    Outcome outcome;
    bool over = false; // the upload has answered with its end
};

// The bytes to upload, with the verdict on them: those given (Accept), or those read at the path.
std::pair<ImageDecision::Kind, std::vector<std::uint8_t>> imageFor(UpgradeJob::Request& request,
                                                                   const UpgradeDriver::Observer& observer) {
    auto* at = std::get_if<UpgradeJob::ImageAt>(&request.image);
    if (at == nullptr) {
        return {ImageDecision::Kind::Accept, std::move(std::get<std::vector<std::uint8_t>>(request.image))};
    }
    ImageFile file;
    if (!at->path.empty()) {
        file = readImageFile(at->path, kTftpMaxImageBytes);
    }
    const ImageDecision decision = checkImage(at->path, file, at->kind);
    if (observer) {
        observer(UpgradeJob::Checked{decision, file.bytes.size()});
    }
    return {decision.kind, std::move(file.bytes)};
}

// GCC 12 takes the coroutine frame's own operator delete for a mismatch with its operator new.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
asio::awaitable<Outcome> upload(EndpointFactory& endpoints, Host& host, UploadCarryOver& carry,
                                UpgradeJob::Request request, const UpgradeDriver::Observer& observer,
                                UpgradeDriver::Question*& asking) {
    auto checked = imageFor(request, observer); // no structured binding: GCC 12 loses it across co_await
    auto& verdict = checked.first;
    auto& image = checked.second;
    if (verdict == ImageDecision::Kind::Confirm) { // the operator is asked: Go, or the cancellation
        UpgradeDriver::Question question{Timer(endpoints.executor(), Clock::time_point::max())};
        asking = &question;
        std::error_code ignored;
        co_await question.wait.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
        asking = nullptr;
        verdict = question.go ? ImageDecision::Kind::Accept : ImageDecision::Kind::Refuse;
    }
    if (verdict != ImageDecision::Kind::Accept || co_await jobCancelled()) {
        co_return Outcome{};
    }
    Upload s(endpoints, host, carry, observer, request);
    s.flushArp();
    // Port 14321 first: a port that cannot be bound ends the upload before the device is told of it.
    s.apply(s.upload.start(Clock::now(), request.device.value_or(Ipv4::any()), std::move(image)));
    if (!s.over) {
        s.sendHandshake();
        s.notePhase();
    }
    while (!s.over) {
        const auto deadline = s.upload.deadline().value_or(Clock::time_point::max());
        if (s.transfer && s.transfer->isOpen()) {
            // The deadline is looked at after every datagram too: a socket that always has one
            // waiting (a flood of strays) must not hold the timeouts off.
            const auto got = co_await s.transfer->receive(s.buffer, deadline);
            if (got && !s.over && !co_await jobCancelled()) {
                s.apply(s.upload.onDatagram(Clock::now(), got->from, got->bytes));
            }
        } else {
            s.pause.expires_at(deadline);
            std::error_code ignored;
            co_await s.pause.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
        }
        if (co_await jobCancelled()) {
            s.apply(s.upload.cancel()); // both sockets closed, nothing sent
            break;
        }
        if (const auto due = s.upload.deadline(); !s.over && due && Clock::now() >= *due) {
            s.apply(s.upload.onDeadline(Clock::now()));
        }
        if (!s.over) {
            s.notePhase();
        }
    }
    co_return s.outcome;
}

} // namespace

UpgradeDriver::UpgradeDriver(EndpointFactory& endpoints, Host& host, UploadCarryOver& carry)
    : endpoints_(endpoints), host_(host), carry_(carry) {}

asio::awaitable<Outcome> UpgradeDriver::run(UpgradeJob::Request request, const Observer& observer) {
    return upload(endpoints_, host_, carry_, std::move(request), observer, question_);
}

#pragma GCC diagnostic pop

void UpgradeDriver::command(UpgradeJob::Go /*go*/) {
    if (question_ != nullptr) {
        question_->go = true;
        question_->wait.cancel();
    }
}

} // namespace fw::engine
