// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Message.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace fw {

// The state and rules of the four-box IPv4 entry: the box texts are the address (there is no
// separate numeric store), writes normalise and clamp, and the editing rules decide what a typed
// key, an arrow, a paste, a click or leaving a box does. A view (Qt's or Win32's) renders four
// boxes and reports their events; this class decides and tells it where the focus goes.
class IpAddressModel {
public:
    static constexpr int kBoxes = 4;
    static constexpr std::size_t kMaxBoxLength = 3;

    enum class Caret { SelectAll, AtStart, AtEnd };

    class Listener {
    public:
        virtual void boxTextSet(int box, const std::string& text) = 0; // a write changed a box; show it
        virtual void changed(const std::string& ipAddress) = 0;        // the Change event
        // Puts the focus on box (where it may already be) and the caret or selection as said.
        virtual void focusBox(int box, Caret caret) = 0;
        virtual void showMessage(const Message& message) = 0;
        virtual void beep() = 0;
        // Runs fn from the event loop, after the event being handled; never once the view is gone.
        virtual void defer(std::function<void()> fn) = 0;
        // For text that arrives in one piece: the box with the focus (-1: none of the four), whether
        // part of a box's text is selected, and typing one character into a box.
        virtual int focusedBox() const = 0;
        virtual bool hasSelection(int box) const = 0;
        virtual void insert(int box, char16_t c) = 0;

    protected:
        ~Listener() = default;
    };

    enum class KeyVerdict {
        Accept,  // let the box take the character
        Refuse,  // drop it and beep
        NextBox, // drop it and move to the next box ("." typed; box 3 wraps to box 0)
        Ignore,  // drop it silently: a "." whose move three digits already made
    };
    enum class Arrow { Left, Right };

    explicit IpAddressModel(Listener& listener);

    // Box texts joined by "." as they stand: an empty box gives an empty number, leading zeros stay.
    std::string ipAddress() const;
    // Pieces are cut at the first four dots (missing ones count as empty, extra pieces are ignored),
    // read as numbers and held at 0..255. Raises Change once per box that changes (when the address
    // is valid then) and once more at the end with the normalised text. A piece beyond 32 bits ends
    // the write with the range message: earlier boxes keep their new texts, no Change at the end.
    void setIpAddress(std::string_view ip);

    // An index outside 0..3 shows the index message and reads 0 (writes change no box).
    int ipValue(int index);
    // Holds value at 0..255; raises Change at the end even after a bad index.
    void setIpValue(int index, int value);

    // Every box's number lies in 0..255 (an empty box counts as 0). Says nothing about the whole address.
    bool isValidIp() const;

    const std::string& boxText(int box) const;

    // The operator changed box's text (typing, backspace, delete).
    void boxEdited(int box, std::string text);
    // What a typed character does. hasSelection: part of the box's text is selected. A "." in the box
    // three digits moved the focus to, before anything is typed there, is the separator already passed.
    KeyVerdict keyTyped(int box, char c, bool hasSelection) const;
    // The box an arrow key crosses to, given the selection start (the caret when nothing is
    // selected) and the text length; none when the key stays in its box.
    static std::optional<int> arrowTarget(int box, Arrow arrow, int selectionStart, int textLength);
    // Leaving a box: an empty box becomes "0". True when its number is outside 0..255, in which
    // case the caller shows rangeMessage() and puts the focus back on the box.
    bool boxLeft(int box);

    // The view's events, each applying the rules above through the listener.
    // A box got the focus: its whole text is selected.
    void focusGained(int box);
    // A box lost it. toAnotherWindow: a message box or another program took it, which is not
    // leaving the box. A number out of range is said after the focus change, and the focus returns.
    void focusLost(int box, bool toAnotherWindow);
    // A character typed in box: true when it is consumed here (refused with a beep, or "." moving
    // on), false when the box should take it. Anything outside ASCII is refused.
    bool charTyped(int box, char16_t c);
    // Text arriving in one piece (an input method's): typed character by character, each where the
    // focus is by then, since three digits or "." move it on.
    void textArrived(int box, std::u16string_view text);
    // Left or Right pressed (the box still sees the key): crosses to the neighbour at the edges.
    void arrowPressed(int box, Arrow arrow, int selectionStart, int textLength);
    // A paste by any route (shortcut, menu, middle click) would skip the key rule: refused.
    void pasteAttempted();
    // A press on the control outside the boxes, x pixels from its left edge.
    void surfaceClicked(double x, double boxWidth, bool enabled);

    static Message rangeMessage();
    static Message indexMessage();

private:
    void writeBox(int box, std::string text);
    void afterBoxChange(int box);

    Listener& listener_;
    std::array<std::string, kBoxes> boxes_{"0", "0", "0", "0"};
    bool updating_ = false; // set while ipAddress/IPValue write; stops the move to the next box
    int movedOnTo_ = -1;    // the box three digits moved the focus to, until typed into or left
};

} // namespace fw
