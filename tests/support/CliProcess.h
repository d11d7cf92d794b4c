// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/NetLab.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
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

// The window list tests' lab: three devices on two segments, whose addresses sort otherwise as text
// (10.77.1.9, 10.77.1.10), one locally administered MAC and a name with a comma and quotes.
inline void startListLab(NetLab& lab) {
    lab.addHost("a", "a", "10.77.1.10/24");
    lab.addHost("b", "b", "10.77.2.20/24");
    lab.startSimulator("a", R"({"devices": [
      {"mac": "00:0A:1B:00:00:10", "ip": "10.77.1.10", "name": "Lobby AP", "essid": "office", "kind": "AP"},
      {"mac": "02:0A:1B:00:00:09", "ip": "10.77.1.9", "name": "Hall, \"east\"", "wep": 1, "kind": "G"}]})");
    lab.startSimulator("b",
                       R"({"devices": [{"mac": "00:0A:1B:00:00:20", "ip": "10.77.2.20", "kind": "G"}]})");
}

// A folder's entries, hidden ones too, as one line: what an export must leave as it was.
inline std::string folderEntries(const QString& dir) {
    return QDir(dir)
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
        .join(' ')
        .toStdString();
}

// `search --format csv|json` output with its rows (a CSV line, a JSON object) in IP order, as a list
// sorted by a click on the IP header exports them; each row's bytes are kept.
inline QByteArray rowsInIpOrder(const QByteArray& text) {
    const bool json = text.startsWith('[');
    const QString all = QString::fromUtf8(text);
    const qsizetype head = json ? 2 : all.indexOf('\n') + 1;
    QStringList rows;
    const QRegularExpression row(json ? R"(    \{\n.*?\n    \})" : R"([^\n]*\n)",
                                 QRegularExpression::DotMatchesEverythingOption);
    for (auto it = row.globalMatch(all, head); it.hasNext();) {
        rows << it.next().captured();
    }
    const auto ip = [](const QString& r) { // the CSV's first address, the JSON's "ip"
        quint32 key = 0;
        static const QRegularExpression address(R"((?:^|,|"ip": ")(\d+\.\d+\.\d+\.\d+))");
        for (const QString& octet : address.match(r).captured(1).split('.')) {
            key = key * 256 + octet.toUInt();
        }
        return key;
    };
    std::ranges::stable_sort(rows, {}, ip);
    return (all.left(head) + rows.join(json ? ",\n" : "") + (json ? "\n]\n" : "")).toUtf8();
}

} // namespace fw::test
