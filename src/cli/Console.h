// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace fw::cli {

// stdout for results, stderr for diagnostics and progress. On a terminal the progress is one line
// rewritten in place; elsewhere (a pipe, a log file) the caller writes plain lines instead.
class Console {
public:
    Console(std::FILE* out = stdout, std::FILE* err = stderr);

    void out(std::string_view line);  // a line of results
    void err(std::string_view line);  // a line of diagnostics, "fernwick-cli: " first
    void note(std::string_view line); // a line of diagnostics as it stands

    bool progressOnTerminal() const { return terminal_; }
    int width() const;
    // Replaces the progress line (terminal only).
    void progress(std::string_view text);
    // Leaves the progress line as it is and moves below it.
    void endProgress();

private:
    void write(std::FILE* stream, std::string_view text);

    std::FILE* out_;
    std::FILE* err_;
    bool terminal_ = false;
    bool progressShown_ = false;
    std::string lastProgress_; // not written again while it stays the same
};

} // namespace fw::cli
