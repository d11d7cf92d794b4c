// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SetIpDriver.h"

#include "common/RecordHeader.h"

#include <array>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/redirect_error.hpp>
#include <asio/steady_timer.hpp>
#include <asio/use_awaitable.hpp>
#include <deque>
#include <vector>

namespace fw::engine {

struct SetIpDriver::State final : SetIpExchange::Io {
    State(EndpointFactory& e, SetIpExchange& x, AnswerSink s)
        : endpoints(e), exchange(x), sink(std::move(s)) {}

    // A failed send is not reported: the exchange has no retransmission of its own to drive.
    void send(std::span<const std::uint8_t> record) override {
        const bool ack = acking;
        acking = false;
        // A device reached by unicast took its new address before answering: the acknowledgement
        // goes to where the answer came from.
        const UdpAddress to{device ? (ack ? answerFrom : *device) : Ipv4::broadcast(), kDevicePort};
        if (ack && holdAcks) { // the acknowledgement of the answer just reported
            held.push_back({to, {record.begin(), record.end()}});
            return;
        }
        if (endpoint) {
            (void)endpoint->send(to, record);
        }
    }
    void answered(const SetIpAnswer& answer) override {
        answer_ = answer;
        acking = true;
        if (sink) {
            sink(answer);
        }
        if (wait != nullptr) {
            wait->cancel(); // request() goes on after the acknowledgement has left
        }
    }
    void close() {
        if (endpoint) {
            endpoint->close();
        }
        if (wait != nullptr) {
            wait->cancel();
        }
    }
    void sendOne(const std::optional<Fixed>& fixed) {
        if (fixed) {
            exchange.sendFixed(*this, fixed->address, fixed->mask, fixed->gateway);
        } else {
            exchange.sendDhcp(*this);
        }
    }

    EndpointFactory& endpoints;
    SetIpExchange& exchange;
    AnswerSink sink;
    std::shared_ptr<Endpoint> endpoint; // shared with its reader
    std::optional<Ipv4> device;         // where requests go by unicast; none: the broadcast address
    Ipv4 answerFrom;                    // the sender of the datagram being read
    std::optional<SetIpAnswer> answer_;
    asio::steady_timer* wait = nullptr; // request()'s, while it waits
    bool holdAcks = false;
    bool acking = false; // inside onDatagram, after answered(): the next send is its acknowledgement
    struct Held {
        UdpAddress to;
        std::vector<std::uint8_t> record;
    };
    std::deque<Held> held; // acknowledgements waiting for acknowledge()
};

namespace {

using State = SetIpDriver::State;

asio::awaitable<void> reader(std::shared_ptr<State> s, std::shared_ptr<Endpoint> endpoint) {
    std::array<std::uint8_t, kRecordBufferBytes> buffer{};
    while (endpoint->isOpen()) {
        if (const auto got = co_await endpoint->receive(buffer, Clock::time_point::max())) {
            s->answerFrom = got->from.ip;
            s->exchange.onDatagram(*s, got->bytes);
            s->acking = false; // a refusal has no acknowledgement
        }
    }
}

asio::awaitable<std::optional<SetIpAnswer>> requestOn(std::shared_ptr<State> s,
                                                      std::optional<SetIpDriver::Fixed> fixed, int retries,
                                                      std::chrono::milliseconds timeout) {
    s->exchange.numberRequest(s->endpoints.recordNumbers().next());
    s->answer_.reset();
    for (int copy = 0; copy <= retries && s->endpoint && s->endpoint->isOpen(); ++copy) {
        s->sendOne(fixed);
        asio::steady_timer timer(s->endpoints.executor(), timeout);
        s->wait = &timer;
        std::error_code ignored;
        co_await timer.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
        s->wait = nullptr;
        if (s->answer_) {
            co_return s->answer_;
        }
    }
    co_return std::nullopt;
}

} // namespace

SetIpDriver::SetIpDriver(EndpointFactory& endpoints, SetIpExchange& exchange, AnswerSink sink)
    : state_(std::make_shared<State>(endpoints, exchange, std::move(sink))) {}

SetIpDriver::~SetIpDriver() {
    state_->sink = nullptr;
    close();
}

Status<SocketError> SetIpDriver::open(const AdapterEntry& adapter, std::optional<Ipv4> device) {
    close();
    state_->device = device;
    auto bound = state_->endpoints.bindToAdapter(adapter, kWorkstationPort);
    if (!bound) {
        state_->endpoint.reset();
        return Failure{bound.error()};
    }
    state_->endpoint = std::move(*bound);
    asio::co_spawn(state_->endpoints.executor(), reader(state_, state_->endpoint), asio::detached);
    return Done{};
}

void SetIpDriver::close() {
    state_->close();
}

bool SetIpDriver::isOpen() const {
    return state_->endpoint && state_->endpoint->isOpen();
}

void SetIpDriver::numberRequest() {
    state_->exchange.numberRequest(state_->endpoints.recordNumbers().next());
}

void SetIpDriver::sendFixed(const Fixed& fixed) {
    state_->sendOne(fixed);
}

void SetIpDriver::sendDhcp() {
    state_->sendOne(std::nullopt);
}

void SetIpDriver::holdAcknowledgements() {
    state_->holdAcks = true;
}

void SetIpDriver::acknowledge() {
    if (state_->held.empty()) {
        return;
    }
    const auto ack = std::move(state_->held.front());
    state_->held.pop_front();
    if (state_->endpoint) {
        (void)state_->endpoint->send(ack.to, ack.record);
    }
}

asio::awaitable<std::optional<SetIpAnswer>> SetIpDriver::request(std::optional<Fixed> fixed, int retries,
                                                                 std::chrono::milliseconds timeout) {
    return requestOn(state_, fixed, retries, timeout);
}

} // namespace fw::engine
