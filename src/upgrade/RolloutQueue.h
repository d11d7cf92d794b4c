// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace fw {

// Which device's upload starts next. Devices go in the given order, at most `parallel` at once
// and at most `perAdapter` on one adapter: with one, two never need the adapter's TFTP port 14321
// at once; with more, they share it.
class RolloutQueue {
public:
    // The local adapter address each device is reached through, in rollout order.
    RolloutQueue(std::vector<Ipv4> adapters, int parallel, int perAdapter = 1);

    // The next device that may start now, marked running; none when all slots or adapters are busy
    // or nothing is left.
    std::optional<std::size_t> next();
    void finished(std::size_t index);
    // Nothing more starts: the devices still waiting are finished unstarted and returned.
    std::vector<std::size_t> dropWaiting();
    // Nothing running and nothing waiting.
    bool over() const;

private:
    enum class Slot { Waiting, Running, Finished };
    std::vector<Ipv4> adapters_;
    std::vector<Slot> slots_;
    int parallel_;
    int perAdapter_;
    int running_ = 0;
};

} // namespace fw
