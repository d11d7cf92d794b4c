// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string_view>

namespace fw {

// The text without blanks (spaces, tabs, the CR of a CRLF line end) at either end.
constexpr std::string_view trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r");
    return first == std::string_view::npos ? std::string_view{}
                                           : s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// Calls f(number, line) for each line of a file's text, numbered from 1, without its LF. A UTF-8
// byte order mark, which editors on Windows put before the text, is not part of line 1.
template <class F> void forEachLine(std::string_view content, F&& f) {
    if (content.starts_with("\xEF\xBB\xBF")) {
        content.remove_prefix(3);
    }
    for (std::size_t number = 1; !content.empty(); ++number) {
        const auto end = content.find('\n');
        f(number, content.substr(0, end));
        content = end == std::string_view::npos ? std::string_view{} : content.substr(end + 1);
    }
}

} // namespace fw
