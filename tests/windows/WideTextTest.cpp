// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/WideText.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

// Characters outside any one ANSI code page (Cyrillic and Latin-1 beside each other) reach the
// program as UTF-8, split by the system's quoting rules.
TEST(WideText, CommandLineArgumentsArriveAsUtf8) {
    const std::vector<std::string> args = utf8Arguments(
        L"fernwick-cli.exe upgrade 10.77.1.10 \"C:\\\u043f\u0440\u043e\u0448\u0438\u0432\u043a\u0430 2.bin\" "
        L"-i r\u00e9seau \"\"");
    const std::vector<std::string> expected{
        "fernwick-cli.exe",
        "upgrade",
        "10.77.1.10",
        "C:\\\xd0\xbf\xd1\x80\xd0\xbe\xd1\x88\xd0\xb8\xd0\xb2\xd0\xba\xd0\xb0 2.bin",
        "-i",
        "r\xc3\xa9seau",
        ""};
    EXPECT_EQ(args, expected);
    EXPECT_EQ(wideOf(args[5]), L"r\u00e9seau");
    EXPECT_EQ(utf8Of(L"\U0001F4E1"), "\xf0\x9f\x93\xa1"); // a surrogate pair is one character
}

} // namespace
} // namespace fw
