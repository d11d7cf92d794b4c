// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandLine.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace fw::cli {

// What the commands' option tables are made of, and the parser that reads one command's options
// by CLI11 from its table: each command's file holds its table, its parse and its coroutine.

inline constexpr double kMaxTimeoutSeconds = 3600;
inline constexpr int kMaxRetries = 100;

template <typename T> struct Named {
    std::string_view name;
    T value;
};
inline constexpr std::array kOutputFormats{Named<OutputFormat>{"table", OutputFormat::Table},
                                           Named<OutputFormat>{"json", OutputFormat::Json},
                                           Named<OutputFormat>{"csv", OutputFormat::Csv}};
inline constexpr std::array kPlanFormats{Named<OutputFormat>{"table", OutputFormat::Table},
                                         Named<OutputFormat>{"json", OutputFormat::Json}};
inline constexpr std::array kDoctorFormats{Named<DoctorFormat>{"text", DoctorFormat::Text},
                                           Named<DoctorFormat>{"json", DoctorFormat::Json}};
inline constexpr std::array kWatchFormats{Named<WatchFormat>{"table", WatchFormat::Table},
                                          Named<WatchFormat>{"jsonl", WatchFormat::Jsonl}};

template <typename T, std::size_t N> std::string nameOf(const std::array<Named<T>, N>& names, T value) {
    const auto it = std::find_if(names.begin(), names.end(), [&](const auto& n) { return n.value == value; });
    return it == names.end() ? std::string() : std::string(it->name);
}

// The shortest text that reads back as the same number: 3, 0.2, 3600.
std::string number(double n);
std::string seconds(std::chrono::milliseconds ms);

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

class Options;

// A command as the command line knows it: its help and options, and its parser, given its
// options once read (CommandLine.cpp lists every command's).
struct CommandSpec {
    CommandRow row;
    ParsedCommandLine (*parse)(const Options& options);
};

// Options that several commands take.
inline constexpr OptionRow kInterface{"-i,--interface", "IF",
                                      "search on this adapter only (repeat for several)", nullptr, true};

// Where the device or devices are looked for beyond the broadcast (TargetOptions).
inline constexpr OptionRow kTarget{"--target", "T",
                                   "send the discovery request by unicast to T: an address, a block\n"
                                   "A/N or a range A-B, also behind a router (repeat for several); a\n"
                                   "device that answers only by broadcast is not reached that way",
                                   nullptr, true};
inline constexpr OptionRow kTargetsFrom{"--targets-from", "FILE",
                                        "the targets from a file, one a line (# comments)"};
inline constexpr OptionRow kRate{"--rate", "N", "unicast requests to the targets a second", [] {
                                     return std::to_string(TargetOptions{}.rate);
                                 }};
inline constexpr OptionRow kTargetCapForce{"--force", "",
                                           "send to targets of more than a /12 (1048576 addresses)"};
inline constexpr OptionRow kBroadcast{"--broadcast", "",
                                      "with targets: also the broadcast search on the adapters"};
inline constexpr OptionRow kDryRun{"--dry-run", "",
                                   "search and judge as a real run would, but send nothing to a device\n"
                                   "and write no report (rows that would be sent end \"pending\")"};

// "search: message" and the hint to --help, for stderr (exit 2).
ParsedCommandLine error(std::string_view command, const std::string& message);
// The command to run.
ParsedCommandLine toRun(Command command);
std::string quoted(const std::string& text);
std::string_view longName(std::string_view names);
// The help's layout: CLI11 lists the options; the usage lines and the description come first.
std::shared_ptr<CLI::Formatter> helpLayout(std::string_view usage, std::string_view description);

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

class Options {
public:
    explicit Options(const CommandRow& commandRow)
        : row_(commandRow), app_(std::string(), "fernwick-cli " + std::string(commandRow.name)) {
        app_.formatter(helpLayout(commandRow.usage, commandRow.description));
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

// The general help: the program's usage and every command's summary.
std::string generalHelp(std::span<const CommandSpec* const> commands, std::string_view usage,
                        std::string_view description, std::string_view footer);

// An argument where the command takes none.
std::optional<ParsedCommandLine> unexpected(const Options& o);
// --target, --targets-from, --rate, --broadcast and (unless the command's --force means more)
// --force; the targets themselves are read when the command runs.
std::optional<ParsedCommandLine> targetOptions(const Options& o, TargetOptions& into, bool ownForce = false);
// Each of these options, when given, names a file: an empty name is refused.
std::optional<ParsedCommandLine> fileNames(const Options& o, std::initializer_list<std::string_view> names);

// A plan's or a rollout's last options, --format (table or json) and --dry-run; then the command.
template <typename Command> ParsedCommandLine withFormatAndDryRun(const Options& o, Command c) {
    if (auto e = o.choice(kPlanFormats, c.format)) {
        return *e;
    }
    c.dryRun = o.isSet("dry-run");
    return toRun(c);
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
    return toRun(c);
}

} // namespace fw::cli
