// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandLine.h"

#include "Version.h"
#include "cli/CliDoctor.h"
#include "cli/CliInventory.h"
#include "cli/CliSearch.h"
#include "cli/CliSetIp.h"
#include "cli/CliUpgrade.h"
#include "cli/CliWatch.h"
#include "cli/CommandOptions.h"

#include <array>

namespace fw::cli {
namespace {

constexpr std::string_view kProgramDescription =
    "Finds, addresses and upgrades wireless LAN devices on the local segments.";
constexpr std::string_view kProgramFooter =
    R"(Exit status: 0 success, 1 no device / refused / device error, 2 bad arguments, nothing
could be sent or another program holds UDP port 4001 on an adapter, 3 no answer from the device,
4 (set-ip --verify) the device said OK but did not come back as asked.)";

// Every command, in the order the general help lists them; each file holds its own (set-ip's
// parser also reads a plan's options, upgrade's a rollout's).
constexpr std::array<const CommandSpec*, 6> kCommands{&kSearchSpec, &kSetIpSpec, &kUpgradeSpec,
                                                      &kDoctorSpec, &kWatchSpec, &kInventorySpec};

} // namespace

std::string versionText() {
    return std::string("fernwick-cli ") + FERNWICK_VERSION + "\n";
}

ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    if (arguments.size() < 2) {
        return error({}, "no command given (search, set-ip, upgrade, doctor, watch or inventory)");
    }
    const std::string& first = arguments[1];
    const std::vector<std::string> rest(arguments.begin() + 2, arguments.end());
    if (first == "-h" || first == "--help" || first == "help") {
        if (first == "help" && !rest.empty()) {
            return parseCommandLine({arguments[0], rest[0], "--help"});
        }
        return {
            ParsedCommandLine::Kind::Help, std::nullopt,
            generalHelp(kCommands, "fernwick-cli COMMAND [OPTIONS]", kProgramDescription, kProgramFooter)};
    }
    if (first == "-V" || first == "--version") {
        return {ParsedCommandLine::Kind::Version, std::nullopt, versionText()};
    }
    for (const CommandSpec* command : kCommands) {
        if (first == command->row.name) {
            Options o(command->row);
            if (auto e = o.parse(rest)) {
                return *e;
            }
            return command->parse(o);
        }
    }
    if (first.starts_with('-')) {
        return error({}, "unknown option " + quoted(first) + " (a command comes first)");
    }
    return error({}, "unknown command " + quoted(first) +
                         " (search, set-ip, upgrade, doctor, watch or inventory)");
}

} // namespace fw::cli
