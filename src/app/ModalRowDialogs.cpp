#include "app/ModalRowDialogs.h"

namespace fw {

// TODO(integration): the Set IP and upgrade dialogs are not on this branch yet. Once they land,
// hold an fw::SetIpExchange and an fw::UploadCarryOver here for the whole run and open
// fw::Setips(platform_, values, exchange, parent) / fw::Download(platform_, values, carryOver, parent)
// with exec(). Until then the two commands do their own steps and open nothing.
ModalRowDialogs::ModalRowDialogs(Platform& platform) : platform_(platform) {}

ModalRowDialogs::~ModalRowDialogs() = default;

void ModalRowDialogs::openSetIp(QWidget* parent, ProcessValues& values) {
    (void)parent;
    (void)values;
    (void)platform_;
}

void ModalRowDialogs::openUpgrade(QWidget* parent, ProcessValues& values) {
    (void)parent;
    (void)values;
}

} // namespace fw
