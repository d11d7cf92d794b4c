// SPDX-License-Identifier: GPL-3.0-or-later
// fernwick-cli: search, Set IP and firmware upgrade from the command line, on QtCore's event loop.
#include "cli/CliRunner.h"
#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/RolloutReport.h"
#include "platform/UdpEndpoint.h"
#include "platform/linux/LinuxAdapterSource.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    fw::cli::RolloutReport::initialiseHashing();
    QCoreApplication app(argc, argv);
    fw::cli::Console console;
    const fw::cli::ParsedCommandLine parsed =
        fw::cli::parseCommandLine(std::vector<std::string>(argv, argv + argc));
    switch (parsed.kind) {
    case fw::cli::ParsedCommandLine::Kind::Help:
    case fw::cli::ParsedCommandLine::Kind::Version:
        std::fputs(parsed.text.c_str(), stdout);
        return 0;
    case fw::cli::ParsedCommandLine::Kind::Error:
        console.err(parsed.text);
        return static_cast<int>(fw::cli::ExitStatus::Usage);
    case fw::cli::ParsedCommandLine::Kind::Run:
        break;
    }
    fw::cli::CliRunner runner(
        console, [] { return fw::LinuxAdapterSource().readListing(); },
        [] { return std::make_unique<fw::UdpEndpoint>(); });
    QObject::connect(
        &runner, &fw::cli::CliRunner::finished, &app, [](int status) { QCoreApplication::exit(status); },
        Qt::QueuedConnection);
    QTimer::singleShot(0, &runner, [&] { runner.run(*parsed.command); });
    return QCoreApplication::exec();
}
