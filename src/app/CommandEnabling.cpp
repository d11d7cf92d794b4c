// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandEnabling.h"

namespace fw {
namespace {

constexpr Change K = Change::Keep;
constexpr Change I = Change::On;
constexpr Change O = Change::Off;

// Rows: commands in enum order. Columns: events in enum order.
//                                        Start Srch Reply LRow RRow RSpc Admn Empty SBtn SDone
constexpr std::array<std::array<Change, kEnablingEventCount>, kCommandCount> kTable{{
    /* DeleteButton        */ {O, K, I, K, K, K, K, O, O, K},
    /* EditDelete          */ {O, K, I, K, K, K, K, O, K, K},
    /* EditDeleteAll       */ {O, K, I, K, K, K, K, O, K, K},
    /* FileConnect         */ {O, O, I, I, I, K, K, O, K, K},
    /* AdminSetIp          */ {I, K, I, I, I, K, O, K, K, K},
    /* AdminUpgrade        */ {O, K, I, I, I, O, O, K, K, K},
    /* PopupSetIp          */ {O, K, K, K, I, K, K, K, K, K},
    /* PopupUpgrade        */ {O, K, K, K, I, O, K, K, K, K},
    /* SearchButton        */ {I, K, K, K, K, K, K, K, O, I},
    /* AdminDiagnostic     */ {I, K, K, K, I, K, K, K, K, K},
    /* PopupDiagnostic     */ {I, K, K, K, I, K, K, K, K, K},
    /* PopupReturnToNormal */ {I, K, K, K, O, K, K, K, K, K},
    /* FileOpen            */ {O, K, K, K, K, K, K, K, K, K},
    /* FileSave            */ {O, K, K, K, K, K, K, K, K, K},
    /* FileSaveAs          */ {O, K, K, K, K, K, K, K, K, K},
    /* HelpTopics          */ {O, K, K, K, K, K, K, K, K, K},
    /* EditCopy            */ {O, K, K, I, I, O, K, O, K, K},
}};

} // namespace

Change enablingChange(EnablingEvent event, Command command) noexcept {
    return kTable[static_cast<std::size_t>(command)][static_cast<std::size_t>(event)];
}

CommandEnabling::CommandEnabling() noexcept {
    state_.fill(true);
    state_[static_cast<std::size_t>(Command::HelpTopics)] = false;
    state_[static_cast<std::size_t>(Command::PopupSetIp)] = false;
    state_[static_cast<std::size_t>(Command::PopupUpgrade)] = false;
}

void CommandEnabling::apply(EnablingEvent event) noexcept {
    for (std::size_t c = 0; c < kCommandCount; ++c) {
        switch (kTable[c][static_cast<std::size_t>(event)]) {
        case Change::On:
            state_[c] = true;
            break;
        case Change::Off:
            state_[c] = false;
            break;
        case Change::Keep:
            break;
        }
    }
}

} // namespace fw
