// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

namespace fw::fuzz {

// Reads a fuzzer's bytes front to back; past the end every read gives zeros or an empty span, so a
// target never has to check how much is left before it asks.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : bytes_(data, size) {}

    bool empty() const { return pos_ >= bytes_.size(); }

    std::uint8_t byte() { return empty() ? 0 : bytes_[pos_++]; }

    std::uint16_t u16() {
        const auto high = byte();
        return static_cast<std::uint16_t>((high << 8) | byte());
    }

    // Up to n bytes (fewer at the end).
    std::span<const std::uint8_t> take(std::size_t n) {
        const std::size_t left = empty() ? 0 : bytes_.size() - pos_;
        const auto out = bytes_.subspan(empty() ? bytes_.size() : pos_, n < left ? n : left);
        pos_ += out.size();
        return out;
    }

    std::span<const std::uint8_t> rest() { return take(bytes_.size()); }

    std::string text(std::size_t n) {
        const auto b = take(n);
        return {b.begin(), b.end()};
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

// A broken property: say which, then abort so that libFuzzer keeps the input.
inline void require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "property failed: %s\n", what);
        std::abort();
    }
}

} // namespace fw::fuzz
