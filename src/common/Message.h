// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace fw {

// A message box as the cores describe it; the platform layer shows it (or a test answers it).
enum class MessageIcon { None, Information, Exclamation, Critical };
enum class MessageButtons { Ok, OkCancel };
enum class MessageAnswer { Ok, Cancel };

struct Message {
    std::string text;
    std::string title; // string 16 ("Fernwick") for nearly every box
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    bool cancelIsDefault = false;

    bool operator==(const Message&) const = default;
};

} // namespace fw
