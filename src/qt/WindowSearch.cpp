// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/WindowSearch.h"

#include "qt/DeviceListModel.h"
#include "qt/SearchingDialog.h"

namespace fw {

WindowSearch::WindowSearch(Platform& platform, EngineLink engine, ProcessValues& values,
                           DeviceListModel& model, QWidget* dialogParent, QObject* parent)
    : QObject(parent), platform_(platform), dialogParent_(dialogParent), port_(engine, queue_),
      cycle_(port_, values, model, *this) {}

WindowSearch::~WindowSearch() {
    delete dialog_.data();
}

void WindowSearch::startCountdown() {
    auto* dialog = new SearchingDialog(dialogParent_);
    dialog_ = dialog;
    connect(dialog, &SearchingDialog::countdownEnded, this, [this] {
        dialog_.clear();
        cycle_.countdownEnded();
    });
    dialog->start();
}

void WindowSearch::showMessage(const Message& message) {
    platform_.messages.show(dialogParent_, message);
}

} // namespace fw
