// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SetIpDriver.h"

#include "common/RecordHeader.h"

#include <array>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/redirect_error.hpp>
#include <asio/use_awaitable.hpp>
#include <utility>

namespace fw::engine {

struct SetIpDriver::State {
    State(EndpointFactory& e, SetIpExchange& x, AnswerSink s)
        : endpoints(e), exchange(x), sink(std::move(s)) {}

    // A failed send is not reported: the exchange has no retransmission of its own to drive.
    void send(Ipv4 to, std::span<const std::uint8_t> record) const {
        if (endpoint) {
            (void)endpoint->send({to, kDevicePort}, record);
        }
    }
    void sendRequest(const std::optional<Fixed>& fixed) {
        const SetIpRecord record = fixed ? exchange.requestFixed(fixed->address, fixed->mask, fixed->gateway)
                                         : exchange.requestDhcp();
        send(device.value_or(Ipv4::broadcast()), record);
    }
    void onDatagram(Ipv4 from, std::span<const std::uint8_t> bytes) {
        const auto answered = exchange.onDatagram(bytes);
        if (!answered) {
            return;
        }
        Answer answer{answered->answer, std::nullopt};
        if (answered->acknowledgement) {
            answer.acknowledgement =
                Acknowledgement{*answered->acknowledgement, device ? from : Ipv4::broadcast()};
        }
        if (wait != nullptr) {
            requestAnswer = answer;
            wait->cancel(); // request() acknowledges it
        } else if (sink) {
            sink(answer);
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

    EndpointFactory& endpoints;
    SetIpExchange& exchange;
    AnswerSink sink;
    std::shared_ptr<Endpoint> endpoint; // shared with its reader
    std::optional<Ipv4> device;         // where requests go by unicast; none: the broadcast address
    Timer* wait = nullptr;              // request()'s, while it waits
    std::optional<Answer> requestAnswer;
};

namespace {

using State = SetIpDriver::State;

asio::awaitable<void> reader(std::shared_ptr<State> s, std::shared_ptr<Endpoint> endpoint) {
    std::array<std::uint8_t, kRecordBufferBytes> buffer{};
    while (endpoint->isOpen()) {
        if (const auto got = co_await endpoint->receive(buffer, Clock::time_point::max())) {
            s->onDatagram(got->from.ip, got->bytes);
        }
    }
}

asio::awaitable<std::optional<SetIpAnswer>> requestOn(std::shared_ptr<State> s,
                                                      std::optional<SetIpDriver::Fixed> fixed, int retries,
                                                      std::chrono::milliseconds timeout) {
    s->exchange.numberRequest(s->endpoints.recordNumbers().next());
    s->requestAnswer.reset();
    for (int copy = 0; copy <= retries && s->endpoint && s->endpoint->isOpen(); ++copy) {
        s->sendRequest(fixed);
        Timer timer(s->endpoints.executor(), timeout);
        s->wait = &timer;
        std::error_code ignored;
        co_await timer.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
        s->wait = nullptr;
        if (const auto got = std::exchange(s->requestAnswer, std::nullopt)) {
            if (got->acknowledgement) {
                s->send(got->acknowledgement->to, got->acknowledgement->record);
            }
            co_return got->answer;
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
    state_->sendRequest(fixed);
}

void SetIpDriver::sendDhcp() {
    state_->sendRequest(std::nullopt);
}

void SetIpDriver::acknowledge(const Acknowledgement& acknowledgement) {
    state_->send(acknowledgement.to, acknowledgement.record);
}

asio::awaitable<std::optional<SetIpAnswer>> SetIpDriver::request(std::optional<Fixed> fixed, int retries,
                                                                 std::chrono::milliseconds timeout) {
    return requestOn(state_, fixed, retries, timeout);
}

} // namespace fw::engine
