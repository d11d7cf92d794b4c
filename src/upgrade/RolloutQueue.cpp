// SPDX-License-Identifier: GPL-3.0-or-later
#include "upgrade/RolloutQueue.h"

#include <algorithm>

namespace fw {

RolloutQueue::RolloutQueue(std::vector<Ipv4> adapters, int parallel, int perAdapter)
    : adapters_(std::move(adapters)), slots_(adapters_.size(), Slot::Waiting),
      parallel_(std::max(1, parallel)), perAdapter_(std::max(1, perAdapter)) {}

std::optional<std::size_t> RolloutQueue::next() {
    if (running_ >= parallel_) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i] != Slot::Waiting) {
            continue;
        }
        int onAdapter = 0;
        for (std::size_t j = 0; j < slots_.size(); ++j) {
            onAdapter += slots_[j] == Slot::Running && adapters_[j] == adapters_[i] ? 1 : 0;
        }
        if (onAdapter < perAdapter_) {
            slots_[i] = Slot::Running;
            ++running_;
            return i;
        }
    }
    return std::nullopt;
}

void RolloutQueue::finished(std::size_t index) {
    if (index < slots_.size() && slots_[index] == Slot::Running) {
        slots_[index] = Slot::Finished;
        --running_;
    }
}

std::vector<std::size_t> RolloutQueue::dropWaiting() {
    std::vector<std::size_t> dropped;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i] == Slot::Waiting) {
            slots_[i] = Slot::Finished;
            dropped.push_back(i);
        }
    }
    return dropped;
}

bool RolloutQueue::over() const {
    return std::all_of(slots_.begin(), slots_.end(), [](Slot s) { return s == Slot::Finished; });
}

} // namespace fw
