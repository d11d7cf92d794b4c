// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/CliProcess.h"

#include <csignal>

namespace fw::test {

CliProcess::CliProcess(const NetLab& lab, const QStringList& args) {
    process_.start("ip", QStringList{"netns", "exec", QString::fromStdString(lab.ns("ws")),
                                     NetLab::binaryPath("src/cli/fernwick-cli")} +
                             args);
}

NetLab::Outcome CliProcess::wait(int timeoutMs) {
    NetLab::Outcome r;
    if (process_.waitForFinished(timeoutMs) && process_.exitStatus() == QProcess::NormalExit) {
        r.status = process_.exitCode();
    } else {
        process_.kill();
        process_.waitForFinished(3000);
    }
    r.out = outSoFar();
    r.err = process_.readAllStandardError();
    return r;
}

QByteArray CliProcess::outSoFar() {
    out_ += process_.readAllStandardOutput();
    return out_;
}

void CliProcess::signal(int number) {
    ::kill(static_cast<pid_t>(process_.processId()), number);
}

} // namespace fw::test
