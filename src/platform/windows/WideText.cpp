// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/WideText.h"

#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <algorithm>
#include <climits>
#include <shellapi.h>

namespace fw {

std::string utf8Of(std::wstring_view wide) {
    if (wide.empty() || wide.size() > INT_MAX) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(std::max(n, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring wideOf(std::string_view utf8) {
    if (utf8.empty() || utf8.size() > INT_MAX) {
        return {};
    }
    const int size = static_cast<int>(utf8.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(std::max(n, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), n);
    return out;
}

std::vector<std::string> utf8Arguments(const wchar_t* commandLine) {
    std::vector<std::string> out;
    int count = 0;
    wchar_t** const argv = CommandLineToArgvW(commandLine, &count);
    if (argv == nullptr) {
        return out;
    }
    for (int i = 0; i < count; ++i) {
        out.push_back(utf8Of(argv[i]));
    }
    LocalFree(argv);
    return out;
}

} // namespace fw
