// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace fw {

// SIGINT and SIGTERM as an event-loop notification, so a long-running command can end cleanly
// (close its sockets, finish its output) with status 0. The two signals are blocked for this
// thread (and threads it starts) and read from a signalfd: no handler runs, so no global state is
// needed. The destructor unblocks them again.
class TerminationSignals final : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the signalfd could not be made; the signals then keep their default action.
    bool isActive() const { return fd_ >= 0; }

signals:
    void received(int signal);

private:
    void readPending();

    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace fw
