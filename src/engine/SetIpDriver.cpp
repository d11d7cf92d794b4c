// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SetIpDriver.h"

#include "common/RecordHeader.h"

#include <array>
#include <asio/redirect_error.hpp>
#include <asio/use_awaitable.hpp>
#include <utility>

namespace fw::engine {

struct SetIpDriver::Session {
    void send(Ipv4 to, std::span<const std::uint8_t> record) const {
        if (endpoint) {
            (void)endpoint->send({to, kDevicePort}, record);
        }
    }
    void number() { exchange.numberRequest(endpoints.recordNumbers().next()); }
    void sendRequest(const std::optional<FixedAddress>& fixed) {
        const SetIpRecord record = fixed ? exchange.requestFixed(fixed->address, fixed->mask, fixed->gateway)
                                         : exchange.requestDhcp();
        send(device.value_or(Ipv4::broadcast()), record);
    }
    std::optional<SetIpJob::Answer> onDatagram(Ipv4 from, std::span<const std::uint8_t> bytes) {
        const auto answered = exchange.onDatagram(bytes);
        if (!answered) {
            return std::nullopt;
        }
        SetIpJob::Answer answer{answered->answer, std::nullopt};
        if (answered->acknowledgement) {
            answer.acknowledgement =
                SetIpJob::Acknowledgement{*answered->acknowledgement, device ? from : Ipv4::broadcast()};
        }
        return answer;
    }

    EndpointFactory& endpoints;
    SetIpExchange& exchange;
    std::optional<Ipv4> device; // where requests go by unicast; none: the broadcast address
    std::unique_ptr<Endpoint> endpoint;
    std::array<std::uint8_t, kRecordBufferBytes> buffer{};
};

namespace {

using Session = SetIpDriver::Session;

// One request, sent up to retries + 1 times; a done answer is acknowledged at once.
asio::awaitable<std::optional<SetIpAnswer>> once(Session& s, const SetIpJob::Once& request) {
    s.number();
    for (int copy = 0; copy <= request.retries && s.endpoint->isOpen(); ++copy) {
        s.sendRequest(request.fixed);
        const auto deadline = Clock::now() + request.timeout;
        while (const auto got = co_await s.endpoint->receive(s.buffer, deadline)) {
            if (const auto answer = s.onDatagram(got->from.ip, got->bytes)) {
                if (answer->acknowledgement) {
                    s.send(answer->acknowledgement->to, answer->acknowledgement->record);
                }
                co_return answer->answer;
            }
        }
    }
    co_return std::nullopt;
}

// The dialog's session: the answers as they come, until cancelled. Without a socket it only waits.
asio::awaitable<void> session(Session& s, const SetIpDriver::Observer& observer) {
    while (s.endpoint && s.endpoint->isOpen()) {
        if (const auto got = co_await s.endpoint->receive(s.buffer, Clock::time_point::max())) {
            if (const auto answer = s.onDatagram(got->from.ip, got->bytes); answer && observer) {
                observer(*answer);
            }
        }
    }
    Timer never(s.endpoints.executor(), Clock::time_point::max());
    co_await never.async_wait(asio::use_awaitable);
}

asio::awaitable<SetIpJob::Outcome> runOn(EndpointFactory& endpoints, SetIpExchange& exchange,
                                         SetIpDriver::Session*& current, SetIpJob::Request request,
                                         const SetIpDriver::Observer& observer) {
    Session s{endpoints, exchange, request.unicast, nullptr};
    exchange.open(request.adapters, std::nullopt, request.index, request.device);
    SetIpJob::Outcome outcome;
    if (!request.adapters.empty()) {
        auto bound = endpoints.bindToAdapter(request.adapters[static_cast<std::size_t>(request.index)],
                                             kWorkstationPort);
        if (bound) {
            s.endpoint = std::move(*bound);
        } else {
            outcome.bindFailure = bound.error();
        }
    }
    if (request.once) {
        if (s.endpoint) {
            outcome.answer = co_await once(s, *request.once);
        }
        co_return outcome;
    }
    if (outcome.bindFailure && observer) {
        observer(*outcome.bindFailure);
    }
    current = &s;
    const struct Leave {
        SetIpDriver::Session*& current;
        ~Leave() { current = nullptr; }
    } leave{current};
    co_await session(s, observer);
    co_return outcome;
}

} // namespace

SetIpDriver::SetIpDriver(EndpointFactory& endpoints, SetIpExchange& exchange)
    : endpoints_(endpoints), exchange_(exchange) {}

asio::awaitable<SetIpJob::Outcome> SetIpDriver::run(SetIpJob::Request request, const Observer& observer) {
    return runOn(endpoints_, exchange_, session_, std::move(request), observer);
}

void SetIpDriver::command(const SetIpJob::Command& command) {
    if (session_ == nullptr) {
        return;
    }
    Session& s = *session_;
    if (const auto* ack = std::get_if<SetIpJob::Acknowledgement>(&command)) {
        s.send(ack->to, ack->record);
        return;
    }
    s.number();
    if (const auto* send = std::get_if<SetIpJob::Send>(&command)) {
        s.sendRequest(send->fixed);
    }
}

} // namespace fw::engine
