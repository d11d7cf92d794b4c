// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandLine.h"

#include "Version.h"
#include "setip/core/FixedAddressCheck.h"

#include <QCommandLineParser>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace fw::cli {
namespace {

constexpr double kMaxTimeoutSeconds = 3600;
constexpr int kMaxRetries = 100;
constexpr int kMaxParallel = 11; // one upload per adapter, and a search uses eleven at most

const char* const kGeneralHelp = R"(Usage: fernwick-cli COMMAND [OPTIONS]

Finds, addresses and upgrades wireless LAN devices on the local segments.

Commands:
  search     list every device that answers a discovery broadcast
  set-ip     give one device, named by its MAC address, a fixed address or DHCP
  upgrade    upload a firmware image to one device by TFTP, or roll it out to many
  doctor     tell why a device does not answer, and how to fix it
  watch      search again and again; report devices appearing, changing, going, and conflicts

Options:
  -h, --help     show this help (fernwick-cli COMMAND --help for a command's options)
  -V, --version  show the version

Exit status: 0 success, 1 no device / refused / device error, 2 bad arguments, nothing
could be sent or another program holds UDP port 4001 on an adapter, 3 no answer from the device,
4 (set-ip --verify) the device said OK but did not come back as asked.
)";

const char* const kSearchHelp =
    R"(Usage: fernwick-cli search [--interface IF]... [--timeout SECONDS] [--format table|json|csv]

Broadcasts one discovery request on every usable adapter and lists each device that answers:
name, ip, essid, channel, wep, mac, kind (ap or adapter) and the local adapter it answered on.

Options:
  -i, --interface IF   search on this adapter only (repeat for several)
  -t, --timeout S      seconds to wait for answers (default 3)
  -f, --format F       table (default), json or csv
  -h, --help           show this help

Exit status: 0 at least one device answered, 1 none did, 2 bad arguments, no usable adapter or
UDP port 4001 held by another program on a searched adapter.
)";

const char* const kSetIpHelp =
    R"(Usage: fernwick-cli set-ip MAC (--dhcp | --ip A --mask M [--gateway G]) [OPTIONS]

Broadcasts a Set IP request naming the device by its MAC (00-0A-1B-2C-3D-4E or 00:0a:1b:2c:3d:4e),
so a device on a foreign subnet is reached too, and prints its answer. An address one of this
host's adapters holds is refused before anything is sent (exit 2, even with --force).

Options:
  --dhcp               switch the device to DHCP
  --ip A               the new address (first number not 0, last neither 0 nor 255)
  --mask M             the new subnet mask
  --gateway G          the new default gateway (default 0.0.0.0)
  -i, --interface IF   the adapter the device is on (otherwise a search finds it)
  -t, --timeout S      seconds to wait for an answer to each request (default 2)
  -r, --retries N      further copies of the request when no answer came (default 2)
  --verify             first refuse an address another device answers from; after the device's
                       OK, search until it answers from the new address (DHCP: from any)
  --force              with --verify: set the address even though another device answers from it
  --verify-timeout S   seconds the device has to come back (default 15)
  -h, --help           show this help

Exit status: 0 done (with --verify: and back as asked), 1 refused, 2 bad arguments, UDP port 4001
in use, the address is this host's or (--verify) taken, 3 no answer, 4 the device said OK but did
not come back as asked.
)";

const char* const kUpgradeHelp = R"(Usage: fernwick-cli upgrade (IP|MAC) IMAGE [--yes] [--interface IF]...
       fernwick-cli upgrade IMAGE (--device D... | --from FILE | --all-ap | --all-bridge) [OPTIONS]

Finds the device by a search, checks the image against the device's kind, sends the handshake and
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
The report must be writable: a missing folder, the image, the --from file or an existing file that
is not a rollout report is refused before anything is sent. Earlier done devices of --skip-done
stay in the report whatever this run's devices are. A report that cannot be written later ends the
rollout after the uploads under way.

Options:
  -y, --yes            upload even when the image does not carry the marker of the device's kind
  -i, --interface IF   look for the device on this adapter only (repeat for several)
  --device D           a device of the rollout, IP or MAC (repeat for several)
  --from FILE          the rollout's devices from a file
  --all-ap             every access point a search finds
  --all-bridge         every bridge (wireless adapter) a search finds
  --report FILE        write the rollout's report as JSON, after every device
  --skip-done FILE     leave out the devices that a report lists as done with this image
  --parallel N         up to N uploads at once, never two on one adapter (default 1)
  --back-timeout S     seconds a device has to restart and answer again (default 60)
  --no-restart         the devices do not restart after an upload: an answer is enough to be done
  -h, --help           show this help

Exit status: 0 "Data transmit finish" (a rollout: every device done), 1 the device ended the
upload (its text is printed; a rollout: a device not done, or the report could not be written),
2 bad arguments, image refused or (one device) local UDP port 14321 in use, 3 "Time Out" or the
device was not found.
)";

const char* const kDoctorHelp =
    R"(Usage: fernwick-cli doctor [--interface IF]... [--timeout SECONDS] [--format text|json]

Lists every interface with the reason a search skips it, its reverse-path filter and whether UDP
port 4001 is free there (naming the program that holds it), checks the nftables input chains
(as root), and runs one search: as root a packet socket on each adapter shows answers that reached
the wire but were dropped by this host. Every finding comes with the command that fixes it.

Options:
  -i, --interface IF   look at this interface only (repeat for several)
  -t, --timeout S      seconds to wait for answers to the probe search (default 3)
  -f, --format F       text (default) or json
  -h, --help           show this help

Exit status: 0 nothing found, 1 a problem found, 2 could not run.
)";

const char* const kWatchHelp =
    R"(Usage: fernwick-cli watch [--interval S] [--missed N] [--interface IF]... [--format table|jsonl]

Searches every S seconds until interrupted (Ctrl+C ends it with status 0) and knows devices by MAC,
so two devices answering from one address are both seen. Each search waits for answers for half
the interval, at most 3 s; between searches no socket is held, so other commands can run beside it.
Reports: appeared, changed (the fields, old and new), gone (after N searches without an answer), and
the warnings duplicate-ip (two devices answer from one address on one adapter), foreign-subnet (the
address lies in no subnet of the adapter it answered on: it needs Set IP) and mac-on-two-adapters
(one MAC answers on two adapters: bridged segments or a loop). duplicate-ip counts only devices
that answered that search. When a local adapter's address changes, that is one adapter-changed
(the adapter's name, old and new address); its devices are not reported changed.

Options:
  -n, --interval S     seconds from one search to the next (default 10, at least 0.2)
  -m, --missed N       searches without an answer before a device is gone (default 3)
  -i, --interface IF   search on this adapter only (repeat for several)
  -f, --format F       table (default: a live view on a terminal, one line per event otherwise) or
                       jsonl (one JSON object per event, with "time" and "event")
  -h, --help           show this help

Exit status: 0 ended by SIGINT or SIGTERM, 2 bad arguments or no usable adapter.
)";

ParsedCommandLine error(const QString& command, const QString& message) {
    const QString prefix = command.isEmpty() ? QString() : command + ": ";
    return {ParsedCommandLine::Kind::Error, std::nullopt,
            (prefix + message + "\nTry 'fernwick-cli " + (command.isEmpty() ? QString() : command + " ") +
             "--help'.")
                .toStdString()};
}

ParsedCommandLine help(const char* text) {
    return {ParsedCommandLine::Kind::Help, std::nullopt, text};
}

QString quoted(const QString& text) {
    return "'" + text + "'";
}

// The options of one command, with its parser. Checks that single-valued options came once.
class OptionSet {
public:
    explicit OptionSet(QString command) : command_(std::move(command)) {
        parser_.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
        add({{"h", "help"}, "help"});
    }
    void add(const QCommandLineOption& option) { parser_.addOption(option); }
    void flag(const QStringList& names) { add(QCommandLineOption(names, names.last())); }
    void value(const QStringList& names) { add(QCommandLineOption(names, names.last(), "value")); }

    std::optional<ParsedCommandLine> parse(const QStringList& rest, const std::vector<QString>& single) {
        if (!parser_.parse(QStringList{"fernwick-cli"} + rest)) {
            return error(command_, parser_.errorText());
        }
        for (const QString& name : single) {
            if (parser_.values(name).size() > 1) {
                return error(command_, "--" + name + " given more than once");
            }
        }
        return std::nullopt;
    }
    QCommandLineParser& parser() { return parser_; }
    const QString& command() const { return command_; }

    std::vector<std::string> interfaces() const {
        std::vector<std::string> out;
        for (const QString& v : parser_.values("interface")) {
            out.push_back(v.toStdString());
        }
        return out;
    }

    // Fails with the message when the text is not a duration.
    std::optional<ParsedCommandLine> timeout(std::chrono::milliseconds& into) const {
        return seconds("timeout", into);
    }
    std::optional<ParsedCommandLine> seconds(const QString& name, std::chrono::milliseconds& into,
                                             double least = 0) const {
        if (!parser_.isSet(name)) {
            return std::nullopt;
        }
        const QString text = parser_.value(name);
        bool ok = false;
        const double seconds = text.toDouble(&ok);
        if (!ok || !std::isfinite(seconds) || (least > 0 ? seconds < least : seconds <= 0) ||
            seconds > kMaxTimeoutSeconds) {
            return error(command_, "--" + name + ": " + quoted(text) + " is not a number of seconds " +
                                       (least > 0 ? "from " : "between ") + QString::number(least) +
                                       (least > 0 ? " to " : " and ") + QString::number(kMaxTimeoutSeconds));
        }
        into = std::chrono::milliseconds(std::max<long long>(1, std::llround(seconds * 1000)));
        return std::nullopt;
    }
    // Fails with the message when the text is not a whole number from least to most.
    std::optional<ParsedCommandLine> count(const QString& name, int& into, int least, int most) const {
        if (!parser_.isSet(name)) {
            return std::nullopt;
        }
        const QString text = parser_.value(name);
        bool ok = false;
        const int n = text.toInt(&ok, 10);
        if (!ok || n < least || n > most) {
            return error(command_, "--" + name + ": " + quoted(text) + " is not a count from " +
                                       QString::number(least) + " to " + QString::number(most));
        }
        into = n;
        return std::nullopt;
    }

private:
    QString command_;
    QCommandLineParser parser_;
};

ParsedCommandLine run(Command command) {
    return {ParsedCommandLine::Kind::Run, std::move(command), {}};
}

// search and doctor take the same options: --interface (repeatable), --timeout and --format, whose
// accepted names and values come from the command.
template <typename Command, typename Format, std::size_t N>
ParsedCommandLine parseListing(const char* name, const char* helpText, const QStringList& rest,
                               const std::array<std::pair<const char*, Format>, N>& formats) {
    OptionSet o(name);
    o.value({"i", "interface"});
    o.value({"t", "timeout"});
    o.value({"f", "format"});
    if (auto e = o.parse(rest, {"timeout", "format"})) {
        return *e;
    }
    if (o.parser().isSet("help")) {
        return help(helpText);
    }
    if (!o.parser().positionalArguments().isEmpty()) {
        return error(name, "unexpected argument " + quoted(o.parser().positionalArguments().first()));
    }
    Command c;
    c.interfaces = o.interfaces();
    if (auto e = o.timeout(c.timeout)) {
        return *e;
    }
    if (o.parser().isSet("format")) {
        const QString f = o.parser().value("format");
        const auto it =
            std::find_if(formats.begin(), formats.end(), [&](const auto& e) { return f == e.first; });
        if (it == formats.end()) {
            QStringList names;
            for (const auto& e : formats) {
                names << e.first;
            }
            return error(name, "--format: " + quoted(f) + " is not one of " + names.join(", "));
        }
        c.format = it->second;
    }
    return run(c);
}

ParsedCommandLine parseSearch(const QStringList& rest) {
    return parseListing<SearchCommand>("search", kSearchHelp, rest,
                                       std::array{std::pair{"table", OutputFormat::Table},
                                                  std::pair{"json", OutputFormat::Json},
                                                  std::pair{"csv", OutputFormat::Csv}});
}

ParsedCommandLine badMac(const QString& command, const QString& text) {
    return error(command, quoted(text) + " is not a MAC address (write it like 00-0A-1B-2C-3D-4E)");
}

ParsedCommandLine parseSetIp(const QStringList& rest) {
    OptionSet o("set-ip");
    o.flag({"dhcp"});
    o.value({"ip"});
    o.value({"mask"});
    o.value({"gateway"});
    o.value({"i", "interface"});
    o.value({"t", "timeout"});
    o.value({"r", "retries"});
    o.flag({"verify"});
    o.flag({"force"});
    o.value({"verify-timeout"});
    if (auto e = o.parse(rest, {"ip", "mask", "gateway", "timeout", "retries", "verify-timeout"})) {
        return *e;
    }
    QCommandLineParser& p = o.parser();
    if (p.isSet("help")) {
        return help(kSetIpHelp);
    }
    const QStringList args = p.positionalArguments();
    if (args.isEmpty()) {
        return error("set-ip", "the device's MAC address is missing");
    }
    if (args.size() > 1) {
        return error("set-ip", "unexpected argument " + quoted(args[1]));
    }
    SetIpCommand c;
    const auto mac = parseMac(args[0].toStdString());
    if (!mac) {
        return badMac("set-ip", args[0]);
    }
    c.mac = *mac;

    const bool dhcp = p.isSet("dhcp");
    const bool anyStatic = p.isSet("ip") || p.isSet("mask") || p.isSet("gateway");
    if (dhcp && anyStatic) {
        return error("set-ip", "--dhcp cannot be combined with --ip, --mask or --gateway");
    }
    if (!dhcp && !anyStatic) {
        return error("set-ip", "give either --dhcp or --ip and --mask");
    }
    if (!dhcp) {
        if (!p.isSet("ip")) {
            return error("set-ip", "--ip is missing (--mask and --gateway need it)");
        }
        if (!p.isSet("mask")) {
            return error("set-ip", "--mask is missing");
        }
        // The same judgement as the dialog: the address must be one a device can take; mask and
        // gateway need only be addresses.
        const QString ip = p.value("ip");
        const QString mask = p.value("mask");
        const QString gateway = p.isSet("gateway") ? p.value("gateway") : QString("0.0.0.0");
        const auto parsedIp = Ipv4::parse(ip.toStdString());
        if (!parsedIp || !isAcceptableDeviceAddress(*parsedIp)) {
            return error("set-ip", "--ip " + quoted(ip) + " is not a valid IP address");
        }
        if (!Ipv4::parse(mask.toStdString())) {
            return error("set-ip", "--mask " + quoted(mask) + " is not a valid IP address");
        }
        if (!Ipv4::parse(gateway.toStdString())) {
            return error("set-ip", "--gateway " + quoted(gateway) + " is not a valid IP address");
        }
        const auto checked = checkFixedAddress(ip.toStdString(), mask.toStdString(), gateway.toStdString());
        const auto* fixed = std::get_if<FixedAddress>(&checked);
        if (fixed == nullptr) {
            return error("set-ip", QString::fromStdString(std::get<Message>(checked).text));
        }
        c.address = StaticAddress{fixed->address, fixed->mask, fixed->gateway};
    }
    c.interfaces = o.interfaces();
    if (auto e = o.timeout(c.timeout)) {
        return *e;
    }
    if (auto e = o.count("retries", c.retries, 0, kMaxRetries)) {
        return *e;
    }
    c.verify = p.isSet("verify");
    c.force = p.isSet("force");
    if (!c.verify && (c.force || p.isSet("verify-timeout"))) {
        return error("set-ip", "--force and --verify-timeout need --verify");
    }
    if (auto e = o.seconds("verify-timeout", c.verifyTimeout)) {
        return *e;
    }
    return run(c);
}

ParsedCommandLine parseWatch(const QStringList& rest) {
    OptionSet o("watch");
    o.value({"n", "interval"});
    o.value({"m", "missed"});
    o.value({"i", "interface"});
    o.value({"f", "format"});
    if (auto e = o.parse(rest, {"interval", "missed", "format"})) {
        return *e;
    }
    QCommandLineParser& p = o.parser();
    if (p.isSet("help")) {
        return help(kWatchHelp);
    }
    if (!p.positionalArguments().isEmpty()) {
        return error("watch", "unexpected argument " + quoted(p.positionalArguments().first()));
    }
    WatchCommand c;
    c.interfaces = o.interfaces();
    // Below 0.2 s a search would hardly wait for answers.
    if (auto e = o.seconds("interval", c.interval, 0.2)) {
        return *e;
    }
    if (auto e = o.count("missed", c.missed, 1, kMaxRetries)) {
        return *e;
    }
    if (p.isSet("format")) {
        const QString f = p.value("format");
        if (f != "table" && f != "jsonl") {
            return error("watch", "--format: " + quoted(f) + " is not one of table, jsonl");
        }
        c.format = f == "jsonl" ? WatchFormat::Jsonl : WatchFormat::Table;
    }
    return run(c);
}

std::optional<DeviceTarget> deviceTarget(const QString& text) {
    if (const auto ip = Ipv4::parse(text.toStdString())) {
        return *ip;
    }
    if (const auto mac = parseMac(text.toStdString())) {
        return *mac;
    }
    return std::nullopt;
}

ParsedCommandLine notADevice(const QString& text) {
    return error("upgrade", quoted(text) + " is neither an IPv4 address nor a MAC address");
}

// The options that choose a rollout's devices, and those that only a rollout takes.
const std::array kRolloutChoices{"device", "from", "all-ap", "all-bridge"};
const std::array kRolloutOnly{"report", "skip-done", "parallel", "back-timeout", "no-restart"};

ParsedCommandLine parseRollout(OptionSet& o) {
    QCommandLineParser& p = o.parser();
    const QStringList args = p.positionalArguments();
    if (args.isEmpty() || args[0].isEmpty()) {
        return error("upgrade", "the image file is missing");
    }
    if (args.size() > 1) {
        return error("upgrade",
                     "unexpected argument " + quoted(args[1]) + " (a rollout takes the image only)");
    }
    RolloutCommand c;
    c.image = args[0].toStdString();
    for (const QString& d : p.values("device")) {
        const auto target = deviceTarget(d);
        if (!target) {
            return notADevice(d);
        }
        c.devices.push_back(*target);
    }
    for (const char* name : {"from", "report", "skip-done"}) {
        if (p.isSet(name) && p.value(name).isEmpty()) {
            return error("upgrade", QString("--") + name + ": the file name is empty");
        }
    }
    c.fromFile = p.value("from").toStdString();
    c.allAp = p.isSet("all-ap");
    c.allBridge = p.isSet("all-bridge");
    c.report = p.value("report").toStdString();
    c.skipDone = p.value("skip-done").toStdString();
    if (auto e = o.count("parallel", c.parallel, 1, kMaxParallel)) {
        return *e;
    }
    if (auto e = o.seconds("back-timeout", c.backTimeout)) {
        return *e;
    }
    c.noRestart = p.isSet("no-restart");
    c.yes = p.isSet("yes");
    c.interfaces = o.interfaces();
    return run(c);
}

ParsedCommandLine parseUpgrade(const QStringList& rest) {
    OptionSet o("upgrade");
    o.flag({"y", "yes"});
    o.value({"i", "interface"});
    o.value({"device"});
    o.value({"from"});
    o.flag({"all-ap"});
    o.flag({"all-bridge"});
    o.value({"report"});
    o.value({"skip-done"});
    o.value({"parallel"});
    o.value({"back-timeout"});
    o.flag({"no-restart"});
    if (auto e = o.parse(rest, {"from", "report", "skip-done", "parallel", "back-timeout"})) {
        return *e;
    }
    QCommandLineParser& p = o.parser();
    if (p.isSet("help")) {
        return help(kUpgradeHelp);
    }
    if (std::any_of(kRolloutChoices.begin(), kRolloutChoices.end(),
                    [&](const char* n) { return p.isSet(n); })) {
        return parseRollout(o);
    }
    for (const char* name : kRolloutOnly) {
        if (p.isSet(name)) {
            return error("upgrade",
                         QString("--") + name + " needs --device, --from, --all-ap or --all-bridge");
        }
    }
    const QStringList args = p.positionalArguments();
    if (args.size() < 2) {
        return error("upgrade", args.isEmpty() ? "the device (IP or MAC) and the image are missing"
                                               : "the image file is missing");
    }
    if (args.size() > 2) {
        return error("upgrade", "unexpected argument " + quoted(args[2]));
    }
    UpgradeCommand c;
    const auto target = deviceTarget(args[0]);
    if (!target) {
        return notADevice(args[0]);
    }
    c.target = *target;
    if (args[1].isEmpty()) {
        return error("upgrade", "the image path is empty");
    }
    c.image = args[1].toStdString();
    c.yes = p.isSet("yes");
    c.interfaces = o.interfaces();
    return run(c);
}

ParsedCommandLine parseDoctor(const QStringList& rest) {
    return parseListing<DoctorCommand>(
        "doctor", kDoctorHelp, rest,
        std::array{std::pair{"text", DoctorFormat::Text}, std::pair{"json", DoctorFormat::Json}});
}

} // namespace

std::string versionText() {
    return std::string("fernwick-cli ") + FERNWICK_VERSION + "\n";
}

ParsedCommandLine parseCommandLine(const QStringList& arguments) {
    if (arguments.size() < 2) {
        return error({}, "no command given (search, set-ip, upgrade, doctor or watch)");
    }
    const QString& first = arguments[1];
    const QStringList rest = arguments.mid(2);
    if (first == "-h" || first == "--help" || first == "help") {
        if (first == "help" && !rest.isEmpty()) {
            return parseCommandLine(QStringList{arguments[0], rest[0], "--help"});
        }
        return help(kGeneralHelp);
    }
    if (first == "-V" || first == "--version") {
        return {ParsedCommandLine::Kind::Version, std::nullopt, versionText()};
    }
    if (first == "search") {
        return parseSearch(rest);
    }
    if (first == "set-ip") {
        return parseSetIp(rest);
    }
    if (first == "upgrade") {
        return parseUpgrade(rest);
    }
    if (first == "doctor") {
        return parseDoctor(rest);
    }
    if (first == "watch") {
        return parseWatch(rest);
    }
    if (first.startsWith('-')) {
        return error({}, "unknown option " + quoted(first) + " (a command comes first)");
    }
    return error({}, "unknown command " + quoted(first) + " (search, set-ip, upgrade, doctor or watch)");
}

} // namespace fw::cli
