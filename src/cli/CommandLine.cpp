// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandLine.h"

#include "Version.h"
#include "common/AdapterEntry.h"
#include "setip/core/FixedAddressCheck.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>

namespace fw::cli {
namespace {

constexpr double kMaxTimeoutSeconds = 3600;
constexpr int kMaxRetries = 100;
constexpr double kLeastInterval = 0.2; // below it a watch's search would hardly wait for answers
constexpr std::string_view kNoGateway = "0.0.0.0";

template <typename T> struct Named {
    std::string_view name;
    T value;
};
constexpr std::array kOutputFormats{Named<OutputFormat>{"table", OutputFormat::Table},
                                    Named<OutputFormat>{"json", OutputFormat::Json},
                                    Named<OutputFormat>{"csv", OutputFormat::Csv}};
constexpr std::array kPlanFormats{Named<OutputFormat>{"table", OutputFormat::Table},
                                  Named<OutputFormat>{"json", OutputFormat::Json}};
constexpr std::array kDoctorFormats{Named<DoctorFormat>{"text", DoctorFormat::Text},
                                    Named<DoctorFormat>{"json", DoctorFormat::Json}};
constexpr std::array kWatchFormats{Named<WatchFormat>{"table", WatchFormat::Table},
                                   Named<WatchFormat>{"jsonl", WatchFormat::Jsonl}};

template <typename T, std::size_t N> std::string nameOf(const std::array<Named<T>, N>& names, T value) {
    const auto it = std::find_if(names.begin(), names.end(), [&](const auto& n) { return n.value == value; });
    return it == names.end() ? std::string() : std::string(it->name);
}

// The shortest text that reads back as the same number: 3, 0.2, 3600.
std::string number(double n) {
    std::array<char, 32> text{};
    return {text.data(), std::to_chars(text.data(), text.data() + text.size(), n).ptr};
}
std::string seconds(std::chrono::milliseconds ms) {
    return number(static_cast<double>(ms.count()) / 1000);
}

// One option of a command. The defaults are those of the command's struct; `shown` renders one.
struct OptionRow {
    std::string_view names; // as CLI11 takes them: "-i,--interface"
    std::string_view value; // the value's name in the help; empty for a flag
    std::string_view help;
    std::string (*shown)() = nullptr;
    bool repeatable = false;
};

struct CommandRow {
    std::string_view name;
    std::string_view summary; // its line in the general help
    std::string_view usage;
    std::string_view description;
    std::string_view footer;
    std::span<const OptionRow> options;
};

// The doctor checks what the system has, and its help says so in that system's terms.
#ifdef _WIN32
constexpr std::string_view kDoctorDescription =
    R"(Lists every adapter with the reason a search skips it and whether UDP port 4001 is free there
(naming the program that holds it; another user's program is named to an administrator), and runs
one search. Windows Firewall's rules are not read: it must let UDP 4001 and 14321 in. Every finding
comes with the command that fixes it.)";
#else
constexpr std::string_view kDoctorDescription =
    R"(Lists every interface with the reason a search skips it, its reverse-path filter and whether UDP
port 4001 is free there (naming the program that holds it), checks the nftables input chains
(as root), and runs one search: as root a packet socket on each adapter shows answers that reached
the wire but were dropped by this host. Every finding comes with the command that fixes it.)";
#endif

constexpr OptionRow kInterface{"-i,--interface", "IF", "search on this adapter only (repeat for several)",
                               nullptr, true};

// Where the device or devices are looked for beyond the broadcast (TargetOptions).
constexpr OptionRow kTarget{"--target", "T",
                            "send the discovery request by unicast to T: an address, a block\n"
                            "A/N or a range A-B, also behind a router (repeat for several); a\n"
                            "device that answers only by broadcast is not reached that way",
                            nullptr, true};
constexpr OptionRow kTargetsFrom{"--targets-from", "FILE",
                                 "the targets from a file, one a line (# comments)"};
constexpr OptionRow kRate{"--rate", "N", "unicast requests to the targets a second", [] {
                              return std::to_string(TargetOptions{}.rate);
                          }};
constexpr OptionRow kTargetCapForce{"--force", "", "send to targets of more than a /12 (1048576 addresses)"};
constexpr OptionRow kBroadcast{"--broadcast", "", "with targets: also the broadcast search on the adapters"};
constexpr OptionRow kDryRun{"--dry-run", "",
                            "search and judge as a real run would, but send nothing to a device\n"
                            "and write no report (rows that would be sent end \"pending\")"};

constexpr std::array kSearchOptions{
    kInterface,
    kTarget,
    kTargetsFrom,
    kRate,
    kTargetCapForce,
    kBroadcast,
    OptionRow{"-t,--timeout", "S", "seconds to wait for answers",
              [] {
                  return seconds(SearchCommand{}.timeout);
              }},
    OptionRow{"-f,--format", "F", "table, json or csv",
              [] {
                  return nameOf(kOutputFormats, SearchCommand{}.format);
              }},
};

constexpr std::array kSetIpOptions{
    OptionRow{"--dhcp", "", "switch the device to DHCP"},
    OptionRow{"--ip", "A", "the new address (first number not 0, last neither 0 nor 255)"},
    OptionRow{"--mask", "M", "the new subnet mask"},
    OptionRow{"--gateway", "G", "the new default gateway",
              [] {
                  return std::string(kNoGateway);
              }},
    OptionRow{"-i,--interface", "IF", "the adapter the device is on (otherwise a search finds it)", nullptr,
              true},
    OptionRow{"-t,--timeout", "S", "seconds to wait for an answer to each request",
              [] {
                  return seconds(SetIpCommand{}.timeout);
              }},
    OptionRow{"-r,--retries", "N", "further copies of the request when no answer came",
              [] {
                  return std::to_string(SetIpCommand{}.retries);
              }},
    OptionRow{"--verify", "",
              "first refuse an address another device answers from; after the\n"
              "device's OK, search until it answers from the new address (DHCP: from any)"},
    OptionRow{"--force", "",
              "with --verify: set the address even though another device answers\n"
              "from it; with targets: send to more than a /12 of them"},
    OptionRow{"--verify-timeout", "S", "seconds the device has to come back",
              [] {
                  return seconds(SetIpCommand{}.verifyTimeout);
              }},
    kTarget,
    kTargetsFrom,
    kRate,
    kBroadcast,
    OptionRow{"--plan", "FILE", "give every device of a CSV plan its address (mac,ip,mask,gateway,label)"},
    OptionRow{"--report", "FILE", "with --plan: write the plan's report as JSON, after every row"},
    OptionRow{"--skip-done", "FILE",
              "with --plan: leave out the rows that report settled with the same values"},
    OptionRow{"--parallel", "N", "with --plan: up to N requests at once, never two on one adapter",
              [] {
                  return std::to_string(SetIpPlanCommand{}.parallel);
              }},
    OptionRow{"-f,--format", "F", "with --plan: table or json (the report's rows)",
              [] {
                  return nameOf(kPlanFormats, SetIpPlanCommand{}.format);
              }},
    kDryRun,
};

constexpr std::array kUpgradeOptions{
    OptionRow{"-y,--yes", "", "upload even when the image does not carry the marker of the device's kind"},
    OptionRow{"-i,--interface", "IF", "look for the device on this adapter only (repeat for several)",
              nullptr, true},
    OptionRow{"--device", "D", "a device of the rollout, IP or MAC (repeat for several)", nullptr, true},
    OptionRow{"--from", "FILE", "the rollout's devices from a file"},
    OptionRow{"--all-ap", "", "every access point a search finds"},
    OptionRow{"--all-bridge", "", "every bridge (wireless adapter) a search finds"},
    OptionRow{"--report", "FILE", "write the rollout's report as JSON, after every device"},
    OptionRow{"--skip-done", "FILE", "leave out the devices that a report lists as done with this image"},
    OptionRow{"--parallel", "N", "up to N uploads at once, at most --per-adapter of them on one adapter",
              [] {
                  return std::to_string(RolloutCommand{}.parallel);
              }},
    OptionRow{"--per-adapter", "M", "up to M of the uploads on one adapter at once, 16 at most",
              [] {
                  return std::to_string(RolloutCommand{}.perAdapter);
              }},
    OptionRow{"--back-timeout", "S", "seconds a device has to restart and answer again",
              [] {
                  return seconds(RolloutCommand{}.backTimeout);
              }},
    OptionRow{"--no-restart", "",
              "the devices do not restart after an upload: an answer is enough to be done"},
    OptionRow{"-f,--format", "F", "with a rollout: table or json (the report's document)",
              [] {
                  return nameOf(kPlanFormats, RolloutCommand{}.format);
              }},
    kTarget,
    kTargetsFrom,
    kRate,
    kTargetCapForce,
    kBroadcast,
    kDryRun,
};

constexpr std::array kDoctorOptions{
    OptionRow{"-i,--interface", "IF", "look at this interface only (repeat for several)", nullptr, true},
    OptionRow{"-t,--timeout", "S", "seconds to wait for answers to the probe search",
              [] {
                  return seconds(DoctorCommand{}.timeout);
              }},
    OptionRow{"-f,--format", "F", "text or json",
              [] {
                  return nameOf(kDoctorFormats, DoctorCommand{}.format);
              }},
};

constexpr std::array kWatchOptions{
    OptionRow{"-n,--interval", "S", "seconds from one search to the next, at least 0.2",
              [] {
                  return seconds(WatchCommand{}.interval);
              }},
    OptionRow{"-m,--missed", "N", "searches without an answer before a device is gone",
              [] {
                  return std::to_string(WatchCommand{}.missed);
              }},
    kInterface,
    kTarget,
    kTargetsFrom,
    kRate,
    kTargetCapForce,
    kBroadcast,
    OptionRow{"-f,--format", "F",
              "table (a live view on a terminal, one line per event otherwise) or\n"
              "jsonl (one JSON object per event, with \"time\" and \"event\")",
              [] {
                  return nameOf(kWatchFormats, WatchCommand{}.format);
              }},
};

constexpr std::array kCommands{
    CommandRow{
        "search", "list every device that answers a discovery broadcast",
        R"(fernwick-cli search [--interface IF]... [--timeout SECONDS] [--format table|json|csv]
       fernwick-cli search --target T... [--targets-from FILE] [--rate N] [--force] [--broadcast] [OPTIONS])",
        R"(Broadcasts one discovery request on every usable adapter and lists each device that answers:
name, ip, essid, channel, wep, mac, kind (ap or adapter) and the local adapter it answered on.

With --target or --targets-from the request goes instead by unicast to each target address, paced
at --rate a second, out of the adapter the route to it leaves by, so devices behind routers
answer too (a /16 takes about half a minute at the default rate); --broadcast adds the
broadcast search. The timeout counts from the last request. A device that answers only by
broadcast cannot be reached across a router. Refused (exit 2, nothing sent): loopback,
multicast, 0.0.0.0/8, 255.255.255.255, a connected subnet's network or broadcast address, and
more than a /12 of addresses without --force. Addresses without a route out of a searched
adapter are skipped, and counted on stderr.)",
        R"(Exit status: 0 at least one device answered, 1 none did, 2 bad arguments, a refused target, no
usable adapter, nothing could be sent or UDP port 4001 held by another program on a searched adapter.)",
        kSearchOptions},
    CommandRow{
        "set-ip", "give one device, named by its MAC address, a fixed address or DHCP",
        R"(fernwick-cli set-ip MAC (--dhcp | --ip A --mask M [--gateway G]) [OPTIONS]
       fernwick-cli set-ip --plan FILE [--report FILE] [--skip-done FILE] [--parallel N] [OPTIONS])",
        R"(Broadcasts a Set IP request naming the device by its MAC (00-0A-1B-2C-3D-4E or 00:0a:1b:2c:3d:4e),
so a device on a foreign subnet is reached too, and prints its answer. An address one of this
host's adapters holds is refused before anything is sent (exit 2, even with --force).

The second form gives every device of a plan its address: CSV with a header naming the columns
mac, ip, mask, gateway and optionally label, one row per device, "dhcp" in ip for DHCP, # comments.
Every bad row (unknown column, bad MAC or address, two rows for one MAC, two MACs for one address)
is named with its line before anything is sent. One search finds the devices; each row's request
goes from its device's adapter, side by side on different adapters with --parallel. At the end a
table (or with --format json the report's rows) gives each row's state:
  done          the device said OK (with --verify: and answers from the planned address, alone)
  unchanged     it already answered from the planned address, alone: no request was sent
  not-found     no search listed it
  refused       the device refused the request
  timed-out     no answer to the request and its copies
  not-back      (--verify) it said OK but did not answer from the planned address in time
  taken         (--verify) another device answers from the address: one not in the plan
                (nothing was sent), or any other still after the device took it
  host-address  one of this host's adapters holds the address: nothing was sent
  not-sent      UDP port 4001 unusable on its adapter, or the run stopped because its report
                could not be written
  pending       (--dry-run) it would be sent the request
The report must be writable as for an upgrade rollout; --skip-done carries over the rows an
earlier report lists as done or unchanged with the same address, mask and gateway.)",
        R"(Exit status: 0 done (with --verify: and back as asked; a plan: every row done or unchanged),
1 refused (a plan: a row neither done nor unchanged, or the report could not be written), 2 bad
arguments or plan, UDP port 4001 in use, the address is this host's or (--verify) taken, 3 no
answer, 4 the device said OK but did not come back as asked.)",
        kSetIpOptions},
    CommandRow{
        "upgrade", "upload a firmware image to one device by TFTP, or roll it out to many",
        R"(fernwick-cli upgrade (IP|MAC) IMAGE [--yes] [--interface IF]...
       fernwick-cli upgrade IMAGE (--device D... | --from FILE | --all-ap | --all-bridge) [OPTIONS])",
        R"(Finds the device by a search, checks the image against the device's kind, sends the handshake and
uploads the image by TFTP (about 13 s of device preparation come first).

The second form is a rollout: every named device (IP or MAC), every one listed in FILE (one a line,
# comments) or every access point or bridge a search finds gets the image, one after another; a
device named twice is one device. After its upload each device must restart (stop answering
searches) and answer a search again by its MAC, within the back timeout, before it counts as done.
At the end a table lists each device's state, bytes, seconds, retransmissions and timeouts:
  done           uploaded, restarted and answering again
  refused        the device answered the write request with a TFTP error
  device-error   the device ended the transfer later with an error (its text is given)
  timed-out      the device stopped answering during the transfer
  not-restarted  uploaded, but it answered throughout the back timeout: it did not restart
  not-back       uploaded, but it did not answer again within the back timeout
  not-found      no search listed it
  skipped        the image lacks the marker of its kind and --yes was not given
  not-sent       nothing sent: local UDP port 14321 unusable (another rollout on the adapter?),
                 or the rollout stopped because its report could not be written
  pending        (--dry-run) it would get the image
The report must be writable: a missing folder, the image, the --from file or an existing file that
is not a rollout report is refused before anything is sent. Earlier done devices of --skip-done
stay in the report whatever this run's devices are. A report that cannot be written later ends the
rollout after the uploads under way.)",
        R"(Exit status: 0 "Data transmit finish" (a rollout: every device done), 1 the device ended the
upload (its text is printed; a rollout: a device not done, or the report could not be written),
2 bad arguments, image refused or (one device) local UDP port 14321 in use, 3 "Time Out" or the
device was not found.)",
        kUpgradeOptions},
    CommandRow{"doctor", "tell why a device does not answer, and how to fix it",
               "fernwick-cli doctor [--interface IF]... [--timeout SECONDS] [--format text|json]",
               kDoctorDescription, "Exit status: 0 nothing found, 1 a problem found, 2 could not run.",
               kDoctorOptions},
    CommandRow{
        "watch", "search again and again; report devices appearing, changing, going, and conflicts",
        "fernwick-cli watch [--interval S] [--missed N] [--interface IF]... [--format table|jsonl]",
        R"(Searches every S seconds until interrupted (Ctrl+C ends it with status 0) and knows devices by MAC,
so two devices answering from one address are both seen. Each search waits for answers for half
the interval, at most 3 s; between searches no socket is held, so other commands can run beside it.
Reports: appeared, changed (the fields, old and new), gone (after N searches without an answer), and
the warnings duplicate-ip (two devices answer from one address on one adapter), foreign-subnet (the
address lies in no subnet of the adapter it answered on: it needs Set IP) and mac-on-two-adapters
(one MAC answers on two adapters: bridged segments or a loop). duplicate-ip counts only devices
that answered that search. When a local adapter's address changes, that is one adapter-changed
(the adapter's name, old and new address); its devices are not reported changed. With --target
every search also sweeps the targets as 'search --target' does (a sweep longer than the interval
delays the next search), and a device found at a target address is not foreign-subnet.)",
        "Exit status: 0 ended by SIGINT or SIGTERM, 2 bad arguments, bad targets or no usable adapter.",
        kWatchOptions},
};

constexpr std::string_view kProgramDescription =
    "Finds, addresses and upgrades wireless LAN devices on the local segments.";
constexpr std::string_view kProgramFooter =
    R"(Exit status: 0 success, 1 no device / refused / device error, 2 bad arguments, nothing
could be sent or another program holds UDP port 4001 on an adapter, 3 no answer from the device,
4 (set-ip --verify) the device said OK but did not come back as asked.)";

// The help's layout: CLI11 lists the options; the usage lines and the description come first.
class HelpLayout final : public CLI::Formatter {
public:
    HelpLayout(std::string_view usage, std::string_view description)
        : usage_(usage), description_(description) {
        column_width(24);
        label("Subcommands", "Commands");
    }
    std::string make_description(const CLI::App* /*app*/) const override { return {}; }
    std::string make_positionals(const CLI::App* /*app*/) const override { return {}; }
    std::string make_usage(const CLI::App* /*app*/, std::string /*name*/) const override {
        return "Usage: " + usage_ + "\n\n" + description_ + "\n";
    }

private:
    std::string usage_;
    std::string description_;
};

ParsedCommandLine error(std::string_view command, const std::string& message) {
    const std::string prefix = command.empty() ? std::string() : std::string(command) + ": ";
    return {ParsedCommandLine::Kind::Error, std::nullopt,
            prefix + message + "\nTry 'fernwick-cli " +
                (command.empty() ? std::string() : std::string(command) + " ") + "--help'."};
}

ParsedCommandLine run(Command command) {
    return {ParsedCommandLine::Kind::Run, std::move(command), {}};
}

std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

std::string_view longName(std::string_view names) {
    return names.substr(names.find("--") + 2);
}

// A number as an operator types it: blanks around it and a leading '+' are fine, nothing else is.
template <typename T> std::optional<T> numberIn(std::string text) {
    const auto first = text.find_first_not_of(" \t\n\r\f\v");
    const auto last = text.find_last_not_of(" \t\n\r\f\v");
    if (first == std::string::npos) {
        return std::nullopt;
    }
    text = text.substr(first, last - first + 1);
    if (text.starts_with('+')) {
        text.erase(0, 1);
    }
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// One command's options, parsed by CLI11 from the command's table.
class Options {
public:
    explicit Options(const CommandRow& commandRow)
        : row_(commandRow), app_(std::string(), "fernwick-cli " + std::string(commandRow.name)) {
        app_.formatter(std::make_shared<HelpLayout>(commandRow.usage, commandRow.description));
        app_.footer(std::string(commandRow.footer));
        app_.set_help_flag("-h,--help", "show this help");
        app_.allow_extras(); // unknown options are named below, as this program always has
        // Only - and -- start an option on every system: on Windows "/tmp/ap.bin" is a path too.
        app_.allow_windows_style_options(false);
        for (const OptionRow& o : commandRow.options) {
            std::string help(o.help);
            if (o.shown != nullptr) {
                help += " (default " + o.shown() + ")";
            }
            CLI::Option* option =
                o.value.empty() ? app_.add_flag(std::string(o.names))
                                : app_.add_option(std::string(o.names))->type_name(std::string(o.value));
            option->description(help)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
        }
        app_.add_option("arguments", positionals_);
    }

    // Help, or the error; none when the command's options and arguments were read.
    std::optional<ParsedCommandLine> parse(std::vector<std::string> args) {
        for (std::size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
            if (const OptionRow* o = named(args[i]); o != nullptr && !o->value.empty()) {
                ++i; // its value, whatever it looks like
                continue;
            }
            // --name=value: split here, so that "--from=" is an empty value as with any parser.
            const auto equals = args[i].find('=');
            if (!args[i].starts_with("--") || equals == std::string::npos) {
                continue;
            }
            const std::string name = args[i].substr(0, equals);
            if (const OptionRow* o = named(name); o != nullptr && o->value.empty()) {
                return failure("Unexpected value after '" + name + "'.");
            }
            args.insert(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args[i].substr(equals + 1));
            args[i] = name;
            ++i;
        }
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        try {
            app_.parse(reversed);
        } catch (const CLI::CallForHelp&) {
            // CLI11 stops at --help; a wrong option given with it is still the answer.
            return misuse().value_or(
                ParsedCommandLine{ParsedCommandLine::Kind::Help, std::nullopt, app_.help()});
        } catch (const CLI::ArgumentMismatch&) {
            return failure("Missing value after '" + args.back() + "'.");
        } catch (const CLI::Error& e) {
            return failure(e.what());
        }
        return misuse();
    }

    ParsedCommandLine failure(const std::string& message) const { return error(row_.name, message); }

    bool isSet(std::string_view name) const { return option(name)->count() > 0; }
    std::vector<std::string> values(std::string_view name) const { return option(name)->results(); }
    std::string value(std::string_view name) const {
        const auto v = values(name);
        return v.empty() ? std::string() : v.front();
    }
    const std::vector<std::string>& positionals() const { return positionals_; }
    std::vector<std::string> interfaces() const { return values("interface"); }

    // Fails with the message when the text is not a duration.
    std::optional<ParsedCommandLine> seconds(std::string_view name, std::chrono::milliseconds& into,
                                             double least = 0) const {
        if (!isSet(name)) {
            return std::nullopt;
        }
        const std::string text = value(name);
        const auto s = numberIn<double>(text);
        if (!s || !std::isfinite(*s) || (least > 0 ? *s < least : *s <= 0) || *s > kMaxTimeoutSeconds) {
            return failure("--" + std::string(name) + ": " + quoted(text) + " is not a number of seconds " +
                           (least > 0 ? "from " : "between ") + number(least) +
                           (least > 0 ? " to " : " and ") + number(kMaxTimeoutSeconds));
        }
        into = std::chrono::milliseconds(std::max<long long>(1, std::llround(*s * 1000)));
        return std::nullopt;
    }
    // Fails with the message when the text is not a whole number from least to most.
    std::optional<ParsedCommandLine> count(std::string_view name, int& into, int least, int most) const {
        if (!isSet(name)) {
            return std::nullopt;
        }
        const std::string text = value(name);
        const auto n = numberIn<int>(text);
        if (!n || *n < least || *n > most) {
            return failure("--" + std::string(name) + ": " + quoted(text) + " is not a count from " +
                           std::to_string(least) + " to " + std::to_string(most));
        }
        into = *n;
        return std::nullopt;
    }
    // Fails with the message when the text is none of the names.
    template <typename T, std::size_t N>
    std::optional<ParsedCommandLine> choice(const std::array<Named<T>, N>& names, T& into) const {
        if (!isSet("format")) {
            return std::nullopt;
        }
        const std::string f = value("format");
        const auto it = std::find_if(names.begin(), names.end(), [&](const auto& n) { return n.name == f; });
        if (it == names.end()) {
            std::string all;
            for (const auto& n : names) {
                all += (all.empty() ? "" : ", ") + std::string(n.name);
            }
            return failure("--format: " + quoted(f) + " is not one of " + all);
        }
        into = it->value;
        return std::nullopt;
    }

private:
    // An unknown option (named as this program always has), or a single-valued one given twice.
    std::optional<ParsedCommandLine> misuse() const {
        std::vector<std::string> unknown;
        for (const std::string& extra : app_.remaining()) {
            if (extra != "--") {
                unknown.push_back(extra.substr(extra.find_first_not_of('-'),
                                               extra.find('=') - extra.find_first_not_of('-')));
            }
        }
        if (unknown.size() == 1) {
            return failure("Unknown option '" + unknown.front() + "'.");
        }
        if (!unknown.empty()) {
            std::string names;
            for (const std::string& u : unknown) {
                names += (names.empty() ? "" : ", ") + u;
            }
            return failure("Unknown options: " + names + ".");
        }
        for (const OptionRow& o : row_.options) {
            if (!o.repeatable && !o.value.empty() && values(longName(o.names)).size() > 1) {
                return failure("--" + std::string(longName(o.names)) + " given more than once");
            }
        }
        return std::nullopt;
    }

    // The option an argument names as a whole ("-i", "--interface"), if any.
    const OptionRow* named(std::string_view arg) const {
        const auto it = std::find_if(row_.options.begin(), row_.options.end(), [&](const OptionRow& o) {
            return (arg.starts_with("--") && longName(o.names) == arg.substr(2)) ||
                   (arg.size() == 2 && o.names.starts_with(arg) && o.names[2] == ',');
        });
        return it == row_.options.end() ? nullptr : &*it;
    }
    const CLI::Option* option(std::string_view name) const {
        return app_.get_option("--" + std::string(name));
    }

    const CommandRow& row_;
    CLI::App app_;
    std::vector<std::string> positionals_;
};

const CommandRow& commandRow(std::string_view name) {
    return *std::find_if(kCommands.begin(), kCommands.end(),
                         [&](const CommandRow& c) { return c.name == name; });
}

std::string generalHelp() {
    CLI::App app(std::string(), "fernwick-cli");
    app.formatter(std::make_shared<HelpLayout>("fernwick-cli COMMAND [OPTIONS]", kProgramDescription));
    app.footer(std::string(kProgramFooter));
    app.set_help_flag("-h,--help", "show this help (fernwick-cli COMMAND --help for a command's options)");
    app.set_version_flag("-V,--version", std::string(), "show the version");
    for (const CommandRow& c : kCommands) {
        app.add_subcommand(std::string(c.name), std::string(c.summary))->group("Commands");
    }
    return app.help();
}

std::optional<ParsedCommandLine> unexpected(const Options& o) {
    if (!o.positionals().empty()) {
        return o.failure("unexpected argument " + quoted(o.positionals().front()));
    }
    return std::nullopt;
}

// --target, --targets-from, --rate, --broadcast and (unless the command's --force means more)
// --force; the targets themselves are read when the command runs.
std::optional<ParsedCommandLine> targetOptions(const Options& o, TargetOptions& into, bool ownForce = false) {
    into.targets = o.values("target");
    if (o.isSet("targets-from") && o.value("targets-from").empty()) {
        return o.failure("--targets-from: the file name is empty");
    }
    into.targetsFrom = o.value("targets-from");
    if (auto e = o.count("rate", into.rate, 1, SweepPacer::kMaxRate)) {
        return e;
    }
    into.force = o.isSet("force");
    into.broadcast = o.isSet("broadcast");
    for (const std::string_view name : {"rate", "broadcast", "force"}) {
        if (!into.any() && o.isSet(name) && !(ownForce && name == "force")) {
            return o.failure("--" + std::string(name) + " needs --target or --targets-from");
        }
    }
    return std::nullopt;
}

// search and doctor take the same options: --interface (repeatable), --timeout and --format.
template <typename Command, typename Format, std::size_t N>
ParsedCommandLine parseListing(const Options& o, const std::array<Named<Format>, N>& formats) {
    Command c;
    if (auto e = unexpected(o)) {
        return *e;
    }
    c.interfaces = o.interfaces();
    if (auto e = o.seconds("timeout", c.timeout)) {
        return *e;
    }
    if (auto e = o.choice(formats, c.format)) {
        return *e;
    }
    if constexpr (std::is_same_v<Command, SearchCommand>) {
        if (auto e = targetOptions(o, c.targets)) {
            return *e;
        }
    }
    return run(c);
}

// The options only a plan takes, and those a plan replaces.
constexpr std::array<std::string_view, 5> kPlanOnly{"report", "skip-done", "parallel", "format", "plan"};
constexpr std::array<std::string_view, 4> kOneDevice{"dhcp", "ip", "mask", "gateway"};

ParsedCommandLine parseSetIpPlan(const Options& o) {
    if (!o.positionals().empty()) {
        return o.failure("unexpected argument " + quoted(o.positionals().front()) +
                         " (a plan names its devices)");
    }
    for (const std::string_view name : kOneDevice) {
        if (o.isSet(name)) {
            return o.failure("--plan cannot be combined with --" + std::string(name));
        }
    }
    SetIpPlanCommand c;
    for (const char* name : {"plan", "report", "skip-done"}) {
        if (o.isSet(name) && o.value(name).empty()) {
            return o.failure(std::string("--") + name + ": the file name is empty");
        }
    }
    c.planFile = o.value("plan");
    c.report = o.value("report");
    c.skipDone = o.value("skip-done");
    c.interfaces = o.interfaces();
    c.verify = o.isSet("verify");
    c.force = o.isSet("force");
    if (auto e = targetOptions(o, c.targets, true)) {
        return *e;
    }
    if (!c.verify && ((c.force && !c.targets.any()) || o.isSet("verify-timeout"))) {
        return o.failure("--force and --verify-timeout need --verify");
    }
    for (auto e : {o.seconds("timeout", c.timeout), o.seconds("verify-timeout", c.verifyTimeout),
                   o.count("retries", c.retries, 0, kMaxRetries),
                   // One request per adapter, and a search uses kMaxAdapters at most.
                   o.count("parallel", c.parallel, 1, static_cast<int>(kMaxAdapters))}) {
        if (e) {
            return *e;
        }
    }
    if (auto e = o.choice(kPlanFormats, c.format)) {
        return *e;
    }
    c.dryRun = o.isSet("dry-run");
    return run(c);
}

ParsedCommandLine parseSetIp(const Options& o) {
    if (o.isSet("plan")) {
        return parseSetIpPlan(o);
    }
    for (const std::string_view name : kPlanOnly) {
        if (o.isSet(name)) {
            return o.failure("--" + std::string(name) + " needs --plan");
        }
    }
    const auto& args = o.positionals();
    if (args.empty()) {
        return o.failure("the device's MAC address is missing");
    }
    if (args.size() > 1) {
        return o.failure("unexpected argument " + quoted(args[1]));
    }
    SetIpCommand c;
    const auto mac = parseMac(args[0]);
    if (!mac) {
        return o.failure(quoted(args[0]) + " is not a MAC address (write it like 00-0A-1B-2C-3D-4E)");
    }
    c.mac = *mac;

    const bool dhcp = o.isSet("dhcp");
    const bool anyStatic = o.isSet("ip") || o.isSet("mask") || o.isSet("gateway");
    if (dhcp && anyStatic) {
        return o.failure("--dhcp cannot be combined with --ip, --mask or --gateway");
    }
    if (!dhcp && !anyStatic) {
        return o.failure("give either --dhcp or --ip and --mask");
    }
    if (!dhcp) {
        if (!o.isSet("ip")) {
            return o.failure("--ip is missing (--mask and --gateway need it)");
        }
        if (!o.isSet("mask")) {
            return o.failure("--mask is missing");
        }
        // The same judgement as the dialog: the address must be one a device can take; mask and
        // gateway need only be addresses.
        const std::string ip = o.value("ip");
        const std::string mask = o.value("mask");
        const std::string gateway = o.isSet("gateway") ? o.value("gateway") : std::string(kNoGateway);
        const auto parsedIp = Ipv4::parse(ip);
        if (!parsedIp || !isAcceptableDeviceAddress(*parsedIp)) {
            return o.failure("--ip " + quoted(ip) + " is not a valid IP address");
        }
        if (!Ipv4::parse(mask)) {
            return o.failure("--mask " + quoted(mask) + " is not a valid IP address");
        }
        if (!Ipv4::parse(gateway)) {
            return o.failure("--gateway " + quoted(gateway) + " is not a valid IP address");
        }
        const auto fixed = checkFixedAddress(ip, mask, gateway);
        if (!fixed) {
            return o.failure(notValidIpMessage(fixed.error().typed).text);
        }
        c.address = StaticAddress{fixed->address, fixed->mask, fixed->gateway};
    }
    c.interfaces = o.interfaces();
    if (auto e = o.seconds("timeout", c.timeout)) {
        return *e;
    }
    if (auto e = o.count("retries", c.retries, 0, kMaxRetries)) {
        return *e;
    }
    c.verify = o.isSet("verify");
    c.force = o.isSet("force");
    if (auto e = targetOptions(o, c.targets, true)) {
        return *e;
    }
    if (!c.verify && ((c.force && !c.targets.any()) || o.isSet("verify-timeout"))) {
        return o.failure("--force and --verify-timeout need --verify");
    }
    if (auto e = o.seconds("verify-timeout", c.verifyTimeout)) {
        return *e;
    }
    c.dryRun = o.isSet("dry-run");
    return run(c);
}

ParsedCommandLine parseWatch(const Options& o) {
    if (auto e = unexpected(o)) {
        return *e;
    }
    WatchCommand c;
    c.interfaces = o.interfaces();
    if (auto e = o.seconds("interval", c.interval, kLeastInterval)) {
        return *e;
    }
    if (auto e = o.count("missed", c.missed, 1, kMaxRetries)) {
        return *e;
    }
    if (auto e = o.choice(kWatchFormats, c.format)) {
        return *e;
    }
    if (auto e = targetOptions(o, c.targets)) {
        return *e;
    }
    return run(c);
}

std::optional<DeviceTarget> deviceTarget(const std::string& text) {
    if (const auto ip = Ipv4::parse(text)) {
        return *ip;
    }
    if (const auto mac = parseMac(text)) {
        return *mac;
    }
    return std::nullopt;
}

ParsedCommandLine notADevice(const Options& o, const std::string& text) {
    return o.failure(quoted(text) + " is neither an IPv4 address nor a MAC address");
}

// The options that choose a rollout's devices, and those that only a rollout takes.
constexpr std::array<std::string_view, 4> kRolloutChoices{"device", "from", "all-ap", "all-bridge"};
constexpr std::array<std::string_view, 7> kRolloutOnly{
    "report", "skip-done", "parallel", "per-adapter", "back-timeout", "no-restart", "format"};
// Uploads on one adapter at once, all from its one port 14321.
constexpr int kMaxPerAdapter = 16;

ParsedCommandLine parseRollout(const Options& o) {
    const auto& args = o.positionals();
    if (args.empty() || args[0].empty()) {
        return o.failure("the image file is missing");
    }
    if (args.size() > 1) {
        return o.failure("unexpected argument " + quoted(args[1]) + " (a rollout takes the image only)");
    }
    RolloutCommand c;
    c.image = args[0];
    for (const std::string& d : o.values("device")) {
        const auto target = deviceTarget(d);
        if (!target) {
            return notADevice(o, d);
        }
        c.devices.push_back(*target);
    }
    for (const char* name : {"from", "report", "skip-done"}) {
        if (o.isSet(name) && o.value(name).empty()) {
            return o.failure(std::string("--") + name + ": the file name is empty");
        }
    }
    c.fromFile = o.value("from");
    c.allAp = o.isSet("all-ap");
    c.allBridge = o.isSet("all-bridge");
    c.report = o.value("report");
    c.skipDone = o.value("skip-done");
    // A search uses kMaxAdapters at most, each with at most kMaxPerAdapter uploads.
    if (auto e = o.count("parallel", c.parallel, 1, static_cast<int>(kMaxAdapters) * kMaxPerAdapter)) {
        return *e;
    }
    if (auto e = o.count("per-adapter", c.perAdapter, 1, kMaxPerAdapter)) {
        return *e;
    }
    if (auto e = o.seconds("back-timeout", c.backTimeout)) {
        return *e;
    }
    c.noRestart = o.isSet("no-restart");
    c.yes = o.isSet("yes");
    c.interfaces = o.interfaces();
    if (auto e = targetOptions(o, c.targets)) {
        return *e;
    }
    if (auto e = o.choice(kPlanFormats, c.format)) {
        return *e;
    }
    c.dryRun = o.isSet("dry-run");
    return run(c);
}

ParsedCommandLine parseUpgrade(const Options& o) {
    if (std::any_of(kRolloutChoices.begin(), kRolloutChoices.end(), [&](auto n) { return o.isSet(n); })) {
        return parseRollout(o);
    }
    for (const std::string_view name : kRolloutOnly) {
        if (o.isSet(name)) {
            return o.failure("--" + std::string(name) + " needs --device, --from, --all-ap or --all-bridge");
        }
    }
    const auto& args = o.positionals();
    if (args.size() < 2) {
        return o.failure(args.empty() ? "the device (IP or MAC) and the image are missing"
                                      : "the image file is missing");
    }
    if (args.size() > 2) {
        return o.failure("unexpected argument " + quoted(args[2]));
    }
    UpgradeCommand c;
    const auto target = deviceTarget(args[0]);
    if (!target) {
        return notADevice(o, args[0]);
    }
    c.target = *target;
    if (args[1].empty()) {
        return o.failure("the image path is empty");
    }
    c.image = args[1];
    c.yes = o.isSet("yes");
    c.interfaces = o.interfaces();
    if (auto e = targetOptions(o, c.targets)) {
        return *e;
    }
    c.dryRun = o.isSet("dry-run");
    return run(c);
}

// Each command's parser, given its options once read.
constexpr std::array<std::pair<std::string_view, ParsedCommandLine (*)(const Options&)>, 5> kParsers{{
    {"search",
     [](const Options& o) {
         return parseListing<SearchCommand>(o, kOutputFormats);
     }},
    {"set-ip", parseSetIp},
    {"upgrade", parseUpgrade},
    {"doctor",
     [](const Options& o) {
         return parseListing<DoctorCommand>(o, kDoctorFormats);
     }},
    {"watch", parseWatch},
}};

} // namespace

std::string versionText() {
    return std::string("fernwick-cli ") + FERNWICK_VERSION + "\n";
}

ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    if (arguments.size() < 2) {
        return error({}, "no command given (search, set-ip, upgrade, doctor or watch)");
    }
    const std::string& first = arguments[1];
    const std::vector<std::string> rest(arguments.begin() + 2, arguments.end());
    if (first == "-h" || first == "--help" || first == "help") {
        if (first == "help" && !rest.empty()) {
            return parseCommandLine({arguments[0], rest[0], "--help"});
        }
        return {ParsedCommandLine::Kind::Help, std::nullopt, generalHelp()};
    }
    if (first == "-V" || first == "--version") {
        return {ParsedCommandLine::Kind::Version, std::nullopt, versionText()};
    }
    for (const auto& [name, parse] : kParsers) {
        if (first == name) {
            Options o(commandRow(name));
            if (auto e = o.parse(rest)) {
                return *e;
            }
            return parse(o);
        }
    }
    if (first.starts_with('-')) {
        return error({}, "unknown option " + quoted(first) + " (a command comes first)");
    }
    return error({}, "unknown command " + quoted(first) + " (search, set-ip, upgrade, doctor or watch)");
}

} // namespace fw::cli
