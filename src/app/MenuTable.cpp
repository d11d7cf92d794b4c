// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MenuTable.h"

#include <cctype>

namespace fw {
namespace {

std::string captionOf(std::optional<Str> id, const char* design) {
    return id ? std::string(loadResString(*id)) : std::string(design);
}

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

} // namespace

std::string menuCaption(const MenuDef& menu) {
    return captionOf(menu.caption, menu.designCaption);
}

std::string menuCaption(const MenuEntry& entry) {
    return captionOf(entry.caption, entry.designCaption);
}

std::string captionWithAccessKey(std::string_view caption, std::string_view designCaption) {
    const auto marked = designCaption.find('&');
    if (caption.find('&') != std::string_view::npos || marked == std::string_view::npos ||
        marked + 1 >= designCaption.size()) {
        return std::string(caption);
    }
    const char key = lower(designCaption[marked + 1]);
    std::string out(caption);
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (lower(out[i]) == key) {
            out.insert(i, 1, '&');
            break;
        }
    }
    return out;
}

} // namespace fw
