// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's seams: the deadline raced against a receive on a real loopback socket, a port that
// is taken, and the drivers on fake endpoints (a cancelled or refused upload: DownloadTest).
#include "engine/AsioEndpoint.h"
#include "engine/BackCheckDriver.h"
#include "engine/SearchDriver.h"
#include "engine/SetIpDriver.h"
#include "engine/UpgradeDriver.h"
#include "support/EngineFakes.h"
#include "support/FakeHost.h"
#include "support/ReplyBytes.h"
#include "upgrade/TftpPackets.h"

#include <gtest/gtest.h>

#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>

namespace fw::test {
namespace {

using namespace std::chrono_literals;
using engine::AsioEndpoint;
using engine::Clock;
using Kind = SocketError::Kind;

const Ipv4 kLoopback{{127, 0, 0, 1}};

// One receive after another on one endpoint, each with its own deadline; a datagram is sent to it
// `sendAt` after the first began. The results say which receive got it and when each ended.
struct Wait {
    std::chrono::milliseconds deadline; // from the receive's start
    bool gets;                          // takes the datagram
    std::chrono::milliseconds endsBefore;
};
struct DeadlineCase {
    const char* fault;
    std::chrono::milliseconds sendAt;
    std::vector<Wait> waits;
    int datagrams = 1; // sent back to back
};

TEST(Engine, EachReceiveEndsAtItsOwnDeadlineAndLosesNothing) {
    // Generous bounds: each fault makes a wait last to a deadline of a second or more.
    const std::vector<DeadlineCase> cases{
        {"a late answer is lost or taken by the wait that ended",
         150ms,
         {{20ms, false, 140ms}, {1000ms, true, 600ms}}},
        {"a stale short arming cuts the next, longer wait",
         120ms,
         {{10ms, false, 110ms}, {1000ms, true, 600ms}}},
        {"a wait ends at the earlier deadline it was armed for",
         10ms,
         {{2000ms, true, 600ms}, {30ms, false, 600ms}}},
        {"the second of two that came together waits for a signal",
         10ms,
         {{2000ms, true, 600ms}, {2000ms, true, 600ms}, {20ms, false, 600ms}},
         2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        asio::io_context context;
        auto rx = AsioEndpoint::bindToAddress(context, kLoopback, 0);
        auto tx = AsioEndpoint::bindToAddress(context, kLoopback, 0);
        ASSERT_TRUE(rx && tx);
        const UdpAddress to{kLoopback, (*rx)->localPort()};
        engine::Timer sender(context, c.sendAt);
        sender.async_wait([&](std::error_code) {
            for (int i = 0; i < c.datagrams; ++i) {
                (void)(*tx)->send(to, std::array<std::uint8_t, 3>{1, 2, 3});
            }
        });
        std::vector<std::pair<bool, Clock::duration>> got;
        asio::co_spawn(
            context,
            [&]() -> asio::awaitable<void> {
                std::array<std::uint8_t, 16> buffer{};
                for (const Wait& w : c.waits) {
                    const auto start = Clock::now();
                    const auto r = co_await (*rx)->receive(buffer, start + w.deadline);
                    got.emplace_back(r && r->bytes.size() == 3 && r->bytes[2] == 3, Clock::now() - start);
                }
                context.stop(); // the endpoint's timer may still be armed for a deadline met early
            },
            asio::detached);
        context.run();
        ASSERT_EQ(got.size(), c.waits.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].first, c.waits[i].gets) << "wait " << i;
            EXPECT_LT(got[i].second, c.waits[i].endsBefore) << "wait " << i;
            if (!c.waits[i].gets) {
                EXPECT_GE(got[i].second, c.waits[i].deadline) << "wait " << i;
            }
        }
    }
}

TEST(Engine, APortThatIsTakenIsATypedError) {
    asio::io_context context;
    auto first = AsioEndpoint::bindToAddress(context, kLoopback, 0);
    ASSERT_TRUE(first);
    const auto second = AsioEndpoint::bindToAddress(context, kLoopback, (*first)->localPort());
    ASSERT_FALSE(second);
    EXPECT_EQ(second.error().kind, Kind::PortInUse);
#ifndef _WIN32 // Windows ties an endpoint to its adapter by the address, not by the name
    const auto gone =
        AsioEndpoint::bindToAdapter(context, AdapterEntry{kLoopback, {}, {}, {}, "fw-no-such0", 0}, 0);
    ASSERT_FALSE(gone);
    EXPECT_EQ(gone.error().kind, Kind::NoSuchAdapter);
#endif
}

// The one policy for a port another program holds: that adapter is named, the others search on.
TEST(Engine, AnUnbindableAdapterIsNamedAndTheOthersSearch) {
    asio::io_context context;
    FakeEndpoints endpoints(context);
    const AdapterTable adapters{{Ipv4{{10, 1, 0, 1}}, {}, {}, {}, "eth0", 1},
                                {Ipv4{{10, 2, 0, 1}}, {}, {}, {}, "eth1", 2}};
    endpoints.refuse[{"eth1", kWorkstationPort}] =
        SocketError::from(std::make_error_code(std::errc::address_in_use));
    engine::SearchDriver search(endpoints);
    const engine::SearchDriver::Observer none;
    std::optional<SearchJob::Outcome> summary;
    asio::co_spawn(context, search.run({adapters, 100ms, {}, DiscoverySearch::Keying::Sender, {}}, none),
                   [&](std::exception_ptr, auto s) { summary = s; });
    context.run_for(20ms);
    endpoints.deliver({adapters[0].ip.value(), kWorkstationPort}, {Ipv4{{10, 1, 0, 9}}, kDevicePort},
                      replyBytes({}));
    context.run();
    ASSERT_TRUE(summary);
    ASSERT_EQ(summary->started.unbindable.size(), 1U);
    EXPECT_EQ(summary->started.unbindable[0].adapter.interfaceName, "eth1");
    EXPECT_EQ(summary->started.unbindable[0].kind, Kind::PortInUse);
    EXPECT_EQ(summary->started.requestsSent, 1);
    ASSERT_EQ(summary->rows.size(), 1U);
    EXPECT_EQ(summary->rows[0].adapterIp, adapters[0].ip);
    EXPECT_EQ(endpoints.openCount(), 0U);
}

// A routed search without the broadcast uses only the adapters its routes leave by: a port held on
// another one is none of its business, and one held where a route leaves is named.
TEST(Engine, ARoutedSearchNamesOnlyTheHeldPortsItsRoutesUse) {
    const AdapterTable adapters{{Ipv4{{10, 1, 0, 1}}, {}, {}, {}, "eth0", 1},
                                {Ipv4{{10, 2, 0, 1}}, {}, {}, {}, "eth1", 2}};
    for (const auto& [target, unbindable] :
         {std::pair{Ipv4{{10, 9, 0, 5}}, std::vector<std::string>{}},
          std::pair{Ipv4{{10, 8, 0, 5}}, std::vector<std::string>{"eth1"}}}) {
        asio::io_context context;
        FakeEndpoints endpoints(context);
        endpoints.refuse[{"eth1", kWorkstationPort}] =
            SocketError::from(std::make_error_code(std::errc::address_in_use));
        endpoints.routes = {{0x0A0900, adapters[0].ip.value()}, {0x0A0800, adapters[1].ip.value()}};
        const std::vector<Target> targets{{{target, target}, 0, {}}};
        engine::SearchDriver search(endpoints);
        const engine::SearchDriver::Observer none;
        std::optional<SearchJob::Outcome> summary;
        asio::co_spawn(context,
                       search.run({adapters,
                                   10ms,
                                   {},
                                   DiscoverySearch::Keying::Sender,
                                   SearchJob::Sweep{TargetSet::make(targets, adapters, false).value(), 1000}},
                                  none),
                       [&](std::exception_ptr, auto s) { summary = s; });
        context.run();
        ASSERT_TRUE(summary);
        std::vector<std::string> named;
        for (const auto& f : summary->started.unbindable) {
            named.push_back(f.adapter.interfaceName);
        }
        EXPECT_EQ(named, unbindable) << target.toString();
    }
}

// A sweep sends from the endpoint of the adapter its route leaves by, at the pace asked, and skips
// an address routed out of no searched adapter or not at all; the wait counts from its last request.
TEST(Engine, ASweepSendsEachTargetFromItsRoutesAdapterPaced) {
    asio::io_context context;
    FakeEndpoints endpoints(context);
    // eth1 is a VPN's tunnel: the sweep sends through it, the broadcast never does.
    const AdapterTable adapters{{Ipv4{{10, 1, 0, 1}}, {}, {}, {}, "eth0", 1},
                                {Ipv4{{10, 2, 0, 1}}, {}, {}, {}, "wg0", 2, true}};
    endpoints.routes = {
        {0x0A0900, Ipv4{{10, 2, 0, 1}}}, {0x0A0800, Ipv4{{10, 1, 0, 1}}}, {0x0A0700, Ipv4{{10, 3, 0, 1}}}};
    const std::vector<Target> targets{{{Ipv4{{10, 9, 0, 0}}, Ipv4{{10, 9, 0, 255}}}, 0, {}},
                                      {{Ipv4{{10, 8, 0, 5}}, Ipv4{{10, 8, 0, 5}}}, 0, {}},
                                      {{Ipv4{{10, 7, 0, 1}}, Ipv4{{10, 7, 0, 1}}}, 0, {}},
                                      {{Ipv4{{10, 6, 0, 1}}, Ipv4{{10, 6, 0, 1}}}, 0, {}}};
    engine::SearchDriver search(endpoints);
    const engine::SearchDriver::Observer none;
    std::optional<SearchJob::Outcome> summary;
    const auto start = Clock::now();
    asio::co_spawn(
        context,
        search.run({adapters,
                    50ms,
                    {},
                    DiscoverySearch::Keying::Sender,
                    SearchJob::Sweep{TargetSet::make(targets, adapters, false).value(), 1000, true}},
                   none),
        [&](std::exception_ptr, auto s) { summary = s; });
    context.run_for(30ms);
    endpoints.deliver({adapters[1].ip.value(), kWorkstationPort}, {Ipv4{{10, 9, 0, 7}}, kDevicePort},
                      replyBytes({}));
    context.run();
    ASSERT_TRUE(summary);
    EXPECT_GE(Clock::now() - start, 250ms + 50ms); // 257 requests at 1000 a second, then the wait
    EXPECT_EQ(summary->started.requestsSent, 1);   // eth0's broadcast, asked for; none on the tunnel
    EXPECT_EQ(summary->swept.sent, 257U);
    EXPECT_EQ(summary->swept.notSearched, 1U);
    EXPECT_EQ(summary->swept.noRoute, 1U);
    ASSERT_EQ(endpoints.sent.size(), 258U);
    EXPECT_EQ(endpoints.sent[0].to.ip, Ipv4::broadcast());
    EXPECT_EQ(endpoints.sent[0].from.ip, adapters[0].ip);
    for (const auto& sent : std::span(endpoints.sent).subspan(1)) {
        EXPECT_EQ(sent.to.port, kDevicePort);
        EXPECT_EQ(sent.from.ip, sent.to.ip.toHostOrder() >> 8 == 0x0A0900 ? adapters[1].ip : adapters[0].ip);
    }
    ASSERT_EQ(summary->rows.size(), 1U);
    EXPECT_EQ(summary->rows[0].ip, (Ipv4{{10, 9, 0, 7}}));
    EXPECT_EQ(summary->rows[0].adapterIp, adapters[1].ip);
}

// A sender that keeps port 14321 busy (a datagram always waiting) must not hold off the upload's
// timer: the first write request still leaves one second after the start.
TEST(EngineUpgrade, AStreamOfStraysDoesNotHoldOffTheTimer) {
    asio::io_context context;
    FakeEndpoints endpoints{context};
    UploadCarryOver carry;
    FakeHost host;
    engine::UpgradeDriver driver{endpoints, host, carry};
    const engine::UpgradeDriver::Observer unheard;
    const auto begun = Clock::now();
    endpoints.flood = FakeEndpoints::Flood{
        {Ipv4{{10, 0, 0, 1}}, kTftpLocalPort}, {Ipv4{{10, 0, 0, 66}}, 5000}, {0, 5, 0, 0, 0}, begun + 1500ms};
    asio::co_spawn(
        context,
        driver.run({Ipv4{{10, 0, 0, 9}}, Ipv4{{10, 0, 0, 1}}, std::vector<std::uint8_t>(600, 7)}, unheard),
        asio::detached);
    context.run_for(1700ms);
    const auto wrq = std::find_if(endpoints.sent.begin(), endpoints.sent.end(),
                                  [](const auto& s) { return s.to.port == kTftpDevicePort; });
    ASSERT_NE(wrq, endpoints.sent.end());
    EXPECT_LT(wrq->at - begun, 1300ms);
}

// A device behind a router gets the request at its address and answers from its new one, where
// the acknowledgement then goes.
TEST(Engine, SetIpByUnicastAcknowledgesWhereTheAnswerCameFrom) {
    asio::io_context context;
    FakeEndpoints endpoints(context);
    const AdapterEntry adapter{Ipv4{{10, 1, 0, 1}}, {}, {}, {}, "eth0", 1};
    const UdpAddress old{Ipv4{{10, 9, 0, 5}}, kDevicePort}, moved{Ipv4{{10, 9, 0, 6}}, kDevicePort};
    SetIpExchange exchange;
    engine::SetIpDriver driver(endpoints, exchange);
    const engine::SetIpDriver::Observer unheard;
    asio::co_spawn(context,
                   driver.run({{adapter}, 0, MacAddress{}, old.ip, SetIpJob::Once{{}, 0, 200ms}}, unheard),
                   asio::detached);
    context.run_for(20ms);
    std::vector<std::uint8_t> ok(endpoints.sent.at(0).bytes.begin(), endpoints.sent.at(0).bytes.end());
    ok[21] = 0; // done
    endpoints.deliver({adapter.ip.value(), kWorkstationPort}, moved, ok);
    context.run_for(20ms);
    ASSERT_EQ(endpoints.sent.size(), 2U);
    EXPECT_EQ(endpoints.sent[0].to, old);
    EXPECT_EQ(endpoints.sent[1].to, moved);
}

// Set IP to a slow device, given up on, then to a silent one (in one run, as a window's two
// openings or a plan's rows): the slow device's late answer to the first request, and an answer of
// it that carries the second request's number (from an earlier run that used it), are not the
// silent device's answer. Only the device named in the request is answered.
TEST(Engine, SetIpTakesOnlyTheNamedDevicesAnswerToTheLatestRequest) {
    asio::io_context context;
    FakeEndpoints endpoints(context);
    const AdapterEntry adapter{Ipv4{{10, 1, 0, 1}}, {}, {}, {2, 0, 0, 0, 0, 1}, "eth0", 1};
    const MacAddress slow{0x00, 0x0A, 0x1B, 0, 0, 1}, silent{0x00, 0x0A, 0x1B, 0, 0, 2};
    const UdpAddress slowAt{Ipv4{{10, 1, 0, 7}}, kDevicePort}, silentAt{Ipv4{{10, 1, 0, 8}}, kDevicePort};
    const UdpAddress port{*adapter.ip, kWorkstationPort};
    // A device answers with the head of the request (its number and the MAC it names), result 0.
    const auto answer = [](std::vector<std::uint8_t> request, const MacAddress& mac) {
        request[4] = 0x21, request[21] = 0;
        std::copy(mac.begin(), mac.end(), request.begin() + 8);
        return request;
    };
    // Given up after 150 ms; the last exchange waits longer, so that a loaded machine (wine under a
    // build) cannot time it out before the answer delivered to it is read. It ends with the answer.
    const auto exchangeWith = [&](const MacAddress& mac, const std::function<void()>& meanwhile,
                                  std::chrono::milliseconds timeout = 150ms) {
        SetIpExchange exchange;
        engine::SetIpDriver driver(endpoints, exchange);
        const engine::SetIpDriver::Observer unheard;
        std::optional<std::optional<SetIpAnswer>> got;
        asio::co_spawn(context, driver.run({{adapter}, 0, mac, {}, SetIpJob::Once{{}, 0, timeout}}, unheard),
                       [&](std::exception_ptr, const SetIpJob::Outcome& o) {
                           EXPECT_FALSE(o.bindFailure);
                           got = o.answer;
                       });
        context.run_for(20ms);
        meanwhile();
        const auto until = std::chrono::steady_clock::now() + timeout + 50ms;
        while (!got && context.run_one_until(until) > 0) {
        }
        context.poll();
        context.restart();
        return got.value_or(std::nullopt);
    };

    EXPECT_FALSE(exchangeWith(slow, [] {}));
    const auto first = endpoints.sent.at(0).bytes;
    const auto late = exchangeWith(silent, [&] {
        const auto second = endpoints.sent.at(1).bytes;
        endpoints.deliver(port, slowAt, answer(first, slow));
        endpoints.deliver(port, slowAt, answer(second, slow));
    });
    EXPECT_FALSE(late) << "another device's answer was taken";
    EXPECT_EQ(endpoints.sent.size(), 2U) << "an acknowledgement went to the wrong device";

    const auto own = exchangeWith(
        silent, [&] { endpoints.deliver(port, silentAt, answer(endpoints.sent.at(2).bytes, silent)); }, 5s);
    ASSERT_TRUE(own);
    EXPECT_EQ(own->result, SetIpResult::Done);
    ASSERT_EQ(endpoints.sent.size(), 4U);
    EXPECT_EQ(endpoints.sent[3].bytes[4], 0xA0);
}

// A device that answers every search only after that search has ended, and never restarts: each
// answer carries the number of the search before, which the next search must not take. Were it
// taken, the device would look as if it had gone silent and come back: done.
TEST(Engine, ALateReplyToOneSearchIsNotTakenByTheNext) {
    asio::io_context context;
    FakeEndpoints endpoints(context);
    const AdapterEntry adapter{Ipv4{{10, 1, 0, 1}}, {}, {}, {2, 0, 0, 0, 0, 1}, "eth0", 1};
    const test::ReplyFields device{};
    const MacAddress mac{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
    engine::BackCheckDriver check(endpoints);
    std::optional<engine::BackCheckDriver::Outcome> outcome;
    bool ended = false;
    asio::co_spawn(
        context, check.run({adapter}, mac, true, {.backTimeout = 900ms, .searchWait = 100ms, .pause = 20ms}),
        [&](std::exception_ptr, std::optional<engine::BackCheckDriver::Outcome> o) {
            outcome = o;
            ended = true;
        });
    // Each request is answered 150 ms after it left: by then the next search listens.
    std::size_t answered = 0;
    engine::Timer poll(context);
    std::function<void()> answerLate = [&] {
        for (; answered < endpoints.sent.size(); ++answered) {
            test::ReplyFields fields = device;
            const auto& request = endpoints.sent[answered].bytes;
            fields.sequence = static_cast<std::int16_t>(request[6] << 8 | request[7]);
            auto later = std::make_shared<engine::Timer>(context, 150ms);
            later->async_wait([&, later, fields](std::error_code) {
                endpoints.deliver({*adapter.ip, kWorkstationPort}, {Ipv4{{10, 1, 0, 7}}, kDevicePort},
                                  test::replyBytes(fields));
            });
        }
        if (!ended) {
            poll.expires_after(5ms);
            poll.async_wait([&](std::error_code) { answerLate(); });
        }
    };
    answerLate();
    context.run_for(2s);
    ASSERT_TRUE(ended && outcome);
    EXPECT_GE(answered, 3U);
    EXPECT_EQ(outcome->state, RolloutState::NotBack);
}

} // namespace
} // namespace fw::test
