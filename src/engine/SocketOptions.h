// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <system_error>

namespace fw::engine {

// The operating system's part of an adapter's endpoint, one small file per system.

// Ties the unbound socket to the adapter's interface, so that it sends out of that adapter only
// and its port is taken on that adapter only.
std::error_code tieToAdapter(int socket, const std::string& interfaceName);
// Asks for a receive buffer of `bytes`, as far as the system grants it.
void growReceiveBuffer(int socket, int bytes);

} // namespace fw::engine
