// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#ifndef Q_MOC_RUN // moc cannot parse libstdc++'s <chrono>
#include "discovery/SearchCountdown.h"
#endif

#include <QDialog>
#include <QTimer>

class QLabel;
class QProgressBar;
class QPushButton;

namespace fw {

// The Searching dialog (object name "pending"): non-modal, fixed size, a label, a bar 0-14 and
// Cancel. It runs the 15 x 0.2 s countdown on a single-shot timer, so replies and clicks are
// handled while it waits. Cancel, Esc and the frame's close button all stop it at the next step.
// When the countdown is over it hides, emits countdownEnded() and deletes itself.
class SearchingDialog final : public QDialog {
    Q_OBJECT
public:
    explicit SearchingDialog(QWidget* parent = nullptr);

    // Shows the dialog and starts the countdown.
    void start();
    bool running() const { return countdown_.running(); }

    void reject() override;

signals:
    void countdownEnded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Shows the step and waits it out, or closes when the countdown is over.
    void advance(std::optional<SearchCountdown::Step> step);

    SearchCountdown countdown_;
    QTimer step_;
    QLabel* label_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace fw
