// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliWatch.h"

#include "cli/AdapterChoice.h"
#include "cli/CliInventory.h"
#include "cli/CommandOpening.h"
#include "cli/CommandOptions.h"
#include "cli/CommandSearch.h"
#include "cli/DeviceReport.h"
#include "cli/InventoryWatch.h"
#include "cli/WatchMetrics.h"
#include "cli/WatchReport.h"
#include "discovery/DeviceInventory.h"
#include "engine/Clock.h"

#include <algorithm>
#include <asio/experimental/awaitable_operators.hpp>
#include <asio/signal_set.hpp>
#include <asio/use_awaitable.hpp>
#include <csignal>
#include <cstdio>
#include <deque>
#include <memory>

namespace fw::cli {
namespace {

using Event = DeviceInventory::Event;

constexpr std::size_t kRecentLines = 10;

void write(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

class Watch {
public:
    Watch(CliContext& ctx, const WatchCommand& command, std::optional<Sweep> sweep,
          std::optional<InventoryFile> known, WatchMetrics& metrics)
        : ctx_(ctx), command_(command), sweep_(std::move(sweep)), metrics_(metrics),
          inventory_(command.missed),
          live_(command.format == WatchFormat::Table && ctx.console.progressOnTerminal()),
          vendors_(ctx.host.vendorTable()) {
        if (known) {
            known_.emplace(std::move(*known), command.missed);
        }
        if (!command.onEvent.empty()) {
            hook_ = std::make_unique<EventHook>(
                command.onEvent, command.onEventTimeout, ctx.endpoints.executor(),
                [&console = ctx.console](const std::string& t) { console.err(t); });
        }
    }

    // The searches, one every interval, until cancelled.
    asio::awaitable<void> run() {
        engine::Timer next(ctx_.endpoints.executor());
        for (;;) {
            const auto startedAt = engine::Clock::now();
            // Read again each time: adapters come and go, and addresses change, during a long watch.
            const auto choice =
                chooseAdapters(ctx_.host.readAdapters(), command_.interfaces, command_.targets.any());
            if (!choice || choice->outcome != AdapterOutcome::Ok) {
                ctx_.console.err(!choice ? adapterChoiceText(choice.error())
                                         : "no usable adapter to search on; trying again");
                say(metrics_.unsearched());
            } else {
                const AdapterTable table = choice->table;
                // Half the interval, at most the window's 3 s, so that between two searches port
                // 4001 is free for set-ip or upgrade.
                SearchRequest request{table,
                                      std::min(SearchCountdown::kWait, command_.interval / 2),
                                      {},
                                      DiscoverySearch::Keying::MacAndAdapter,
                                      sweep_};
                const auto summary = co_await searchOnce(ctx_, std::move(request));
                if ((co_await asio::this_coro::cancellation_state).cancelled() !=
                    asio::cancellation_type::none) {
                    co_return; // ended meanwhile: a search cut short says nothing of the devices
                }
                searched(summary, table, engine::Clock::now() - startedAt);
            }
            next.expires_at(startedAt + command_.interval);
            co_await next.async_wait(asio::use_awaitable);
        }
    }

private:
    void searched(const SearchSummary& summary, const AdapterTable& table, engine::Clock::duration took) {
        std::vector<Ipv4> unsearched;
        std::vector<std::string> problems;
        for (const auto& failure : summary.started.unbindable) {
            if (const auto ip = failure.adapter.ip) {
                unsearched.push_back(*ip);
            }
            problems.push_back(portProblem(failure.adapter.interfaceName, failure.adapter.ip, failure) +
                               "; its devices are not counted as missing");
        }
        for (const std::string& p : sweepProblems(summary.swept)) {
            problems.push_back(p);
        }
        // Said again only when they change.
        if (problems != lastPortProblems_) {
            for (const std::string& p : problems) {
                ctx_.console.err(p);
            }
            lastPortProblems_ = problems;
        }
        // Addresses of earlier searches stay nameable: a device gone behind an adapter that has since
        // lost its address is still said to be on that adapter, not on a bare address.
        AdapterTable named = table;
        for (const AdapterEntry& e : named_) {
            if (!e.ip || adapterAt(table, *e.ip) == nullptr) {
                named.push_back(e);
            }
        }
        named_ = std::move(named);
        auto events = inventory_.update(summary.rows, table, unsearched);
        // A device reached across a router is outside the adapter's subnet by design, not in need
        // of Set IP.
        std::erase_if(events, [this](const Event& e) {
            return e.kind == DeviceInventory::EventKind::ForeignSubnet && !e.devices.empty() &&
                   targeted(e.devices[0].ip);
        });
        if (known_) {
            known_->apply(events, summary.rows, table, ctx_.console);
        }
        report(events);
        say(metrics_.searched(
            inventory_.devices(), summary, table, named_, events, took, std::chrono::system_clock::now(),
            [this](Ipv4 ip) { return targeted(ip); }, vendors_));
    }

    void say(const std::optional<std::string>& problem) {
        if (problem) {
            ctx_.console.err(*problem);
        }
    }

    bool targeted(Ipv4 ip) const {
        if (!sweep_) {
            return false;
        }
        const auto& ranges = sweep_->targets.ranges();
        return std::any_of(ranges.begin(), ranges.end(), [ip](const Ipv4Range& r) {
            return r.first.toHostOrder() <= ip.toHostOrder() && ip.toHostOrder() <= r.last.toHostOrder();
        });
    }

    void report(const std::vector<Event>& events) {
        const auto now = std::chrono::system_clock::now();
        for (const Event& e : events) {
            if (hook_) {
                hook_->pass(hookCall(e, named_, now, vendors_));
            }
            if (command_.format == WatchFormat::Jsonl) {
                write(watchJsonLine(e, named_, now, vendors_) + "\n");
            } else if (!live_) {
                write(watchPlainLine(e, named_, now) + "\n");
            } else {
                recent_.push_back(watchPlainLine(e, named_, now));
                if (recent_.size() > kRecentLines) {
                    recent_.pop_front();
                }
            }
        }
        if (live_) {
            redraw(now);
        }
    }

    void redraw(std::chrono::system_clock::time_point now) {
        const auto devices = inventory_.devices();
        // Home, clear the screen, then the whole view: it never scrolls, however often it is drawn.
        std::string view = "\x1b[H\x1b[2J";
        view += "fernwick-cli watch: " + std::to_string(devices.size()) + " device" +
                (devices.size() == 1 ? "" : "s") + ", last search " + localClock(now) + " (Ctrl+C ends)\n\n";
        if (!devices.empty()) {
            view += formatDevices(devices, named_, OutputFormat::Table, vendors_);
        }
        if (!recent_.empty()) {
            view += "\nRecent events:\n";
            for (const std::string& line : recent_) {
                view += line + "\n";
            }
        }
        write(view);
    }

    CliContext& ctx_;
    const WatchCommand& command_;
    std::optional<Sweep> sweep_; // each search walks a copy
    WatchMetrics& metrics_;
    DeviceInventory inventory_;
    std::optional<InventoryWatch> known_; // --inventory
    std::unique_ptr<EventHook> hook_;     // --on-event
    std::vector<std::string> lastPortProblems_;
    AdapterTable named_;             // this search's adapters, then earlier addresses
    std::deque<std::string> recent_; // the live view's last event lines
    bool live_ = false;
    VendorTable vendors_; // read once: a watch runs for days
};

} // namespace

// GCC 12 takes the coroutine frame's own operator delete for a mismatch with its operator new.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
asio::awaitable<ExitStatus> run(CliContext& ctx, const WatchCommand& command) {
    using namespace asio::experimental::awaitable_operators;
    // Refused against the adapters as they are at the start.
    auto opened = openCommand(ctx, command.interfaces, command.targets, {}, "no usable adapter to search on");
    if (!opened) {
        co_return opened.error();
    }
    auto known = openInventory(command.inventory, "fernwick-cli watch");
    if (!known) {
        ctx.console.err(known.error());
        co_return ExitStatus::Usage;
    }
    auto metrics = WatchMetrics::open(command);
    if (!metrics) {
        ctx.console.err(metrics.error());
        co_return ExitStatus::Usage;
    }
    asio::signal_set termination(ctx.endpoints.executor(), SIGINT, SIGTERM);
    Watch watch(ctx, command, std::move(opened->sweep), std::move(*known), **metrics);
    co_await (watch.run() || termination.async_wait(asio::use_awaitable));
    co_return ExitStatus::Ok;
}
#pragma GCC diagnostic pop

namespace {

constexpr double kLeastInterval = 0.2; // below it a watch's search would hardly wait for answers

constexpr std::array kWatchOptions{
    OptionRow{"-n,--interval", "S", "seconds from one search to the next, at least 0.2",
              [] {
                  return seconds(WatchCommand{}.interval);
              }},
    OptionRow{"-m,--missed", "N", "searches without an answer before a device is gone",
              [] {
                  return std::to_string(WatchCommand{}.missed);
              }},
    kInterface,
    kTarget,
    kTargetsFrom,
    kRate,
    kTargetCapForce,
    kBroadcast,
    OptionRow{"-f,--format", "F",
              "table (a live view on a terminal, one line per event otherwise) or\n"
              "jsonl (one JSON object per event, with \"time\" and \"event\")",
              [] {
                  return nameOf(kWatchFormats, WatchCommand{}.format);
              }},
    kInventoryFile,
    kOnEvent,
    kOnEventTimeout,
    kMetricsListen,
    kTextfile,
};

ParsedCommandLine parseWatch(const Options& o) {
    if (auto e = unexpected(o)) {
        return *e;
    }
    WatchCommand c;
    c.interfaces = o.interfaces();
    if (auto e = o.seconds("interval", c.interval, kLeastInterval)) {
        return *e;
    }
    if (auto e = o.count("missed", c.missed, 1, kMaxRetries)) {
        return *e;
    }
    if (auto e = o.choice(kWatchFormats, c.format)) {
        return *e;
    }
    if (auto e = targetOptions(o, c.targets)) {
        return *e;
    }
    if (auto e = inventoryOption(o, c.inventory)) {
        return *e;
    }
    if (auto e = hookOptions(o, c)) {
        return *e;
    }
    if (auto e = metricsOptions(o, c)) {
        return *e;
    }
    return toRun(c);
}

} // namespace

const CommandSpec kWatchSpec{
    CommandRow{
        "watch", "search again and again; report devices appearing, changing, going, and conflicts",
        "fernwick-cli watch [--interval S] [--missed N] [--interface IF]... [--format table|jsonl]\n"
        "       [--inventory FILE] [--on-event CMD [--on-event-timeout S]]\n"
        "       [--metrics-listen ADDR:PORT] [--textfile DIR]",
        R"(Searches every S seconds until interrupted (Ctrl+C ends it with status 0) and knows devices by MAC,
so two devices answering from one address are both seen. Each search waits for answers for half
the interval, at most 3 s; between searches no socket is held, so other commands can run beside it.
Reports: appeared, changed (the fields, old and new), gone (after N searches without an answer), and
the warnings duplicate-ip (two devices answer from one address on one adapter), foreign-subnet (the
address lies in no subnet of the adapter it answered on: it needs Set IP) and mac-on-two-adapters
(one MAC answers on two adapters: bridged segments or a loop). duplicate-ip counts only devices
that answered that search. When a local adapter's address changes, that is one adapter-changed
(the adapter's name, old and new address); its devices are not reported changed. With --target
every search also sweeps the targets as 'search --target' does (a sweep longer than the interval
delays the next search), and a device found at a target address is not foreign-subnet.

With --inventory FILE every device seen is kept in FILE (made when missing; see 'fernwick-cli
inventory'), and an appearance is reported as new (never seen before), back (counted gone, and
answering again) or, for a device the file knew and had not counted gone, appeared. A device the
file holds that does not answer in this run's first N searches is gone. FILE is rewritten whole
after each search that changed it; if that fails (a full disk, a read-only folder) the old file is
kept, the failure is said and the watch goes on. A second program writing FILE is refused.

--on-event CMD runs CMD for each event with the event's JSON line on its standard input and
FERNWICK_EVENT, FERNWICK_MAC and FERNWICK_IP in its environment; its output goes to standard error.
No shell is involved: CMD is split into words at blanks, '...' and "..." group words (inside "...",
\" and \\ stand for " and \), and nothing is expanded. Hooks run one at a time in the order of
the events, beside the searches; one that runs longer than --on-event-timeout is ended. A hook that
cannot be started, fails or is ended is said on standard error. At most 1000 events wait; further
ones are dropped and counted.

With --metrics-listen ADDR:PORT (GET /metrics) or --textfile DIR (DIR/fernwick.prom), what the last
completed search found is also given as Prometheus metrics, keyed by MAC; see the manual page.)",
        "Exit status: 0 ended by SIGINT or SIGTERM, 2 bad arguments, bad targets, no usable adapter, or an\n"
        "inventory in use by another writer, not an inventory or of a newer format (left untouched).",
        kWatchOptions},
    parseWatch};

} // namespace fw::cli
