// SPDX-License-Identifier: GPL-3.0-or-later
// watch from argv to its end by SIGINT, over simulated devices in virtual time.
#include "support/CommandRig.h"

#include <csignal>
#include <nlohmann/json.hpp>
#include <sstream>

namespace fw::test {
namespace {

TEST(WatchCommand, AppearChangeGoneAndDuplicateAddressEachOnce) {
    CommandRig rig;
    rig.add(5, "10.77.1.30");
    rig.add(1, "10.77.1.10");
    rig.add(2, "10.77.1.11");
    // Two devices on one address: a single search would list only the first to answer.
    rig.add(3, "10.77.2.20", CommandRig::kEth1);
    rig.add(4, "10.77.2.20", CommandRig::kEth1);
    // 05 falls silent and 02 takes its address while 05 is still known: a replacement, no conflict.
    rig.at(Ms{2500}, [&] {
        rig.devices[0].silent = true;
        rig.devices[2].ip = *Ipv4::parse("10.77.1.30");
    });
    // eth1 gets another address: the devices behind it answer there, with no change of theirs.
    rig.at(Ms{5500}, [&] {
        rig.host.listing.adapters[1].ip = Ipv4{{10, 77, 2, 5}};
        rig.devices[3].adapter = rig.devices[4].adapter = Ipv4{{10, 77, 2, 5}};
    });
    rig.at(Ms{8500}, [&] { rig.devices[3].silent = rig.devices[4].silent = true; });
    rig.at(Ms{16500}, [] { std::raise(SIGINT); }); // two searches after the last gone: nothing said again
    const auto r = rig.run({"watch", "--interval", "1", "--missed", "4", "--format", "jsonl"});
    EXPECT_EQ(r.status, cli::ExitStatus::Ok) << r.err;

    std::map<std::string, std::vector<nlohmann::json>> events;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        const auto e = nlohmann::json::parse(line);
        events[e["event"]].push_back(e);
    }
    const std::map<std::string, std::size_t> expected{
        {"appeared", 5}, {"duplicate-ip", 1}, {"changed", 1}, {"adapter-changed", 1}, {"gone", 3}};
    std::map<std::string, std::size_t> counts;
    for (const auto& [kind, list] : events) {
        counts[kind] = list.size();
    }
    ASSERT_EQ(counts, expected) << r.out;
    EXPECT_EQ(events["changed"][0]["changes"],
              nlohmann::json::parse(R"({"ip": {"old": "10.77.1.11", "new": "10.77.1.30"}})"));
    EXPECT_EQ(events["adapter-changed"][0]["adapter"], "eth1");
    EXPECT_EQ(events["adapter-changed"][0]["ip"],
              nlohmann::json::parse(R"({"old": "10.77.2.1", "new": "10.77.2.5"})"));
    for (const auto& e : events["gone"]) { // gone names the adapter, never an old address of it
        EXPECT_TRUE(e["device"]["adapter"].get<std::string>().starts_with("eth")) << e;
    }
    const auto& dup = events["duplicate-ip"][0];
    EXPECT_TRUE(dup["ip"] == "10.77.2.20" && dup["adapter"] == "eth1" && dup["devices"].size() == 2) << dup;
    EXPECT_TRUE(events["appeared"][0]["time"].get<std::string>().ends_with('Z'));
}

} // namespace
} // namespace fw::test
