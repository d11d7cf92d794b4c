// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "doctor/DoctorFacts.h"
#include "doctor/DoctorRules.h"

#include <string>
#include <vector>

namespace fw::doctor {

// Everything a doctor run found, ready to be shown.
struct DoctorReport {
    DoctorFacts facts;
    std::vector<InterfaceState> states; // one per facts.interfaces entry
    std::vector<Finding> findings;
    int status = 0; // exitStatusFor(findings)
};

DoctorReport makeReport(DoctorFacts facts);

// A readable account: interfaces, firewall, probe, then each finding with its fix.
std::string formatText(const DoctorReport& report);
// One JSON object; the field names are documented in README.md ("fernwick-cli doctor").
std::string formatJson(const DoctorReport& report);

} // namespace fw::doctor
