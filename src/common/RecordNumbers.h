// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace fw {

// The sequence numbers (record offsets 6-7) of one run's exchanges, searches and Set IP requests
// alike. Every exchange takes the next one, so a late answer to an earlier exchange, which carries
// that exchange's number, is never taken for the answer to the current one. The numbers run from 1
// to 32767 (the field is signed: 0 and negative numbers never go out) and then start at 1 again;
// a number comes round only after 32767 exchanges, long after any late answer.
class RecordNumbers {
public:
    static constexpr std::int16_t kFirst = 1;
    static constexpr std::int16_t kLast = 32767;

    // first: the number of the run's first exchange; one outside 1..32767 counts as 1.
    explicit RecordNumbers(std::int16_t first = kFirst);

    std::int16_t next();

private:
    std::int16_t next_;
};

} // namespace fw
