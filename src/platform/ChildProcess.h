// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

// Running a program to its end, for watch's event hook: no shell, the words as given, `input` on
// its standard input, its standard output sent to our standard error (our standard output holds
// results), and ended when it outlasts the time-out. It blocks the calling thread: run it on one of
// its own. One implementation per system (linux/ChildProcess.cpp: posix_spawnp in a process group of
// its own; windows/ChildProcess.cpp: CreateProcessW).
namespace fw::process {

struct ChildEnd {
    enum class How {
        Exited,     // code: the exit status
        Signalled,  // code: the signal (Linux)
        TimedOut,   // ended by us after the time-out
        NotStarted, // error: why (no such program, not executable, ...)
    };
    How how = How::Exited;
    int code = 0;
    std::error_code error;
};

// words: the program (looked up in PATH when it has no '/' or '\') and its arguments. environment:
// variables set on top of ours.
ChildEnd runToEnd(const std::vector<std::string>& words,
                  const std::vector<std::pair<std::string, std::string>>& environment,
                  const std::string& input, std::chrono::milliseconds timeout);

} // namespace fw::process
