// SPDX-License-Identifier: GPL-3.0-or-later
#include "ipcontrol/IpAddressModel.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace fw {
namespace {

// Four boxes in miniature, as the views behave: one box has the focus, entering a box selects its
// text, and a typed character replaces the selection or goes at the end.
struct Boxes {
    using M = IpAddressModel;
    // Clicks box 0, then types each key where the focus is by then; '|' is Tab.
    void type(std::u16string_view keys) {
        apply(M::surfaceClicked(0, 30, true));
        for (const char16_t k : keys) {
            const auto typed = k == u'|' ? M::Answer<bool>{true, {M::Focus{focus + 1, M::Caret::SelectAll}}}
                                         : model.charTyped(focus, k, selected);
            apply(typed.actions);
            if (!typed.value) {
                std::string text = (selected ? std::string() : model.boxText(focus)) + static_cast<char>(k);
                selected = false;
                apply(model.boxEdited(focus, text));
            }
        }
    }
    // Runs what is put off at once.
    void apply(const M::Actions& actions) {
        for (const auto& action : actions) {
            if (const auto* to = std::get_if<M::Focus>(&action)) {
                if (focus != to->box) {
                    if (const int from = std::exchange(focus, to->box); from >= 0) {
                        apply(model.focusLost(from, false));
                    }
                    apply(M::focusGained(to->box));
                }
                selected = to->caret == M::Caret::SelectAll;
            } else if (const auto* changed = std::get_if<M::Changed>(&action)) {
                changes.push_back(changed->ipAddress);
            } else if (const auto* shown = std::get_if<M::ShowMessage>(&action)) {
                messages.push_back(shown->message);
            }
        }
    }

    IpAddressModel model;
    int focus = -1;
    bool selected = false;
    std::vector<std::string> changes;
    std::vector<Message> messages;
};

// Three digits move on by themselves, so the "." typed next is the separator already passed.
TEST(IpAddressModel, TypedAddressesLandInTheirBoxes) {
    // keys, address, box with the focus after
    const std::tuple<std::u16string_view, const char*, int> cases[] = {
        {u"10.200.192.50", "10.200.192.50", 3},
        {u"255.255.255.0", "255.255.255.0", 3},
        {u"10.88.1.254", "10.88.1.254", 3},
        {u"192.168.1.1", "192.168.1.1", 3},
        {u"1.2.3.4", "1.2.3.4", 3},
        {u"0.0.0.0", "0.0.0.0", 3},
        {u"123.45", "123.45.0.0", 1},
        {u"123..4", "123.4.0.0", 1},      // still nothing typed into box 1
        {u"123|.4", "123.0.0.4", 3},      // arriving by Tab, "." moves on
        {u"1.2.3.255.7", "7.2.3.255", 0}, // box 3 never moves on by itself: "." wraps
    };
    for (const auto& [keys, address, focus] : cases) {
        Boxes boxes;
        boxes.type(keys);
        EXPECT_EQ(std::pair(boxes.model.ipAddress(), boxes.focus), std::pair(std::string(address), focus))
            << address;
        EXPECT_TRUE(boxes.messages.empty()) << address;
    }
}

// A piece beyond 32 bits is no address number at all: say so, keep what was written, no last Change.
TEST(IpAddressModel, WritingANumberTooLargeToConvert) {
    // written, address, message shown, Change events
    using Changes = std::vector<std::string>;
    const std::tuple<const char*, const char*, bool, Changes> cases[] = {
        {"1.2.3000000000.4", "1.2.0.0", true, {"1.0.0.0", "1.2.0.0"}},
        {"1.99999999999999999999999", "1.0.0.0", true, {"1.0.0.0"}},
        {"-2147483649.5", "0.0.0.0", true, {}},
        {"1.2.2147483647.4",
         "1.2.255.4",
         false,
         {"1.0.0.0", "1.2.0.0", "1.2.255.0", "1.2.255.4", "1.2.255.4"}},
        {"-2147483648.5", "0.5.0.0", false, {"0.5.0.0", "0.5.0.0"}},
    };
    for (const auto& [written, address, message, changes] : cases) {
        Boxes boxes;
        boxes.apply(boxes.model.setIpAddress(written));
        EXPECT_EQ(boxes.model.ipAddress(), address) << written;
        EXPECT_EQ(boxes.changes, changes) << written;
        EXPECT_EQ(boxes.messages,
                  message ? std::vector{IpAddressModel::rangeMessage()} : std::vector<Message>{})
            << written;
    }
}

} // namespace
} // namespace fw
