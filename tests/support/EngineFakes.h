// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The engine's endpoints without sockets, on a test's io_context: every datagram sent is recorded,
// a test delivers datagrams to an open endpoint by its local address and port, a bind can be
// refused with a chosen error, and routes are a table of /24s.

#include "engine/EndpointFactory.h"

#include <algorithm>
#include <asio/io_context.hpp>
#include <asio/redirect_error.hpp>
#include <asio/use_awaitable.hpp>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fw::test {

class FakeEndpoints final : public engine::EndpointFactory {
public:
    struct Sent {
        UdpAddress from; // the endpoint's local address and port
        UdpAddress to;
        std::vector<std::uint8_t> bytes;
        engine::Clock::time_point at{};
    };

    explicit FakeEndpoints(asio::io_context& context) : context_(context) {}

    asio::any_io_executor executor() override { return context_.get_executor(); }
    engine::EndpointResult bindToAdapter(const AdapterEntry& adapter, std::uint16_t port) override {
        return bind(adapter.interfaceName, adapter.ip.value_or(Ipv4::any()), port);
    }
    engine::EndpointResult bindToAddress(Ipv4 local, std::uint16_t port) override {
        return bind(local.toString(), local, port);
    }
    std::optional<Ipv4> routeSource(Ipv4 to) override {
        const auto r = routes.find(to.toHostOrder() >> 8);
        return r == routes.end() ? std::nullopt : std::optional(r->second);
    }
    RecordNumbers& recordNumbers() override { return numbers; }

    // To the open endpoint bound to local:port; false when there is none.
    bool deliver(UdpAddress local, UdpAddress from, std::vector<std::uint8_t> bytes) {
        for (const auto& link : links_) {
            if (link->open && link->local == local) {
                link->inbox.push_back({from, std::move(bytes)});
                link->wake.cancel();
                return true;
            }
        }
        return false;
    }
    std::size_t openCount() const {
        return static_cast<std::size_t>(
            std::count_if(links_.begin(), links_.end(), [](const auto& l) { return l->open; }));
    }

    std::vector<Sent> sent;
    std::function<void(const Sent&)> onSend; // simulated devices answer from here
    // Binds refused, by interface name (bindToAdapter) or dotted address (bindToAddress) and port.
    std::map<std::pair<std::string, std::uint16_t>, SocketError> refuse;
    int bindCount = 0;
    RecordNumbers numbers; // from 1, so that tests know the numbers
    // The source address of the route to each /24 (its first three bytes, host order); none: no route.
    std::map<std::uint32_t, Ipv4> routes;
    // A sender that never pauses: until `until`, an endpoint bound at `local` (later) finds this
    // datagram waiting whenever its inbox is empty.
    struct Flood {
        UdpAddress local;
        UdpAddress from;
        std::vector<std::uint8_t> bytes;
        engine::Clock::time_point until;
    };
    std::optional<Flood> flood;

private:
    struct Link {
        explicit Link(asio::io_context& c) : wake(c) {}
        UdpAddress local;
        bool open = true;
        std::deque<std::pair<UdpAddress, std::vector<std::uint8_t>>> inbox;
        engine::Timer wake;
        std::optional<Flood> flood;
    };

    class Endpoint final : public engine::Endpoint {
    public:
        Endpoint(FakeEndpoints& owner, std::shared_ptr<Link> link) : owner_(owner), link_(std::move(link)) {}
        ~Endpoint() override { close(); }
        Status<SocketError> send(UdpAddress to, std::span<const std::uint8_t> bytes) override {
            if (!link_->open) {
                return Failure{SocketError::from(std::make_error_code(std::errc::bad_file_descriptor))};
            }
            owner_.sent.push_back({link_->local, to, {bytes.begin(), bytes.end()}, engine::Clock::now()});
            if (owner_.onSend) {
                owner_.onSend(Sent(owner_.sent.back())); // a copy: an answer may send in turn
            }
            return Done{};
        }
        asio::awaitable<std::optional<engine::Received>>
        receive(std::span<std::uint8_t> buffer, engine::Clock::time_point deadline) override {
            return take(link_, buffer, deadline);
        }
        void close() override {
            link_->open = false;
            link_->wake.cancel();
        }
        bool isOpen() const override { return link_->open; }
        Ipv4 localAddress() const override { return link_->local.ip; }
        std::uint16_t localPort() const override { return link_->open ? link_->local.port : 0; }

    private:
        static asio::awaitable<std::optional<engine::Received>>
        take(std::shared_ptr<Link> link, std::span<std::uint8_t> buffer, engine::Clock::time_point deadline) {
            if (link->open && link->inbox.empty() && link->flood &&
                engine::Clock::now() < link->flood->until) {
                link->inbox.emplace_back(link->flood->from, link->flood->bytes);
            }
            while (link->open && link->inbox.empty() && engine::Clock::now() < deadline) {
                link->wake.expires_at(deadline);
                std::error_code ignored;
                co_await link->wake.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
            }
            if (!link->open || link->inbox.empty()) {
                co_return std::nullopt;
            }
            auto [from, bytes] = std::move(link->inbox.front());
            link->inbox.pop_front();
            const std::size_t n = std::min(bytes.size(), buffer.size());
            std::copy_n(bytes.begin(), n, buffer.begin());
            co_return engine::Received{from, buffer.first(n)};
        }
        FakeEndpoints& owner_;
        std::shared_ptr<Link> link_;
    };

    engine::EndpointResult bind(const std::string& name, Ipv4 ip, std::uint16_t port) {
        ++bindCount;
        if (const auto r = refuse.find({name, port}); r != refuse.end()) {
            return Failure{r->second};
        }
        auto link = std::make_shared<Link>(context_);
        link->local = {ip, port == 0 ? std::uint16_t{50000} : port};
        if (flood && flood->local == link->local) {
            link->flood = flood;
        }
        links_.push_back(link);
        return std::unique_ptr<engine::Endpoint>(new Endpoint(*this, std::move(link)));
    }

    asio::io_context& context_;
    std::vector<std::shared_ptr<Link>> links_;
};

} // namespace fw::test
