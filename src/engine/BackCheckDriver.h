// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/AdapterEntry.h"
#include "common/MacAddress.h"
#include "discovery/DeviceRow.h"
#include "engine/EndpointFactory.h"
#include "engine/SearchDriver.h"
#include "upgrade/RolloutEntry.h"

#include <asio/awaitable.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace fw::engine {

// Whether a device is back (after its upload, its Set IP OK or a plan's OKs) is asked by searches of
// at most a second each, cut short when it answers, so a device that comes back is seen soon.
inline constexpr std::chrono::milliseconds kBackSearchWait{1000};

// Whether a device is back: searches one after another, each fed to what "back" means for the
// caller until that has decided. Set IP's verification (its MAC from the new address), a plan's
// (each row's device from its planned address) and a rollout's (silent after the upload, then
// answering again) are three meanings of it. Engine thread only.
class BackCheckDriver {
public:
    // The next search: made anew for each, as what is still awaited may change.
    using Round = std::function<SearchJob::Request()>;
    // What "back" means: fed each search's summary; true once it has decided.
    using Judge = std::function<bool(const SearchJob::Outcome&)>;

    struct Timing {
        std::chrono::milliseconds backTimeout{0};
        std::chrono::milliseconds searchWait{kBackSearchWait}; // each search
        std::chrono::milliseconds pause{500};                  // between searches
    };
    struct Outcome {
        RolloutState state = RolloutState::NotBack;
        std::optional<DeviceRow> row;         // the answer that made it Done
        std::chrono::milliseconds elapsed{0}; // from run() to the deciding search's end
    };

    explicit BackCheckDriver(EndpointFactory& endpoints);
    ~BackCheckDriver(); // cancel()
    BackCheckDriver(const BackCheckDriver&) = delete;
    BackCheckDriver& operator=(const BackCheckDriver&) = delete;

    // Searches until judge decides (true), `pause` apart; false when cancelled.
    asio::awaitable<bool> run(Round round, Judge judge, std::chrono::milliseconds pause = {});

    // A rollout's meaning: the device after its upload, by its MAC on its own adapter (the entries of
    // the table given; by unicast to its address for one behind a router), fed to RolloutBackCheck.
    // restarts: it must go silent before an answer counts (false for --no-restart). A search that
    // could not be sent (port 4001 held meanwhile) says nothing about the device. None when cancelled.
    asio::awaitable<std::optional<Outcome>> run(AdapterTable adapters, MacAddress mac, bool restarts,
                                                Timing timing,
                                                std::optional<SearchJob::Sweep> sweep = std::nullopt);
    // Ends the search and the pause at once; run() returns false or none.
    void cancel();

    struct State;

private:
    std::shared_ptr<State> state_;
};

} // namespace fw::engine
