// SPDX-License-Identifier: GPL-3.0-or-later
#include "discovery/SearchCycle.h"

#include "setip/SetIpExchange.h"
#include "support/CoreFakes.h"
#include "support/FakeHost.h"

#include <gtest/gtest.h>

#include <string>

namespace fw {
namespace {

// The cycle's view and owner: keeps its messages and the tables it hands back.
struct Messages final : SearchCycle::View, SearchCycle::Events {
    void startCountdown() override {}
    void showMessage(const Message& m) override { shown.push_back(m.text); }
    AdapterListing readAdapters() override { return host.readAdapters(); }
    void searchStarted(SearchCycle::Adapters a) override { adapters = std::move(a); }
    void rowsAdded(int) override {}
    void searchFinished() override {}
    void adapterFailure(AdapterOutcome) override {}
    test::FakeHost host;
    std::vector<std::string> shown;
    SearchCycle::Adapters adapters;
};

// Hyper-V, VPN and container adapters easily come before the one the devices are on.
TEST(SearchCycle, SearchesEveryAdapterAndSetIpFindsTheLast) {
    test::FakeJob<SearchJob> port;
    Messages view;
    AdapterTable adapters;
    for (int i = 1; i <= 150; ++i) {
        const std::string ip = "10." + std::to_string(i) + ".0.1";
        adapters.push_back(test::adapterOn24(ip.c_str(), "0.0.0.0", {2, 0, 0, 0, 0, std::uint8_t(i)},
                                             "vEthernet" + std::to_string(i), i + 1));
    }
    view.host.useAdapters(adapters);
    test::ListRows rows;
    SearchCycle cycle(port, rows, view, view);
    cycle.search();
    ASSERT_EQ(port.requests.at(0).adapters.size(), 150u);
    EXPECT_EQ(port.requests[0].adapters.back().interfaceName, "vEthernet150");
    const Ipv4 last = *adapters.back().ip;
    port.handlers.events({DeviceRow{"AP", *Ipv4::parse("10.150.0.9"), "", 6, false, {}, {}, last}});
    ASSERT_EQ(rows.count(), 1);
    EXPECT_EQ(SetIpExchange{}.open(view.adapters.searched, last, 0, {}), 149);
    EXPECT_TRUE(view.shown.empty());
}

} // namespace
} // namespace fw
