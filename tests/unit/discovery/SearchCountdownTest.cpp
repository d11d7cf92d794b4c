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

// Virtual time: the step timer and scheduled events (replies, clicks) run in time order; at the
// same instant an event runs before the timer.
class VirtualDialog final : public SearchCountdown::Io {
public:
    void showProgress(int value) override { shown.emplace_back(now.count(), value); }
    void waitStep(ms interval) override { due = now + interval; }
    void finish() override { closedAt = now; }

    void at(ms when, std::function<void()> f) { events.emplace(when, std::move(f)); }
    void run() {
        countdown.start();
        while (due || !events.empty()) {
            if (!events.empty() && (!due || events.begin()->first <= *due)) {
                now = events.begin()->first;
                auto f = std::move(events.begin()->second);
                events.erase(events.begin());
                f();
            } else {
                now = *due;
                due.reset();
                countdown.onStepElapsed();
            }
        }
    }

    ms now{0};
    std::optional<ms> due;
    std::optional<ms> closedAt;
    std::vector<std::pair<long, int>> shown; // (ms, bar value)
    std::multimap<ms, std::function<void()>> events;
    SearchCountdown countdown{*this};
};

TEST(SearchCountdown, FifteenStepsOfTwoHundredMillisecondsWithTheBarAt14InTheLast) {
    VirtualDialog d;
    d.at(500ms, [&d] { d.countdown.start(); }); // a second search does not restart it
    d.run();
    ASSERT_EQ(d.shown.size(), 15u);
    for (int i = 0; i < 15; ++i) {
        EXPECT_EQ(d.shown[i], std::make_pair(200L * i, i));
    }
    EXPECT_EQ(d.closedAt, 3000ms);
}

TEST(SearchCountdown, CancelIsSeenAtTheNextStep) {
    const std::tuple<ms, ms, std::size_t> cases[] = {// cancel at, closed at, bar values shown
                                                     {0ms, 200ms, 1},
                                                     {199ms, 200ms, 1},
                                                     {200ms, 200ms, 1},
                                                     {201ms, 400ms, 2},
                                                     {2950ms, 3000ms, 15}};
    for (const auto& [cancelAt, closedAt, shown] : cases) {
        VirtualDialog d;
        d.at(cancelAt, [&d] { d.countdown.cancel(); });
        d.run();
        EXPECT_EQ(d.closedAt, closedAt) << cancelAt.count();
        EXPECT_EQ(d.shown.size(), shown) << cancelAt.count();
    }
}

TEST(SearchCountdown, RepliesAreListedDuringTheWaitAndAfterACancelledDialogClosed) {
    struct Names final : DiscoverySearch::Listener {
        void rowListed(const DeviceRow& row) override { list.push_back(row.name); }
        std::vector<std::string> list;
    } names;
    ProcessValues values;
    DiscoverySearch search(values, names);
    const auto reply = [&](std::int16_t sequence, std::string_view name, std::uint32_t from) {
        return [&search, sequence, name, from] {
            search.onDatagram(test::replyBytes({.sequence = sequence, .name = name}),
                              Ipv4::fromHostOrder(from), Ipv4::fromHostOrder(0x0A4D0101));
        };
    };
    VirtualDialog d;
    search.begin();
    d.at(50ms, [&d] { d.countdown.cancel(); });
    d.at(100ms, reply(1, "during", 0x0A4D010A));
    d.at(1200ms, reply(1, "late", 0x0A4D010B)); // a second after the dialog closed
    d.at(1300ms, [&search] { search.begin(); });
    d.at(1400ms, reply(1, "stale", 0x0A4D010C)); // answers the search before
    d.run();
    EXPECT_EQ(d.closedAt, 200ms);
    EXPECT_EQ(names.list, (std::vector<std::string>{"during", "late"}));
}

} // namespace
} // namespace fw
