// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace fw {

// While it lives, a console shows the UTF-8 text the program writes. Windows' console reads
// output in its own code page (the OEM one) unless told; the console's code page outlives the
// program, so the one found is put back. Elsewhere the terminal's encoding is left alone.
class Utf8Console {
public:
    Utf8Console();
    ~Utf8Console();
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    unsigned previous_ = 0; // the console's output code page; 0: none changed
};

} // namespace fw
