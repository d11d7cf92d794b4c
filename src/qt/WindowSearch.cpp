// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/WindowSearch.h"

#include "qt/SearchingDialog.h"

namespace fw {

WindowSearch::WindowSearch(Platform& platform, EngineLink engine, QWidget* dialogParent, QObject* parent)
    : QObject(parent), platform_(platform), dialogParent_(dialogParent), port_(engine, queue_) {}

WindowSearch::~WindowSearch() {
    delete dialog_.data();
}

void WindowSearch::startCountdown() {
    auto* dialog = new SearchingDialog(dialogParent_);
    dialog_ = dialog;
    connect(dialog, &SearchingDialog::countdownEnded, this, [this] {
        dialog_.clear();
        emit countdownEnded();
    });
    dialog->start();
}

void WindowSearch::showMessage(const Message& message) {
    platform_.messages.show(dialogParent_, message);
}

} // namespace fw
