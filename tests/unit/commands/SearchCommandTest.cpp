// SPDX-License-Identifier: GPL-3.0-or-later
// search from argv to its exit status, over simulated devices in virtual time.
#include "support/CommandRig.h"

#include <nlohmann/json.hpp>

namespace fw::test {
namespace {

// Hyper-V, VPN and container adapters easily come before the one the devices are on.
TEST(SearchCommand, SearchesEveryAdapterUnasked) {
    CommandRig rig;
    rig.host.listing.adapters.clear();
    for (int i = 1; i <= 150; ++i) {
        const std::string name = "veth" + std::to_string(i);
        rig.host.listing.adapters.push_back({name,
                                             Ipv4{{10, 100, std::uint8_t(i), 1}},
                                             Ipv4{{255, 255, 255, 0}},
                                             {},
                                             MacAddress{2, 0xFE, 0, 0, 0, std::uint8_t(i)},
                                             name,
                                             i + 1,
                                             LinkFlags{true, false, false}});
    }
    rig.add(7, "10.100.150.20", Ipv4{{10, 100, 150, 1}});
    const auto r = rig.run({"search", "--format", "json"});
    EXPECT_EQ(r.status, cli::ExitStatus::Ok) << r.err;
    EXPECT_EQ(r.err, "");
    const auto devices = nlohmann::json::parse(r.out);
    ASSERT_EQ(devices.size(), 1u) << r.out;
    EXPECT_EQ(devices[0]["adapter"], "veth150");
    EXPECT_EQ(devices[0]["ip"], "10.100.150.20");
}

} // namespace
} // namespace fw::test
