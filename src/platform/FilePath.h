// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace fw {

// A path the operator gave, as UTF-8. A plain std::string would be read in the system's 8-bit
// code page (on Windows, where it fails or turns other characters into '?'); UTF-8 is taken as
// UTF-8 everywhere.
inline std::filesystem::path filePath(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// The path as UTF-8 text, for a message.
inline std::string pathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

} // namespace fw
