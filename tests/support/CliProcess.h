// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/NetLab.h"

#include <QProcess>
#include <QStringList>

#include <csignal>

namespace fw::test {

// fernwick-cli started in the lab's workstation namespace; stdout and stderr kept apart. A wrapper
// (for example setpriv) runs first and execs the program.
class CliProcess {
public:
    CliProcess(const NetLab& lab, const QStringList& args, const QStringList& wrapper = {}) {
        process_.start("ip", QStringList{"netns", "exec", QString::fromStdString(lab.ns("ws"))} + wrapper +
                                 QStringList{NetLab::binaryPath("src/cli/fernwick-cli")} + args);
    }
    // Waits for the end; a program still running then is killed and reported with status -1.
    NetLab::Outcome wait(int timeoutMs = 90000) {
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
    // stdout so far (the event loop must run for it to grow).
    QByteArray outSoFar() { return out_ += process_.readAllStandardOutput(); }
    // `ip netns exec` replaces itself with the program, so the signal reaches it.
    void signal(int number) { ::kill(static_cast<pid_t>(process_.processId()), number); }

private:
    QProcess process_;
    QByteArray out_;
};

// fernwick-cli run to its end in the workstation namespace.
inline NetLab::Outcome cli(NetLab& lab, const QStringList& args) {
    return lab.runApart("ws", QStringList{NetLab::binaryPath("src/cli/fernwick-cli")} + args);
}

} // namespace fw::test
