#include "discovery/core/SearchCountdown.h"
#include "discovery/core/DiscoverySearch.h"

#include "unit/discovery/ReplyBytes.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>

namespace fw {
namespace {

using namespace std::chrono_literals;
using ms = std::chrono::milliseconds;

// Virtual time: the countdown's step timer and scheduled events (replies, clicks) run in time order.
class VirtualDialog final : public SearchCountdown::Io {
public:
    void showProgress(int value) override { shown.emplace_back(now, value); }
    void waitStep(ms interval) override { due = now + interval; }
    void finish() override {
        due.reset();
        closedAt = now;
    }

    void at(ms when, std::function<void()> f) { events.emplace(when, std::move(f)); }
    void runUntil(ms end) {
        while (true) {
            const ms next =
                std::min(due.value_or(ms::max()), events.empty() ? ms::max() : events.begin()->first);
            if (next > end) {
                now = end;
                return;
            }
            now = next;
            if (!events.empty() && events.begin()->first == next) {
                auto f = std::move(events.begin()->second);
                events.erase(events.begin());
                f();
            } else {
                due.reset();
                countdown.onStepElapsed();
            }
        }
    }

    ms now{0};
    std::optional<ms> due;
    std::optional<ms> closedAt;
    std::vector<std::pair<ms, int>> shown;
    std::multimap<ms, std::function<void()>> events;
    SearchCountdown countdown{*this};
};

TEST(SearchCountdown, FifteenStepsOfTwoHundredMillisecondsWithTheBarFullInTheLast) {
    VirtualDialog d;
    d.countdown.start();
    EXPECT_TRUE(d.countdown.running());
    d.runUntil(10s);
    ASSERT_EQ(d.shown.size(), 15u);
    for (int i = 0; i < 15; ++i) {
        EXPECT_EQ(d.shown[i], std::make_pair(ms(200 * i), i));
    }
    EXPECT_EQ(d.closedAt, ms(3000));
    EXPECT_FALSE(d.countdown.running());
    EXPECT_FALSE(d.countdown.cancelled());
}

TEST(SearchCountdown, CancelIsSeenAtTheNextStep) {
    struct Case {
        ms cancelAt;
        ms closedAt;
        std::size_t stepsShown;
    };
    const Case cases[] = {
        {0ms, 200ms, 1},     // during the first step
        {150ms, 200ms, 1},   //
        {200ms, 200ms, 1},   // before the step's timer at the same instant (event order)
        {2950ms, 3000ms, 15} // during the last step: ends as it would have anyway
    };
    for (const auto& c : cases) {
        VirtualDialog d;
        d.at(c.cancelAt, [&d] { d.countdown.cancel(); });
        d.countdown.start();
        d.runUntil(10s);
        EXPECT_EQ(d.closedAt, c.closedAt) << c.cancelAt.count();
        EXPECT_EQ(d.shown.size(), c.stepsShown) << c.cancelAt.count();
    }
}

TEST(SearchCountdown, CancelAfterTheEndAndStartWhileRunningDoNothing) {
    VirtualDialog d;
    d.countdown.start();
    d.runUntil(500ms);
    d.countdown.start(); // a second search does not start a second countdown
    d.runUntil(10s);
    EXPECT_EQ(d.shown.size(), 15u);
    d.countdown.cancel();
    EXPECT_FALSE(d.countdown.cancelled());
    d.countdown.onStepElapsed(); // a stray timer after the end
    EXPECT_EQ(d.shown.size(), 15u);
}

struct Rows final : DiscoverySearch::Listener {
    void rowListed(const DeviceRow& row) override { names.push_back(row.name); }
    std::vector<std::string> names;
};

TEST(SearchCountdown, RepliesAreListedDuringTheWaitAndAfterACancelledDialogClosed) {
    ProcessValues values;
    Rows rows;
    DiscoverySearch search(values, rows);
    VirtualDialog d;
    const Ipv4 local = Ipv4::parse("10.77.1.1").value();
    const auto reply = [&](const char* name, const char* from) {
        return [&search, local, name, from] {
            search.onDatagram(test::replyBytes({.sequence = search.sequence(), .name = name}),
                              Ipv4::parse(from).value(), local);
        };
    };
    search.begin();
    d.at(50ms, [&d] { d.countdown.cancel(); });
    d.at(100ms, reply("during", "10.77.1.10"));
    d.at(1200ms, reply("late", "10.77.1.11")); // a second after the dialog closed
    d.countdown.start();
    d.runUntil(2s);
    EXPECT_EQ(d.closedAt, ms(200));
    EXPECT_EQ(rows.names, (std::vector<std::string>{"during", "late"}));

    // Once the next search has begun, an answer to the old one no longer counts.
    const std::int16_t old = search.sequence();
    search.begin();
    search.onDatagram(test::replyBytes({.sequence = old, .name = "stale"}), Ipv4::parse("10.77.1.12").value(),
                      local);
    EXPECT_EQ(rows.names.size(), 2u);
}

} // namespace
} // namespace fw
