// SPDX-License-Identifier: GPL-3.0-or-later
#include "discovery/TargetSet.h"

#include "discovery/SweepPacer.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

using E = TargetError;
using namespace std::chrono_literals;

Ipv4 ip(const char* text) {
    return *Ipv4::parse(text);
}

const AdapterTable kLan{{ip("192.168.1.10"), ip("255.255.255.0"), Ipv4::any(), {}, "eth0", 2}};

Result<TargetSet, std::vector<TargetProblem>> setOf(std::vector<const char*> texts, bool force = false) {
    std::vector<Target> targets;
    for (const char* t : texts) {
        targets.push_back({*parseTarget(t), 0, t});
    }
    return TargetSet::make(targets, kLan, force);
}

TEST(TargetSet, ParsesAddressesBlocksAndRanges) {
    const std::vector<std::tuple<const char*, const char*, const char*>> good{
        {" 10.0.0.7 ", "10.0.0.7", "10.0.0.7"},
        {"10.0.0.0/30", "10.0.0.0", "10.0.0.3"},
        {"0.0.0.0/0", "0.0.0.0", "255.255.255.255"},
        {"10.0.0.9 - 10.0.1.2", "10.0.0.9", "10.0.1.2"}};
    for (const auto& [text, first, last] : good) {
        EXPECT_EQ(parseTarget(text).value(), (Ipv4Range{ip(first), ip(last)})) << text;
    }
    const std::vector<std::pair<const char*, E>> bad{
        {"10.1.2.0/16", E::HostBits},   {"10.0.0.0/33", E::BadPrefix},      {"10.0.0.0/", E::BadSyntax},
        {"10.0.0.0/123", E::BadPrefix}, {"10.77.3.0/024", E::PrefixZero},   {"10.0.0.0/2x", E::BadSyntax},
        {"10.0.0.0/-8", E::BadSyntax},  {"10.0.0.5-10.0.0.1", E::Reversed}, {"10.0.0.1-", E::BadSyntax},
        {"gw.example", E::BadSyntax}};
    for (const auto& [text, error] : bad) {
        EXPECT_EQ(parseTarget(text).error(), error) << text;
    }
}

TEST(TargetSet, RefusesWhatNoDeviceAnswersFromButSweepsTheOwnSubnet) {
    const std::vector<std::pair<const char*, std::optional<E>>> cases{
        {"127.0.0.1", E::Loopback},
        {"0.1.2.3", E::ThisNetwork},
        {"223.255.255.255-224.0.0.0", E::Multicast},
        {"255.255.255.255", E::LimitedBroadcast},
        {"192.168.1.0", E::SubnetNetwork},
        {"192.168.1.255/32", E::SubnetBroadcast},
        {"192.168.1.0/24", std::nullopt},
        {"10.0.0.255", std::nullopt}};
    for (const auto& [text, error] : cases) {
        const auto set = setOf({text});
        EXPECT_EQ(set ? std::nullopt : std::optional(set.error().at(0).error), error) << text;
    }
}

TEST(TargetSet, MergesOverlapsAndSkipsTheSubnetsEnds) {
    auto set = setOf({"192.168.2.2", "192.168.1.250-192.168.2.1", "192.168.1.0/24", "192.168.1.7"}).value();
    EXPECT_EQ(set.ranges(), (std::vector<Ipv4Range>{{ip("192.168.1.0"), ip("192.168.2.2")}}));
    std::vector<Ipv4> given;
    while (const auto a = set.next()) {
        given.push_back(*a);
    }
    ASSERT_EQ(given.size(), 257u); // 259 covered, .0 and .255 of the adapter's /24 skipped
    EXPECT_EQ(given.front(), ip("192.168.1.1"));
    EXPECT_EQ(given[254], ip("192.168.2.0"));
    EXPECT_EQ(set.left(), 0u);
}

TEST(TargetSet, CapsARunAtASlash12UnlessForced) {
    EXPECT_TRUE(setOf({"10.0.0.0/12", "10.1.0.0/16"})); // an overlap is not counted twice
    EXPECT_EQ(setOf({"10.0.0.0/12", "10.16.0.0"}).error(),
              (std::vector{TargetProblem{E::TooLarge, 0, {}, 1048577}}));
    EXPECT_TRUE(setOf({"10.0.0.0/8"}, true));
}

// A byte order mark is no part of line 1, and a bad line hides neither the other bad lines nor the
// refusals of the good ones.
TEST(TargetSet, FileReportsEveryProblemWithItsLine) {
    const TargetList list = parseTargetList("\xEF\xBB\xBF"
                                            "10.0.0.1  # gw\n\n10.0.0.0/33 # typo\r\n127.0.0.1\nrouter\n");
    EXPECT_EQ(list.targets, (std::vector<Target>{{{ip("10.0.0.1"), ip("10.0.0.1")}, 1, "10.0.0.1"},
                                                 {{ip("127.0.0.1"), ip("127.0.0.1")}, 4, "127.0.0.1"}}));
    EXPECT_EQ(list.problems,
              (std::vector<TargetProblem>{{E::BadPrefix, 3, "10.0.0.0/33"}, {E::BadSyntax, 5, "router"}}));
    EXPECT_EQ(TargetSet::make(list.targets, kLan, true).error(),
              (std::vector<TargetProblem>{{E::Loopback, 4, "127.0.0.1"}}));
}

TEST(SweepPacer, KeepsTheRateExactlyOverVirtualTime) {
    const SweepPacer::Clock::time_point t0{};
    for (const auto& [rate, total, lastAt] :
         std::vector<std::tuple<int, std::uint64_t, std::chrono::nanoseconds>>{{2000, 65536, 32767500us},
                                                                               {3, 31, 10s}}) {
        SweepPacer pacer(rate, 3000ms, t0);
        auto now = t0;
        std::uint64_t sent = pacer.take(now, total);
        while (sent < total) {
            now = pacer.nextSend();
            sent += pacer.take(now, total - sent);
        }
        EXPECT_EQ(now - t0, lastAt) << rate;
        EXPECT_EQ(pacer.quietAt(), now + 3s);
    }
}

TEST(SweepPacer, CatchesUpALateWakeButNotAStall) {
    const SweepPacer::Clock::time_point t0{};
    SweepPacer pacer(2000, 1000ms, t0);
    EXPECT_EQ(pacer.take(t0, 100), 1u);
    EXPECT_EQ(pacer.take(t0 + 5ms, 100), 10u);    // requests 1..10, all due by 5 ms
    EXPECT_EQ(pacer.take(t0 + 5s, 100'000), 20u); // one burst (10 ms), not 5 s worth
    EXPECT_EQ(pacer.nextSend(), t0 + 5s + 500us);
    for (auto t = t0 + 5s; t < t0 + 8s; t += 1ms) {
        pacer.take(t, 100);
    }
    EXPECT_NEAR(static_cast<double>(pacer.inFlight(t0 + 8s)), 2000.0, 2000.0 / 16 + 2);
}

} // namespace
} // namespace fw
