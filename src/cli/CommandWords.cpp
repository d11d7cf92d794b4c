// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandWords.h"

namespace fw::cli {

Result<std::vector<std::string>, std::string> commandWords(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord) {
                words.push_back(std::move(word));
                word.clear();
                inWord = false;
            }
            continue;
        }
        inWord = true;
        if (c == '\'' || c == '"') {
            const auto close = line.find(c, i + 1);
            std::size_t end = i + 1;
            if (c == '\'') {
                if (close == std::string_view::npos) {
                    return Failure{std::string("the quote ' is not closed")};
                }
                word += line.substr(i + 1, close - i - 1);
                i = close;
                continue;
            }
            for (; end < line.size() && line[end] != '"'; ++end) {
                if (line[end] == '\\' && end + 1 < line.size() &&
                    (line[end + 1] == '"' || line[end + 1] == '\\')) {
                    ++end;
                }
                word += line[end];
            }
            if (end >= line.size()) {
                return Failure{std::string("the quote \" is not closed")};
            }
            i = end;
            continue;
        }
        word += c;
    }
    if (inWord) {
        words.push_back(std::move(word));
    }
    if (words.empty()) {
        return Failure{std::string("no command given")};
    }
    return words;
}

} // namespace fw::cli
