// SPDX-License-Identifier: GPL-3.0-or-later
// The firmware image check: the device kind's marker anywhere in the bytes, in any letter case.
#include "FuzzInput.h"
#include "upgrade/ImageCheck.h"

#include <algorithm>
#include <cctype>

namespace {

bool naiveContains(std::span<const std::uint8_t> bytes, std::string_view marker) {
    const auto fold = [](int c) {
        return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
    };
    return std::search(bytes.begin(), bytes.end(), marker.begin(), marker.end(),
                       [&](std::uint8_t b, char m) {
                           return fold(b) == fold(static_cast<unsigned char>(m));
                       }) != bytes.end() ||
           marker.empty();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fw::fuzz::FuzzInput in(data, size);
    const std::uint8_t head = in.byte();
    const bool ap = head & 1;
    const std::string custom = in.text(head >> 4);
    const auto bytes = in.rest();

    fw::fuzz::require(fw::containsMarker(bytes, custom) == naiveContains(bytes, custom),
                      "marker search (any text)");
    const std::string_view marker = ap ? "AP Config" : "Bridge Config";
    const bool found = naiveContains(bytes, marker);
    fw::fuzz::require(fw::containsMarker(bytes, marker) == found, "marker search");

    fw::ImageFile file{fw::ImageFile::State::Read, {bytes.begin(), bytes.end()}, {}};
    const auto decision =
        fw::checkImage("image.bin", file, ap ? fw::DeviceKind::AccessPoint : fw::DeviceKind::Bridge);
    fw::fuzz::require(decision.kind ==
                          (found ? fw::ImageDecision::Kind::Accept : fw::ImageDecision::Kind::Confirm),
                      "a readable image is accepted with its marker, asked about without");
    fw::fuzz::require(decision.kind == fw::ImageDecision::Kind::Accept || !decision.message.text.empty(),
                      "a question has its text");
    return 0;
}
