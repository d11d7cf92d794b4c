// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Console.h"

#include "platform/Terminal.h"

namespace fw::cli {

Console::Console(std::FILE* out, std::FILE* err)
    : out_(out), err_(err), terminal_(terminal::isTerminal(err) && terminal::isTerminal(out)) {}

void Console::write(std::FILE* stream, std::string_view text) {
    if (progressShown_) {
        endProgress();
    }
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

void Console::out(std::string_view line) {
    write(out_, line);
}

void Console::err(std::string_view line) {
    write(err_, "fernwick-cli: " + std::string(line));
}

void Console::note(std::string_view line) {
    write(err_, line);
}

int Console::width() const {
    return terminal::columns(err_);
}

void Console::progress(std::string_view text) {
    if (!terminal_ || (progressShown_ && text == lastProgress_)) {
        return;
    }
    lastProgress_ = text;
    // Carriage return, the text, then clear to the end of the line.
    std::fputc('\r', err_);
    std::fwrite(text.data(), 1, text.size(), err_);
    std::fputs("\x1b[K", err_);
    std::fflush(err_);
    progressShown_ = true;
}

void Console::endProgress() {
    if (progressShown_) {
        progressShown_ = false;
        std::fputc('\n', err_);
        std::fflush(err_);
    }
}

} // namespace fw::cli
