// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace fw {

// One visitor for std::visit out of one lambda per alternative.
template <class... F> struct Overloaded : F... { using F::operator()...; };
template <class... F> Overloaded(F...) -> Overloaded<F...>;

} // namespace fw
