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

IpAddressModel::IpAddressModel(Listener& listener) : listener_(listener) {}

std::string IpAddressModel::ipAddress() const {
    return boxes_[0] + "." + boxes_[1] + "." + boxes_[2] + "." + boxes_[3];
}

void IpAddressModel::setIpAddress(std::string_view ip) {
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
            listener_.showMessage(rangeMessage());
            updating_ = false;
            return;
        }
        writeBox(i, std::to_string(clampOctet(value)));
        start = dot + 1;
    }
    listener_.changed(ipAddress());
    updating_ = false;
}

int IpAddressModel::ipValue(int index) {
    if (!validIndex(index)) {
        listener_.showMessage(indexMessage());
        return 0;
    }
    return static_cast<int>(numericValue(boxes_[static_cast<std::size_t>(index)]));
}

void IpAddressModel::setIpValue(int index, int value) {
    updating_ = true;
    if (validIndex(index)) {
        writeBox(index, std::to_string(clampOctet(value)));
    } else {
        listener_.showMessage(indexMessage());
    }
    listener_.changed(ipAddress());
    updating_ = false;
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

void IpAddressModel::boxEdited(int box, std::string text) {
    auto& current = boxes_.at(static_cast<std::size_t>(box));
    if (current == text) {
        return;
    }
    current = std::move(text);
    movedOnTo_ = -1;
    afterBoxChange(box);
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

std::optional<int> IpAddressModel::arrowTarget(int box, Arrow arrow, int selectionStart, int textLength) {
    if (arrow == Arrow::Left) {
        if (selectionStart == 0 && box > 0) {
            return box - 1;
        }
        return std::nullopt;
    }
    if (selectionStart == textLength && box < kBoxes - 1) {
        return box + 1;
    }
    return std::nullopt;
}

bool IpAddressModel::boxLeft(int box) {
    if (boxText(box).empty()) {
        writeBox(box, "0");
    }
    const std::int64_t v = numericValue(boxText(box));
    return v < 0 || v > 255;
}

void IpAddressModel::focusGained(int box) {
    listener_.focusBox(box, Caret::SelectAll);
}

void IpAddressModel::focusLost(int box, bool toAnotherWindow) {
    if (toAnotherWindow) {
        return;
    }
    if (box == movedOnTo_) {
        movedOnTo_ = -1; // coming back by click, Tab or arrow is a move of the operator's own
    }
    if (boxLeft(box)) {
        // Not from inside the focus change: a modal box there would fight the focus move.
        listener_.defer([this, box] {
            listener_.showMessage(rangeMessage());
            listener_.focusBox(box, Caret::SelectAll);
        });
    }
}

bool IpAddressModel::charTyped(int box, char16_t c) {
    const char ascii = c < 0x80 ? static_cast<char>(c) : '\0';
    switch (keyTyped(box, ascii, listener_.hasSelection(box))) {
    case KeyVerdict::Accept:
        movedOnTo_ = -1;
        return false;
    case KeyVerdict::Ignore:
        return true;
    case KeyVerdict::NextBox:
        listener_.focusBox((box + 1) % kBoxes, Caret::SelectAll);
        return true;
    case KeyVerdict::Refuse:
        listener_.beep();
        return true;
    }
    return true;
}

void IpAddressModel::textArrived(int box, std::u16string_view text) {
    for (const char16_t c : text) {
        const int focused = listener_.focusedBox();
        const int target = focused >= 0 ? focused : box;
        if (!charTyped(target, c)) {
            listener_.insert(target, c);
        }
    }
}

void IpAddressModel::arrowPressed(int box, Arrow arrow, int selectionStart, int textLength) {
    if (const auto target = arrowTarget(box, arrow, selectionStart, textLength)) {
        listener_.focusBox(*target, arrow == Arrow::Left ? Caret::AtEnd : Caret::AtStart);
    }
}

void IpAddressModel::pasteAttempted() {
    listener_.beep();
}

void IpAddressModel::surfaceClicked(double x, double boxWidth, bool enabled) {
    if (enabled) {
        listener_.focusBox(boxAtColumn(x, boxWidth), Caret::SelectAll);
    }
}

Message IpAddressModel::rangeMessage() {
    return exclamation(std::string(loadResString(Str::ValueRange)));
}

Message IpAddressModel::indexMessage() {
    return exclamation(std::string(loadResString(Str::IpIndexRange)));
}

void IpAddressModel::writeBox(int box, std::string text) {
    auto& current = boxes_.at(static_cast<std::size_t>(box));
    if (current == text) {
        return;
    }
    current = std::move(text);
    listener_.boxTextSet(box, current);
    afterBoxChange(box);
}

void IpAddressModel::afterBoxChange(int box) {
    if (isValidIp()) {
        listener_.changed(ipAddress());
    }
    if (boxText(box).size() == kMaxBoxLength && !updating_ && box < kBoxes - 1) {
        movedOnTo_ = box + 1;
        listener_.focusBox(box + 1, Caret::SelectAll);
    }
}

} // namespace fw
