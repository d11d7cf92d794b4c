// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/RecordNumbers.h"

namespace fw {

RecordNumbers::RecordNumbers(std::int16_t first) : next_(first >= kFirst ? first : kFirst) {}

std::int16_t RecordNumbers::next() {
    const std::int16_t taken = next_;
    next_ = taken == kLast ? kFirst : static_cast<std::int16_t>(taken + 1);
    return taken;
}

} // namespace fw
