// SPDX-License-Identifier: GPL-3.0-or-later
#include "ipcontrol/IpAddressModel.h"

#include "common/StringTable.h"
#include "ipcontrol/IpControlLayout.h"
#include "ipcontrol/NumericValue.h"

#include <algorithm>
#include <limits>

namespace fw {
namespace {

bool validIndex(int index) {
    return index >= 0 && index < IpAddressModel::kBoxes;
}

int clampOctet(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, 0, 255));
}

Message exclamation(std::string text) {
    return Message{std::move(text), std::string(loadResString(Str::Product)), MessageIcon::Exclamation};
}

} // namespace

std::string IpAddressModel::ipAddress() const {
    return boxes_[0] + "." + boxes_[1] + "." + boxes_[2] + "." + boxes_[3];
}

IpAddressModel::Actions IpAddressModel::setIpAddress(std::string_view ip) {
    Actions out;
    updating_ = true;
    // Four dots appended so that every box finds its terminating dot.
    const std::string s = std::string(ip) + "....";
    std::size_t start = 0;
    for (int i = 0; i < kBoxes; ++i) {
        const std::size_t dot = s.find('.', start);
        const std::string_view piece = std::string_view(s).substr(start, dot - start);
        const std::int64_t value = numericValue(piece);
        if (value < std::numeric_limits<std::int32_t>::min() ||
            value > std::numeric_limits<std::int32_t>::max()) {
            // No number an address could hold: said, and the write stops where it stands.
            out.emplace_back(ShowMessage{rangeMessage()});
            updating_ = false;
            return out;
        }
        writeBox(i, std::to_string(clampOctet(value)), out);
        start = dot + 1;
    }
    out.emplace_back(Changed{ipAddress()});
    updating_ = false;
    return out;
}

IpAddressModel::Answer<int> IpAddressModel::ipValue(int index) const {
    if (!validIndex(index)) {
        return {0, {ShowMessage{indexMessage()}}};
    }
    return {static_cast<int>(numericValue(boxes_[static_cast<std::size_t>(index)])), {}};
}

IpAddressModel::Actions IpAddressModel::setIpValue(int index, int value) {
    Actions out;
    updating_ = true;
    if (validIndex(index)) {
        writeBox(index, std::to_string(clampOctet(value)), out);
    } else {
        out.emplace_back(ShowMessage{indexMessage()});
    }
    out.emplace_back(Changed{ipAddress()});
    updating_ = false;
    return out;
}

bool IpAddressModel::isValidIp() const {
    return std::all_of(boxes_.begin(), boxes_.end(), [](const std::string& box) {
        const std::int64_t v = numericValue(box);
        return v >= 0 && v <= 255;
    });
}

const std::string& IpAddressModel::boxText(int box) const {
    return boxes_.at(static_cast<std::size_t>(box));
}

IpAddressModel::Actions IpAddressModel::boxEdited(int box, std::string text) {
    Actions out;
    auto& current = boxes_.at(static_cast<std::size_t>(box));
    if (current != text) {
        current = std::move(text);
        movedOnTo_ = -1;
        afterBoxChange(box, out);
    }
    return out;
}

IpAddressModel::KeyVerdict IpAddressModel::keyTyped(int box, char c, bool hasSelection) const {
    if (c == '\b') {
        return KeyVerdict::Accept;
    }
    if (c == '.') {
        return box == movedOnTo_ ? KeyVerdict::Ignore : KeyVerdict::NextBox;
    }
    if (c < '0' || c > '9') {
        return KeyVerdict::Refuse;
    }
    if (hasSelection) {
        return KeyVerdict::Accept; // replaces the selection; leaving the box checks the range
    }
    // The digit is judged as if appended, wherever the caret stands.
    const std::string candidate = boxText(box) + c;
    return numericValue(candidate) > 255 ? KeyVerdict::Refuse : KeyVerdict::Accept;
}

bool IpAddressModel::boxLeft(int box, Actions& out) {
    if (boxText(box).empty()) {
        writeBox(box, "0", out);
    }
    const std::int64_t v = numericValue(boxText(box));
    return v < 0 || v > 255;
}

IpAddressModel::Actions IpAddressModel::focusGained(int box) {
    return {Focus{box, Caret::SelectAll}};
}

IpAddressModel::Actions IpAddressModel::focusLost(int box, bool toAnotherWindow) {
    Actions out;
    if (toAnotherWindow) {
        return out;
    }
    if (box == movedOnTo_) {
        movedOnTo_ = -1; // coming back by click, Tab or arrow is a move of the operator's own
    }
    if (boxLeft(box, out)) {
        // Not from inside the focus change: a modal box there would fight the focus move.
        out.insert(out.end(), {Later{}, ShowMessage{rangeMessage()}, Focus{box, Caret::SelectAll}});
    }
    return out;
}

IpAddressModel::Answer<bool> IpAddressModel::charTyped(int box, char16_t c, bool hasSelection) {
    const char ascii = c < 0x80 ? static_cast<char>(c) : '\0';
    switch (keyTyped(box, ascii, hasSelection)) {
    case KeyVerdict::Accept:
        movedOnTo_ = -1;
        return {false, {}};
    case KeyVerdict::Ignore:
        break;
    case KeyVerdict::NextBox:
        return {true, {Focus{(box + 1) % kBoxes, Caret::SelectAll}}};
    case KeyVerdict::Refuse:
        return {true, {Beep{}}};
    }
    return {true, {}};
}

IpAddressModel::Actions IpAddressModel::arrowPressed(int box, Arrow arrow, int selectionStart,
                                                     int textLength) {
    if (arrow == Arrow::Left && selectionStart == 0 && box > 0) {
        return {Focus{box - 1, Caret::AtEnd}};
    }
    if (arrow == Arrow::Right && selectionStart == textLength && box < kBoxes - 1) {
        return {Focus{box + 1, Caret::AtStart}};
    }
    return {};
}

IpAddressModel::Actions IpAddressModel::pasteAttempted() {
    return {Beep{}};
}

IpAddressModel::Actions IpAddressModel::surfaceClicked(double x, double boxWidth, bool enabled) {
    if (!enabled) {
        return {};
    }
    return {Focus{boxAtColumn(x, boxWidth), Caret::SelectAll}};
}

Message IpAddressModel::rangeMessage() {
    return exclamation(std::string(loadResString(Str::ValueRange)));
}

Message IpAddressModel::indexMessage() {
    return exclamation(std::string(loadResString(Str::IpIndexRange)));
}

void IpAddressModel::writeBox(int box, std::string text, Actions& out) {
    auto& current = boxes_.at(static_cast<std::size_t>(box));
    if (current != text) {
        current = std::move(text);
        out.emplace_back(ShowText{box, current});
        afterBoxChange(box, out);
    }
}

void IpAddressModel::afterBoxChange(int box, Actions& out) {
    if (isValidIp()) {
        out.emplace_back(Changed{ipAddress()});
    }
    if (boxText(box).size() == kMaxBoxLength && !updating_ && box < kBoxes - 1) {
        movedOnTo_ = box + 1;
        out.emplace_back(Focus{box + 1, Caret::SelectAll});
    }
}

} // namespace fw
