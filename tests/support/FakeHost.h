// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The recording fake of the host, for the window's and the command-line program's tests (no Qt).

#include "platform/Host.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace fw::test {

// An adapter on a /24 network.
inline AdapterEntry adapterOn24(const char* ip, const char* gateway, MacAddress mac, std::string name,
                                int index) {
    return {Ipv4::parse(ip), Ipv4::parse("255.255.255.0"), Ipv4::parse(gateway), mac, std::move(name), index};
}

// What fakes did to the system, in order; the upgrade flushes from the engine's thread, the window
// from its own.
class CallLog {
public:
    void record(std::string call) {
        const std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    std::vector<std::string> list() const {
        const std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

// The facts a test sets, one eth0 (10.0.0.1/24) by default; a flush is recorded as "flush IP".
class FakeHost final : public Host {
public:
    FakeHost() : log_(own_) {
        addAdapter(adapterOn24("10.0.0.1", "10.0.0.254", {2, 0, 0, 0, 0, 1}, "eth0", 2));
    }
    explicit FakeHost(CallLog& log) : FakeHost() { log_ = log; }
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    // The entries as adapters every rule searches on, in this order; none: no adapter at all.
    void useAdapters(const AdapterTable& table) {
        listing.adapters.clear();
        for (const AdapterEntry& e : table) {
            addAdapter(e);
        }
    }
    void addAdapter(const AdapterEntry& e) {
        listing.adapters.push_back(
            {"", e.ip, e.mask, e.gateway, e.mac, e.interfaceName, e.interfaceIndex, {}, 0, e.moreAddresses});
    }
    // What the log holds: the flushes, and what else was recorded there.
    std::vector<std::string> calls() const { return log_.get().list(); }

    AdapterListing readAdapters() override { return listing; }
    void flushNeighbour(Ipv4 ip) override { log_.get().record("flush " + ip.toString()); }
    HostSystem hostSystem() override { return HostSystem::Linux; }
    std::optional<ReversePathFilter> reversePathFilter(const std::string&) override { return std::nullopt; }
    bool arpFluxGuarded(const std::string&) override { return true; }
    PortCheck checkPort(const AdapterFacts&, std::uint16_t) override { return {PortState::Free, {}, {}}; }
    FirewallFacts firewall() override { return {FirewallCheck::Checked, {}, false}; }
    bool hasRoute(Ipv4) override { return true; }
    Result<std::unique_ptr<WireTap>, std::error_code> openWireTap(int, std::uint16_t) override {
        return Failure{std::make_error_code(std::errc::not_supported)};
    }

    AdapterListing listing{true, ListingPath::Main, {}};

private:
    CallLog own_;
    std::reference_wrapper<CallLog> log_;
};

} // namespace fw::test
