// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Ipv4.h"
#include "common/MacAddress.h"
#include "discovery/SearchCountdown.h"
#include "discovery/SweepPacer.h"
#include "setip/FixedAddressCheck.h"
#include "upgrade/DeviceList.h"

#include <chrono>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace fw::cli {

// Exit statuses, the same for every command so that scripts can branch on them.
enum class ExitStatus : int {
    Ok = 0,       // devices found; address set; upload finished
    Negative = 1, // no device answered a search; the device refused; the device ended the upload
    Usage = 2,    // nothing was sent: bad arguments, no usable adapter, image refused, port taken
    NoAnswer = 3, // the device did not answer (or was not found)
    NotBack = 4,  // set-ip --verify: the device said OK but did not come back as asked
};

enum class OutputFormat { Table, Json, Csv };

// Where a command looks for devices beyond the broadcast: --target (an address, a block or a range,
// repeatable) and --targets-from FILE are sent the discovery request by unicast, --rate a second.
// The texts are read, and refused, when the command runs (CliTargets.h): only then are the
// adapters' subnets known.
struct TargetOptions {
    std::vector<std::string> targets;
    std::string targetsFrom;
    int rate = SweepPacer::kDefaultRate;
    bool force = false;     // beyond kTargetCap addresses
    bool broadcast = false; // also the broadcast search, which runs alone when no target is given
    bool operator==(const TargetOptions&) const = default;
    bool any() const { return !targets.empty() || !targetsFrom.empty(); }
};

struct SearchCommand {
    std::vector<std::string> interfaces; // empty: every usable adapter
    std::chrono::milliseconds timeout{SearchCountdown::kWait};
    OutputFormat format = OutputFormat::Table;
    TargetOptions targets;
    std::string inventory; // --inventory: the file the devices found are merged into
    bool operator==(const SearchCommand&) const = default;
};

struct SetIpCommand {
    MacAddress mac{};
    std::optional<FixedAddress> address; // none: switch the device to DHCP; a gateway not given is 0.0.0.0
    std::vector<std::string> interfaces;
    std::chrono::milliseconds timeout{2000}; // wait for an answer after each request
    int retries = 2;                         // further copies of the request when none came
    bool verify = false;                     // refuse a taken address; afterwards search for the device
    bool force = false;                      // with verify: set an address another device answers from
    std::chrono::milliseconds verifyTimeout{15000}; // how long the device has to answer from its new address
    TargetOptions targets;
    bool dryRun = false; // search and judge as a real run would, then stop before the request
    bool operator==(const SetIpCommand&) const = default;
};

// set-ip --plan FILE: every row of the plan its address, side by side on different adapters, with
// a report rewritten after every row.
struct SetIpPlanCommand {
    std::string planFile; // read when the command runs
    std::vector<std::string> interfaces;
    std::chrono::milliseconds timeout = SetIpCommand{}.timeout;
    int retries = SetIpCommand{}.retries;
    bool verify = false;
    bool force = false;
    std::chrono::milliseconds verifyTimeout = SetIpCommand{}.verifyTimeout;
    std::string report;   // --report: rewritten after every row
    std::string skipDone; // --skip-done: rows that report settled with the same values are left out
    int parallel = 1;
    OutputFormat format = OutputFormat::Table; // table or json
    TargetOptions targets;
    bool dryRun = false; // rows that would get a request end pending; no report is written
    bool operator==(const SetIpPlanCommand&) const = default;
};

struct UpgradeCommand {
    DeviceTarget target;
    std::string image;
    bool yes = false; // upload even when the image lacks the marker of the device's kind
    std::vector<std::string> interfaces;
    TargetOptions targets;
    bool dryRun = false; // find the device and check the image, then stop before the handshake
    bool operator==(const UpgradeCommand&) const = default;
};

enum class DoctorFormat { Text, Json };

struct DoctorCommand {
    std::vector<std::string> interfaces; // empty: every interface
    std::chrono::milliseconds timeout{SearchCountdown::kWait};
    DoctorFormat format = DoctorFormat::Text;
    bool operator==(const DoctorCommand&) const = default;
};

enum class WatchFormat { Table, Jsonl };

struct WatchCommand {
    std::vector<std::string> interfaces; // empty: every usable adapter
    std::chrono::milliseconds interval{10000};
    int missed = 3; // searches without an answer before a device is gone
    WatchFormat format = WatchFormat::Table;
    TargetOptions targets;
    std::string inventory;                           // --inventory: every search merged into it
    std::vector<std::string> onEvent;                // --on-event: the hook's words
    std::chrono::milliseconds onEventTimeout{10000}; // after which the hook is ended
    std::string metricsHost;                         // --metrics-listen; port 0: none
    int metricsPort = 0;
    std::string textfile; // --textfile: the folder
    bool operator==(const WatchCommand&) const = default;
};

enum class InventoryAction { List, Name, Note, Forget };
enum class InventoryFormat { Table, Csv, Json, Jsonl };

// inventory list|name|note|forget --inventory FILE: the inventory file read, or the operator's edits.
struct InventoryCommand {
    InventoryAction action = InventoryAction::List;
    std::string file;
    MacAddress mac{}; // name, note, forget
    std::string text; // name, note: empty clears it
    InventoryFormat format = InventoryFormat::Table;
    bool onlyNew = false;  // first seen since `since` (by default the last 24 hours)
    bool onlyGone = false; // counted gone by the last watch
    std::string since;     // list: read when the command runs (relative times count from then)
    bool operator==(const InventoryCommand&) const = default;
};

// upgrade IMAGE with --device, --from, --all-ap or --all-bridge: a rollout over several devices,
// one after another (or side by side, --per-adapter of them on one adapter), each awaited back after
// its upload.
struct RolloutCommand {
    std::string image;
    std::vector<DeviceTarget> devices; // --device, in the order given
    std::string fromFile;              // --from: read when the command runs
    bool allAp = false;
    bool allBridge = false;
    std::string report;   // --report: rewritten after every device
    std::string skipDone; // --skip-done: devices done with this image in that report are left out
    int parallel = 1;
    int perAdapter = 1;                           // uploads at once on one adapter, sharing its port 14321
    std::chrono::milliseconds backTimeout{60000}; // for the device to restart and answer a search again
    bool noRestart = false; // the devices do not restart after an upload: any answer means back
    bool yes = false;
    std::vector<std::string> interfaces;
    TargetOptions targets;
    bool dryRun = false; // devices that would get the image end pending; no report is written
    OutputFormat format = OutputFormat::Table; // table or json (the report's document)
    bool operator==(const RolloutCommand&) const = default;
};

using Command = std::variant<SearchCommand, SetIpCommand, UpgradeCommand, DoctorCommand, WatchCommand,
                             RolloutCommand, SetIpPlanCommand, InventoryCommand>;

// What the command line asks for. Help and Version carry the text to print on stdout; Error carries
// the message for stderr (exit 2).
struct ParsedCommandLine {
    enum class Kind { Run, Help, Version, Error };
    Kind kind = Kind::Error;
    std::optional<Command> command;
    std::string text;
};

// argv (program name first) to a command or a message; sends nothing and reads no file.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments);

std::string versionText();

} // namespace fw::cli
