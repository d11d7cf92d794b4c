// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/AdapterEntry.h"
#include "common/Ipv4.h"
#include "common/MacAddress.h"
#include "common/SocketError.h"
#include "setip/FixedAddressCheck.h"
#include "setip/SetIpExchange.h"

#include <chrono>
#include <optional>
#include <variant>

namespace fw {

// Set IP on port 4001 of one adapter, as the command line and the Set IP dialog ask for it. The
// command line sends one request and waits for its answer; the dialog holds a session: the port
// bound while it is open, a request per OK press, the answers as they come.
struct SetIpJob {
    // A done answer's acknowledgement and where it goes (port 4000): the broadcast address, or the
    // answer's sender when the device is reached by unicast (it took its new address before
    // answering).
    struct Acknowledgement {
        SetIpRecord record;
        Ipv4 to;
    };
    struct Answer {
        SetIpAnswer answer;
        std::optional<Acknowledgement> acknowledgement; // done only
    };
    // The command line's one request: none is DHCP; sent again up to `retries` times, each copy
    // waiting `timeout` for the answer, which is acknowledged at once.
    struct Once {
        std::optional<FixedAddress> fixed;
        int retries = 0;
        std::chrono::milliseconds timeout{0};
    };
    struct Request {
        AdapterTable adapters; // the exchange's; the port is bound on adapters[index] (none: nothing)
        int index = 0;
        MacAddress device{};
        std::optional<Ipv4> unicast; // the device's address, for one behind a router
        std::optional<Once> once;    // none: a session, until cancelled
    };

    // A session's commands: a new request number alone (an OK press refused before sending), a new
    // number and the request (none: DHCP), or an answer's acknowledgement.
    struct UseNumber {};
    struct Send {
        std::optional<FixedAddress> fixed;
    };
    using Command = std::variant<UseNumber, Send, Acknowledgement>;

    // A session's news: the port could not be bound (said once; requests then go nowhere), or an
    // answer to the latest request.
    using Event = std::variant<SocketError, Answer>;

    // A request's end: the port could not be bound, or the answer (none: no answer came).
    struct Outcome {
        std::optional<SocketError> bindFailure;
        std::optional<SetIpAnswer> answer;
    };
};

} // namespace fw
