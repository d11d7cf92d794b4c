// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "common/Ipv4.h"
#include "common/MacAddress.h"
#include "setip/SetIpExchange.h"
#include "upgrade/TftpUpload.h"

#include <optional>
#include <string>

namespace fw::cli {

// What an outcome comes to on the command line: the exit status and the line that says so, on
// stdout (a result) or on stderr (a diagnostic). The one place where outcomes become words.
struct Verdict {
    ExitStatus status = ExitStatus::Ok;
    std::string text;
    bool isResult = false; // stdout
};

// The device's answer to Set IP (strings 39/40 and 43/44), or none after `requests` requests.
Verdict setIpVerdict(const std::optional<SetIpAnswer>& answer, const MacAddress& mac, int requests);
// The same for requests sent by unicast to the device at `to`, which may be behind a router: its
// answer is a broadcast that does not cross one, so no answer does not mean nothing was set.
// verifying: the device is checked at its new address next.
Verdict setIpVerdict(const std::optional<SetIpAnswer>& answer, const MacAddress& mac, int requests, Ipv4 to,
                     bool verifying);

// How an upload ended (string 25, 26, 201-208 and the CLI's own words; Stalled: it was stopped
// because the device acknowledged a block never sent); portProblem: why port 14321 could not be used.
Verdict uploadVerdict(const TftpUpload::Result& result, const std::string& portProblem);

// The line on its stream. With a label (a rollout's device) it goes first and the line is a
// diagnostic.
void say(Console& console, const Verdict& verdict, const std::string& label = {});

} // namespace fw::cli
