// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <utility>

namespace fw {

// An enum's written names (a report's states, say): one constexpr table read both ways.
template <class E, std::size_t N> using NameTable = std::array<std::pair<E, std::string_view>, N>;

// The name of a value the table lists.
template <class E, std::size_t N> std::string_view nameIn(const NameTable<E, N>& table, E value) {
    const auto it = std::find_if(table.begin(), table.end(), [&](const auto& e) { return e.first == value; });
    return it == table.end() ? std::string_view() : it->second;
}

// The value of a name, or none for a name the table does not list.
template <class E, std::size_t N>
std::optional<E> valueNamed(const NameTable<E, N>& table, std::string_view name) {
    const auto it = std::find_if(table.begin(), table.end(), [&](const auto& e) { return e.second == name; });
    return it == table.end() ? std::nullopt : std::optional<E>(it->first);
}

} // namespace fw
