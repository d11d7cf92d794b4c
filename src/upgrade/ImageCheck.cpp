// SPDX-License-Identifier: GPL-3.0-or-later
#include "upgrade/ImageCheck.h"

#include "common/StringTable.h"
#include "upgrade/TftpPackets.h"

#include <algorithm>
#include <string>

namespace fw {
namespace {

constexpr std::string_view kApMarker = "AP Config";
constexpr std::string_view kBridgeMarker = "Bridge Config";

constexpr std::uint8_t foldCase(std::uint8_t c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<std::uint8_t>(c - 'A' + 'a') : c;
}

Message box(Str text, MessageIcon icon, MessageButtons buttons = MessageButtons::Ok) {
    return Message{std::string(loadResString(text)), std::string(loadResString(Str::Product)), icon, buttons};
}

ImageDecision refuse(Str text, MessageIcon icon) {
    return {ImageDecision::Kind::Refuse, box(text, icon), true};
}

} // namespace

bool containsMarker(std::span<const std::uint8_t> bytes, std::string_view marker) {
    const auto it =
        std::search(bytes.begin(), bytes.end(), marker.begin(), marker.end(), [](std::uint8_t b, char m) {
            return foldCase(b) == foldCase(static_cast<std::uint8_t>(m));
        });
    return it != bytes.end() || marker.empty();
}

ImageDecision checkImage(std::string_view pathText, const ImageFile& file, DeviceKind kind) {
    const bool deviceIsAp = kind == DeviceKind::AccessPoint;
    if (pathText.empty()) {
        return refuse(Str::KeyinPath, MessageIcon::Information);
    }
    if (file.state == ImageFile::State::Missing) {
        return refuse(Str::FileNotExist, MessageIcon::Information);
    }
    // Locked, a folder, a read error: the file is there, so "not exist" would send the operator
    // looking for it in the wrong place.
    if (file.state == ImageFile::State::Unreadable) {
        return refuse(Str::FileNotReadable, MessageIcon::Exclamation);
    }
    if (file.bytes.size() > kTftpMaxImageBytes) {
        return refuse(Str::ImageTooLarge, MessageIcon::Exclamation);
    }
    if (containsMarker(file.bytes, deviceIsAp ? kApMarker : kBridgeMarker)) {
        return {ImageDecision::Kind::Accept, {}, false};
    }
    return {ImageDecision::Kind::Confirm,
            box(deviceIsAp ? Str::AdapterFirmwareQuestion : Str::ApFirmwareQuestion, MessageIcon::Information,
                MessageButtons::OkCancel),
            false};
}

} // namespace fw
