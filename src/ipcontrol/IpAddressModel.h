// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Message.h"

#include <array>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace fw {

// The state and rules of the four-box IPv4 entry: the box texts are the address (there is no
// separate numeric store), writes normalise and clamp, and the editing rules decide what a typed
// key, an arrow, a paste, a click or leaving a box does. A view (Qt's or Win32's) renders four
// boxes and reports their events; this class decides and answers with the actions the view
// carries out (box texts, the focus, Change, messages, beeps).
class IpAddressModel {
public:
    static constexpr int kBoxes = 4;
    static constexpr std::size_t kMaxBoxLength = 3;

    enum class Caret { SelectAll, AtStart, AtEnd };

    // What the view does, in order, after an event or a write.
    struct ShowText {
        int box;
        std::string text; // a write changed the box
    };
    struct Changed {
        std::string ipAddress; // the Change event
    };
    struct Focus { // the focus on box (where it may already be), the caret or selection as said
        int box;
        Caret caret;
    };
    struct ShowMessage {
        Message message;
    };
    struct Beep {};
    struct Later {}; // the actions after it run from the event loop, after the event being handled
    using Action = std::variant<ShowText, Changed, Focus, ShowMessage, Beep, Later>;
    using Actions = std::vector<Action>;
    // A reading, or a verdict, with the actions that come with it.
    template <class T> struct Answer {
        T value;
        Actions actions;
    };

    enum class KeyVerdict {
        Accept,  // let the box take the character
        Refuse,  // drop it and beep
        NextBox, // drop it and move to the next box ("." typed; box 3 wraps to box 0)
        Ignore,  // drop it silently: a "." whose move three digits already made
    };
    enum class Arrow { Left, Right };

    // Box texts joined by "." as they stand: an empty box gives an empty number, leading zeros stay.
    std::string ipAddress() const;
    // Pieces are cut at the first four dots (missing ones count as empty, extra pieces are ignored),
    // read as numbers and held at 0..255. Raises Change once per box that changes (when the address
    // is valid then) and once more at the end with the normalised text. A piece beyond 32 bits ends
    // the write with the range message: earlier boxes keep their new texts, no Change at the end.
    Actions setIpAddress(std::string_view ip);

    // An index outside 0..3 shows the index message and reads 0 (writes change no box).
    Answer<int> ipValue(int index) const;
    // Holds value at 0..255; raises Change at the end even after a bad index.
    Actions setIpValue(int index, int value);

    // Every box's number lies in 0..255 (an empty box counts as 0). Says nothing about the whole address.
    bool isValidIp() const;

    const std::string& boxText(int box) const;

    // The operator changed box's text (typing, backspace, delete).
    Actions boxEdited(int box, std::string text);
    // What a typed character does. hasSelection: part of the box's text is selected. A "." in the box
    // three digits moved the focus to, before anything is typed there, is the separator already passed.
    KeyVerdict keyTyped(int box, char c, bool hasSelection) const;

    // The view's events, each answered with what the view does.
    // A box got the focus: its whole text is selected.
    static Actions focusGained(int box);
    // A box lost it. toAnotherWindow: a message box or another program took it, which is not
    // leaving the box. Leaving, an empty box becomes "0"; a number out of range is said after the
    // focus change, and the focus returns.
    Actions focusLost(int box, bool toAnotherWindow);
    // A character typed in box (text arriving in one piece, an input method's, is typed character
    // by character, each where the focus is by then, since three digits or "." move it on). The
    // value is true when it is consumed here (refused with a beep, or "." moving on), false when
    // the box should take it. Anything outside ASCII is refused.
    Answer<bool> charTyped(int box, char16_t c, bool hasSelection);
    // Left or Right pressed (the box still sees the key): crosses to the neighbour at the edges,
    // given the selection start (the caret when nothing is selected) and the text length.
    static Actions arrowPressed(int box, Arrow arrow, int selectionStart, int textLength);
    // A paste by any route (shortcut, menu, middle click) would skip the key rule: refused.
    static Actions pasteAttempted();
    // A press on the control outside the boxes, x pixels from its left edge.
    static Actions surfaceClicked(double x, double boxWidth, bool enabled);

    static Message rangeMessage();
    static Message indexMessage();

private:
    // Leaving a box: an empty box becomes "0". True when its number is outside 0..255.
    bool boxLeft(int box, Actions& out);
    void writeBox(int box, std::string text, Actions& out);
    void afterBoxChange(int box, Actions& out);

    std::array<std::string, kBoxes> boxes_{"0", "0", "0", "0"};
    bool updating_ = false; // set while ipAddress/IPValue write; stops the move to the next box
    int movedOnTo_ = -1;    // the box three digits moved the focus to, until typed into or left
};

} // namespace fw
