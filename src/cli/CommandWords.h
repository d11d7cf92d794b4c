// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Result.h"

#include <string>
#include <string_view>
#include <vector>

namespace fw::cli {

// A command line (--on-event) split into its words as a shell user expects, without a shell: blanks
// separate words; '...' keeps everything inside as it stands; "..." keeps blanks and takes \" and
// \\ as " and \; a backslash anywhere else is an ordinary character, so C:\hooks\alert.exe stays
// whole. Nothing is expanded: no $VARIABLES, no globs, no ~, no pipes or redirections. The message
// when a quote is not closed or there is no word.
Result<std::vector<std::string>, std::string> commandWords(std::string_view line);

} // namespace fw::cli
