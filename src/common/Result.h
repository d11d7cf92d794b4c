// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <type_traits>
#include <utility>
#include <variant>

namespace fw {

// The error side of a Result, so that `return Failure{error};` reads as what it is.
template <class E> struct Failure { E error; };
template <class E> Failure(E) -> Failure<E>;

// A value or the typed reason it could not be had: the one way an operation that can fail reports.
// The subset of C++23's std::expected that this code uses (g++ 12 has <expected>, but the clang 14
// of the fuzzers and clang-tidy does not), so that a later switch is a rename.
template <class T, class E> class [[nodiscard]] Result {
public:
    Result(T value)
        : state_(std::in_place_index<0>, std::move(value)) {} // NOLINT(google-explicit-constructor)
    template <class F>
    requires std::is_convertible_v<F, E> Result(Failure<F> failure) // NOLINT(google-explicit-constructor)
        : state_(std::in_place_index<1>, E(std::move(failure.error))) {}

    bool has_value() const { return state_.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const E& error() const { return std::get<1>(state_); }

private:
    std::variant<T, E> state_;
};

// An operation that yields nothing but can fail.
struct Done {
    bool operator==(const Done&) const = default;
};

template <class E> using Status = Result<Done, E>;

} // namespace fw
