// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace fw::doctor {

// Builds one JSON text with two-space indentation. Strings are taken as 8-bit text: bytes outside
// printable ASCII are written as \u00XX, so any interface or process name gives valid JSON.
class JsonWriter {
public:
    void beginObject(std::string_view key = {});
    void endObject();
    void beginArray(std::string_view key = {});
    void endArray();
    void value(std::string_view key, std::string_view text);
    void value(std::string_view key, const char* text) { value(key, std::string_view(text)); }
    void value(std::string_view key, long long number);
    void value(std::string_view key, int number) { value(key, static_cast<long long>(number)); }
    void value(std::string_view key, bool flag);
    void null(std::string_view key);

    const std::string& text() const { return out_; }

private:
    void open(std::string_view key);
    void raw(std::string_view key, std::string_view literal);
    void close(char bracket);

    std::string out_;
    int depth_ = 0;
    bool first_ = true;
};

} // namespace fw::doctor
