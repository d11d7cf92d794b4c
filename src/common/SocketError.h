// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/AdapterEntry.h"

#include <system_error>

namespace fw {

// Why a socket could not be bound or used. PortInUse: another socket holds the port on that
// adapter (EADDRINUSE); NoSuchAdapter: the adapter's interface is gone (ENODEV); System: anything
// else, with the system's reason in `code` (its message() is the system's text). `adapter`: the
// one the socket was to be tied to, where a job binds on several (a search); empty otherwise.
struct SocketError {
    enum class Kind { PortInUse, NoSuchAdapter, System };
    Kind kind = Kind::System;
    std::error_code code;
    AdapterEntry adapter{};

    static SocketError from(std::error_code code) {
        if (code == std::errc::address_in_use) {
            return {Kind::PortInUse, code};
        }
        if (code == std::errc::no_such_device) {
            return {Kind::NoSuchAdapter, code};
        }
        return {Kind::System, code};
    }
    bool operator==(const SocketError&) const = default;
};

} // namespace fw
