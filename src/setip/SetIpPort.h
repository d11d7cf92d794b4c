// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/AdapterEntry.h"
#include "common/Ipv4.h"
#include "common/MacAddress.h"
#include "setip/FixedAddressCheck.h"
#include "setip/SetIpExchange.h"

#include <optional>
#include <system_error>

namespace fw {

// The Set IP dialog's way to its socket (port 4001 on one adapter) and the run's exchange, which
// live on the engine's thread. Calls return at once; what the engine answers comes back to the
// Listener later, on the GUI thread, and never after the port is gone.
class SetIpPort {
public:
    // A done answer's acknowledgement and where it goes (port 4000), as the engine's driver gives it.
    struct Acknowledgement {
        SetIpRecord record;
        Ipv4 to;
    };
    struct Answer {
        SetIpAnswer answer;
        std::optional<Acknowledgement> acknowledgement; // done only
    };
    // The socket could not be bound. portInUse: another program holds 4001 (EADDRINUSE).
    struct BindFailure {
        bool portInUse = false;
        std::error_code code;
    };

    class Listener {
    public:
        virtual void answered(const Answer& answer) = 0;
        virtual void bindFailed(const BindFailure& failure) = 0;

    protected:
        ~Listener() = default;
    };

    virtual ~SetIpPort() = default;

    // Opens the run's exchange for the device on the adapter at index and binds the socket there
    // (nothing to bind with no adapters; requests then go nowhere).
    virtual void open(const AdapterTable& adapters, std::optional<Ipv4> localAdapterIp, int index,
                      const MacAddress& device, Listener& listener) = 0;
    // A new request number, then the request; useNumber() takes the number alone.
    virtual void useNumber() = 0;
    virtual void sendFixed(const FixedAddress& fixed) = 0;
    virtual void sendDhcp() = 0;
    // Sends an acknowledgement an answer brought; nothing once closed.
    virtual void acknowledge(const Acknowledgement& acknowledgement) = 0;
    // Releases the socket; nothing more is sent or answered. Twice is harmless.
    virtual void close() = 0;
};

} // namespace fw
