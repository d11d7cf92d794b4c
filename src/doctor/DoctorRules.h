// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Result.h"
#include "doctor/DoctorFacts.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fw::doctor {

// What a search makes of an interface. NoCarrier is searched (nothing can answer there);
enum class InterfaceState { Usable, NoCarrier, Down, NoIpv4, Loopback, PointToPoint, DialUp };

bool isSearched(InterfaceState state);
std::string_view stateName(InterfaceState state);
// "off", "strict", "loose" (or "invalid" for values the kernel would not take).
std::string_view reversePathMode(int value);

// One state per interface, by the same rules and order as the search's adapter table.
std::vector<InterfaceState> classifyInterfaces(const std::vector<InterfaceFacts>& interfaces,
                                               ListingPath path);

// Info explains; a warning may keep a device from being listed; a problem does.
enum class Severity { Info, Warning, Problem };
std::string_view severityName(Severity severity);

struct Finding {
    Severity severity = Severity::Info;
    std::string code;          // stable identifier, e.g. "rp-filter-strict"
    std::string interfaceName; // empty when it concerns the host as a whole
    std::optional<SeenAnswer> device;
    std::string message; // what it means for the user
    std::string fix;     // the command that fixes it; empty when there is none
};

std::vector<Finding> findingsFor(const DoctorFacts& facts, const std::vector<InterfaceState>& states);

// 0 when nothing was found, 1 when a warning or a problem was.
int exitStatusFor(const std::vector<Finding>& findings);

// One line for a search that got no answer on the adapter, when a blocker is known; none otherwise.
std::optional<std::string> searchHint(const std::string& interfaceName,
                                      const std::optional<ReversePathFilter>& rpFilter, bool carrier);

} // namespace fw::doctor
