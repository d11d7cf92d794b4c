// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliInventory.h"

#include "cli/CommandWords.h"
#include "cli/DeviceReport.h"
#include "cli/InventoryFile.h"
#include "common/DeviceText.h"

#include <cstdio>

namespace fw::cli {
namespace {

using Time = KnownDevices::Time;

inline constexpr std::array kInventoryFormats{Named<InventoryFormat>{"table", InventoryFormat::Table},
                                              Named<InventoryFormat>{"csv", InventoryFormat::Csv},
                                              Named<InventoryFormat>{"json", InventoryFormat::Json},
                                              Named<InventoryFormat>{"jsonl", InventoryFormat::Jsonl}};
inline constexpr std::array kActions{Named<InventoryAction>{"list", InventoryAction::List},
                                     Named<InventoryAction>{"name", InventoryAction::Name},
                                     Named<InventoryAction>{"note", InventoryAction::Note},
                                     Named<InventoryAction>{"forget", InventoryAction::Forget}};

constexpr auto kNewByDefault = std::chrono::hours(24); // --new without --since

constexpr std::array kInventoryOptions{
    OptionRow{"--inventory", "FILE", "the inventory file (required)"},
    OptionRow{"-f,--format", "F", "list: table, csv, json or jsonl",
              [] {
                  return nameOf(kInventoryFormats, InventoryCommand{}.format);
              }},
    OptionRow{"--new", "", "list: only devices first seen since --since (by default the last 24 h)"},
    OptionRow{"--gone", "", "list: only devices a watch counted gone"},
    OptionRow{"--since", "TIME",
              "list: only devices seen since TIME: 2026-03-01, 2026-03-01T09:30:00Z\n"
              "(UTC), or 30m, 12h, 7d ago"},
};

ParsedCommandLine parseInventory(const Options& o) {
    InventoryCommand c;
    const auto& args = o.positionals();
    if (args.empty()) {
        return o.failure("no action given (list, name, note or forget)");
    }
    const auto action =
        std::find_if(kActions.begin(), kActions.end(), [&](const auto& a) { return a.name == args[0]; });
    if (action == kActions.end()) {
        return o.failure("unknown action " + quoted(args[0]) + " (list, name, note or forget)");
    }
    c.action = action->value;
    const std::size_t wanted = c.action == InventoryAction::List     ? 1
                               : c.action == InventoryAction::Forget ? 2
                                                                     : 3;
    if (args.size() < wanted) {
        return o.failure(args[0] + ": " +
                         (args.size() == 1 ? "no MAC given" : "no text given (\"\" clears it)"));
    }
    if (args.size() > wanted) {
        return o.failure("unexpected argument " + quoted(args[wanted]));
    }
    if (c.action != InventoryAction::List) {
        const auto mac = macInAnyForm(args[1]);
        if (!mac) {
            return o.failure(quoted(args[1]) + " is not a MAC address (00:0a:1b:2c:3d:4e, 00-0A-1B-2C-3D-4E, "
                                               "000a.1b2c.3d4e or 000A1B2C3D4E)");
        }
        c.mac = *mac;
        c.text = wanted == 3 ? args[2] : std::string();
        for (const std::string_view listOnly : {"format", "new", "gone", "since"}) {
            if (o.isSet(listOnly)) {
                return o.failure("--" + std::string(listOnly) + " is for list only");
            }
        }
    }
    if (!o.isSet("inventory")) {
        return o.failure("--inventory FILE is required");
    }
    if (auto e = inventoryOption(o, c.file)) {
        return *e;
    }
    if (auto e = o.choice(kInventoryFormats, c.format)) {
        return *e;
    }
    c.onlyNew = o.isSet("new");
    c.onlyGone = o.isSet("gone");
    c.since = o.value("since");
    if (o.isSet("since") && c.since.empty()) {
        return o.failure("--since: the time is empty");
    }
    return toRun(c);
}

// --since as written: a date, a UTC time, or a span back from now.
std::optional<Time> sinceTime(const std::string& text, Time now) {
    if (const auto at = parseUtc(text)) {
        return at;
    }
    if (const auto day = parseUtc(text + "T00:00:00Z")) {
        return day;
    }
    if (text.size() >= 2) {
        const auto n = numberIn<unsigned>(text.substr(0, text.size() - 1));
        const char unit = text.back();
        const long long perUnit = unit == 'm' ? 60 : unit == 'h' ? 3600 : unit == 'd' ? 86400 : 0;
        if (n && perUnit > 0) {
            return now - std::chrono::seconds(static_cast<long long>(*n) * perUnit);
        }
    }
    return std::nullopt;
}

std::string csvCell(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) {
        return s;
    }
    std::string out = "\"";
    for (const char c : s) {
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return out + "\"";
}

// The operator's texts in a table: one line each, nothing for the terminal to obey.
std::string tableText(const std::string& utf8) {
    std::string out;
    for (const char c : utf8) {
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? ' ' : c;
    }
    return out;
}

std::string listed(const KnownDevices& devices, const InventoryCommand& c, Time since) {
    std::vector<std::pair<MacAddress, const KnownDevices::Device*>> shown;
    for (const auto& [mac, d] : devices.devices()) {
        if ((c.onlyNew && d.firstSeen < since) || (c.onlyGone && !d.gone) ||
            (!c.onlyNew && !c.since.empty() && d.lastSeen < since)) {
            continue;
        }
        shown.emplace_back(mac, &d);
    }
    KnownDevices subset;
    for (const auto& [mac, d] : shown) {
        subset.put(mac, *d);
    }
    switch (c.format) {
    case InventoryFormat::Json:
    case InventoryFormat::Jsonl: {
        const auto all = nlohmann::ordered_json::parse(inventoryText(subset))["devices"];
        if (c.format == InventoryFormat::Json) {
            return all.empty() ? "[\n]\n"
                               : all.dump(4, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
        }
        std::string lines;
        for (const auto& d : all) {
            lines += d.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
        }
        return lines;
    }
    case InventoryFormat::Csv: {
        std::string text =
            "mac,name,note,state,ip,adapter,first_seen,last_seen,device_name,essid,channel,wep,kind\n";
        for (const auto& [mac, d] : shown) {
            const std::vector<std::string> cells{formatMac(mac),
                                                 d->name,
                                                 d->note,
                                                 d->gone ? "gone" : "up",
                                                 d->row.ip.toString(),
                                                 d->adapter,
                                                 utcText(d->firstSeen),
                                                 utcText(d->lastSeen),
                                                 deviceTextToUtf8(d->row.name),
                                                 deviceTextToUtf8(d->row.essId),
                                                 std::to_string(d->row.channel),
                                                 d->row.wep ? "on" : "off",
                                                 kindName(d->row)};
            for (std::size_t i = 0; i < cells.size(); ++i) {
                text += (i == 0 ? "" : ",") + csvCell(cells[i]);
            }
            text += "\n";
        }
        return text;
    }
    case InventoryFormat::Table:
        break;
    }
    if (shown.empty()) {
        return {};
    }
    std::vector<std::vector<std::string>> lines{
        {"MAC", "NAME", "STATE", "IP", "ADAPTER", "FIRST SEEN", "LAST SEEN", "DEVICE", "NOTE"}};
    for (const auto& [mac, d] : shown) {
        lines.push_back({formatMac(mac), tableText(d->name), d->gone ? "gone" : "up", d->row.ip.toString(),
                         d->adapter, utcText(d->firstSeen), utcText(d->lastSeen), printableText(d->row.name),
                         tableText(d->note)});
    }
    return alignedLines(lines);
}

} // namespace

std::optional<ParsedCommandLine> inventoryOption(const Options& o, std::string& into) {
    if (auto e = fileNames(o, {"inventory"})) {
        return e;
    }
    into = o.value("inventory");
    return std::nullopt;
}

std::optional<ParsedCommandLine> hookOptions(const Options& o, WatchCommand& into) {
    if (o.isSet("on-event")) {
        const auto words = commandWords(o.value("on-event"));
        if (!words) {
            return o.failure("--on-event: " + words.error());
        }
        into.onEvent = *words;
    }
    if (auto e = o.seconds("on-event-timeout", into.onEventTimeout)) {
        return e;
    }
    if (o.isSet("on-event-timeout") && !o.isSet("on-event")) {
        return o.failure("--on-event-timeout needs --on-event");
    }
    return std::nullopt;
}

const CommandSpec kInventorySpec{
    CommandRow{
        "inventory", "list the devices an inventory file keeps; name, note or forget one",
        R"(fernwick-cli inventory list --inventory FILE [--format table|csv|json|jsonl] [--new] [--gone] [--since TIME]
       fernwick-cli inventory name MAC TEXT --inventory FILE
       fernwick-cli inventory note MAC TEXT --inventory FILE
       fernwick-cli inventory forget MAC --inventory FILE)",
        R"(The inventory is the file that 'watch --inventory' and 'search --inventory' keep: every device
ever seen, by MAC, with first and last seen (UTC), its last address, adapter and fields, whether a
watch counted it gone, and your own name and note for it. list reads it (a watch may be writing it
meanwhile); name, note and forget change it and are refused while another program writes it (stop
the watch first). An empty TEXT clears the name or note. A MAC is written in any usual form:
00:0a:1b:2c:3d:4e, 00-0A-1B-2C-3D-4E, 000a.1b2c.3d4e or 000A1B2C3D4E. Nothing is sent.)",
        R"(Exit status: 0 done, 2 bad arguments, or the file is missing, in use by another writer, not an
inventory or of a newer format (it is left untouched), or could not be saved, 3 no device with that MAC in
the inventory.)",
        kInventoryOptions},
    parseInventory};

asio::awaitable<ExitStatus> run(CliContext& ctx, const InventoryCommand& command) {
    const Time now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    if (command.action == InventoryAction::List) {
        const auto since =
            command.since.empty() ? std::optional<Time>(now - kNewByDefault) : sinceTime(command.since, now);
        if (!since) {
            ctx.console.err("inventory: --since: " + quoted(command.since) +
                            " is neither a date, a UTC time (2026-03-01T09:30:00Z) nor 30m, 12h or 7d");
            co_return ExitStatus::Usage;
        }
        const auto devices = InventoryFile::read(command.file);
        if (!devices) {
            ctx.console.err(devices.error());
            co_return ExitStatus::Usage;
        }
        const std::string text = listed(*devices, command, *since);
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
        co_return ExitStatus::Ok;
    }
    auto file = InventoryFile::openForWriting(command.file, "fernwick-cli inventory");
    if (!file) {
        ctx.console.err(file.error());
        co_return ExitStatus::Usage;
    }
    KnownDevices& devices = file->devices();
    const bool found = command.action == InventoryAction::Name   ? devices.setName(command.mac, command.text)
                       : command.action == InventoryAction::Note ? devices.setNote(command.mac, command.text)
                                                                 : devices.forget(command.mac);
    if (!found) {
        ctx.console.err("inventory: " + formatMac(command.mac) + " is not in the inventory '" + command.file +
                        "'");
        co_return ExitStatus::NoAnswer;
    }
    if (const auto saved = file->save(); !saved) {
        ctx.console.err(saved.error());
        co_return ExitStatus::Usage;
    }
    co_return ExitStatus::Ok;
}

} // namespace fw::cli
