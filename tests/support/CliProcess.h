// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/NetLab.h"

#include <QProcess>
#include <QStringList>

namespace fw::test {

// fernwick-cli started in the lab's workstation namespace; stdout and stderr kept apart.
class CliProcess {
public:
    CliProcess(const NetLab& lab, const QStringList& args);
    // Waits for the end; a program still running then is killed and reported with status -1.
    NetLab::Outcome wait(int timeoutMs = 90000);
    // stdout so far (the event loop must run for it to grow).
    QByteArray outSoFar();
    // Sends a signal to the program (`ip netns exec` replaces itself with it).
    void signal(int number);

private:
    QProcess process_;
    QByteArray out_;
};

} // namespace fw::test
