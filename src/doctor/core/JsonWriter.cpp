// SPDX-License-Identifier: GPL-3.0-or-later
#include "doctor/core/JsonWriter.h"

#include <array>

namespace fw::doctor {
namespace {

void quote(std::string& out, std::string_view text) {
    constexpr std::array<char, 16> kHex{'0', '1', '2', '3', '4', '5', '6', '7',
                                        '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
    out += '"';
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u >= 0x7F) {
            out += "\\u00";
            out += kHex[u >> 4];
            out += kHex[u & 0x0F];
        } else {
            out += c;
        }
    }
    out += '"';
}

} // namespace

void JsonWriter::open(std::string_view key) {
    if (depth_ > 0) {
        out_ += first_ ? "\n" : ",\n";
        out_.append(static_cast<std::size_t>(depth_) * 2, ' ');
    }
    first_ = false;
    if (!key.empty()) {
        quote(out_, key);
        out_ += ": ";
    }
}

void JsonWriter::raw(std::string_view key, std::string_view literal) {
    open(key);
    out_ += literal;
}

void JsonWriter::close(char bracket) {
    --depth_;
    if (!first_) {
        out_ += '\n';
        out_.append(static_cast<std::size_t>(depth_) * 2, ' ');
    }
    out_ += bracket;
    first_ = false;
    if (depth_ == 0) {
        out_ += '\n';
    }
}

void JsonWriter::beginObject(std::string_view key) {
    raw(key, "{");
    ++depth_;
    first_ = true;
}

void JsonWriter::endObject() {
    close('}');
}

void JsonWriter::beginArray(std::string_view key) {
    raw(key, "[");
    ++depth_;
    first_ = true;
}

void JsonWriter::endArray() {
    close(']');
}

void JsonWriter::value(std::string_view key, std::string_view text) {
    open(key);
    quote(out_, text);
}

void JsonWriter::value(std::string_view key, long long number) {
    raw(key, std::to_string(number));
}

void JsonWriter::value(std::string_view key, bool flag) {
    raw(key, flag ? "true" : "false");
}

void JsonWriter::null(std::string_view key) {
    raw(key, "null");
}

} // namespace fw::doctor
