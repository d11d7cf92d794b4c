// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandOptions.h"

namespace fw::cli {
namespace {

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

} // namespace

// The shortest text that reads back as the same number: 3, 0.2, 3600.
std::string number(double n) {
    std::array<char, 32> text{};
    return {text.data(), std::to_chars(text.data(), text.data() + text.size(), n).ptr};
}
std::string seconds(std::chrono::milliseconds ms) {
    return number(static_cast<double>(ms.count()) / 1000);
}

std::shared_ptr<CLI::Formatter> helpLayout(std::string_view usage, std::string_view description) {
    return std::make_shared<HelpLayout>(usage, description);
}

ParsedCommandLine error(std::string_view command, const std::string& message) {
    const std::string prefix = command.empty() ? std::string() : std::string(command) + ": ";
    return {ParsedCommandLine::Kind::Error, std::nullopt,
            prefix + message + "\nTry 'fernwick-cli " +
                (command.empty() ? std::string() : std::string(command) + " ") + "--help'."};
}

ParsedCommandLine toRun(Command command) {
    return {ParsedCommandLine::Kind::Run, std::move(command), {}};
}

std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

std::string_view longName(std::string_view names) {
    return names.substr(names.find("--") + 2);
}

std::string generalHelp(std::span<const CommandSpec* const> commands, std::string_view usage,
                        std::string_view description, std::string_view footer) {
    CLI::App app(std::string(), "fernwick-cli");
    app.formatter(helpLayout(usage, description));
    app.footer(std::string(footer));
    app.set_help_flag("-h,--help", "show this help (fernwick-cli COMMAND --help for a command's options)");
    app.set_version_flag("-V,--version", std::string(), "show the version");
    for (const CommandSpec* c : commands) {
        app.add_subcommand(std::string(c->row.name), std::string(c->row.summary))->group("Commands");
    }
    return app.help();
}

std::optional<ParsedCommandLine> unexpected(const Options& o) {
    if (!o.positionals().empty()) {
        return o.failure("unexpected argument " + quoted(o.positionals().front()));
    }
    return std::nullopt;
}

std::optional<ParsedCommandLine> targetOptions(const Options& o, TargetOptions& into, bool ownForce) {
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

std::optional<ParsedCommandLine> fileNames(const Options& o, std::initializer_list<std::string_view> names) {
    for (const std::string_view name : names) {
        if (o.isSet(name) && o.value(name).empty()) {
            return o.failure("--" + std::string(name) + ": the file name is empty");
        }
    }
    return std::nullopt;
}

} // namespace fw::cli
