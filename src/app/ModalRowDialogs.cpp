#include "app/ModalRowDialogs.h"

// FERNWICK_ROW_DIALOGS is set by src/app/CMakeLists.txt when the Set IP and upgrade dialog libraries
// are part of the build. Without them (a tree that has only the main window so far) both commands
// do their own steps and open nothing. TODO(integration): drop the fallback once both have landed.
#if FERNWICK_ROW_DIALOGS
#include "setip/Setips.h"
#include "setip/core/SetIpExchange.h"
#include "upgrade/Download.h"
#include "upgrade/core/UploadCarryOver.h"
#endif

namespace fw {

#if FERNWICK_ROW_DIALOGS

struct ModalRowDialogs::RunState {
    SetIpExchange exchange;
    UploadCarryOver carryOver;
};

ModalRowDialogs::ModalRowDialogs(Platform& platform)
    : platform_(platform), run_(std::make_unique<RunState>()) {}

void ModalRowDialogs::openSetIp(QWidget* parent, ProcessValues& values) {
    Setips dialog(platform_, values, run_->exchange, parent);
    dialog.exec();
}

void ModalRowDialogs::openUpgrade(QWidget* parent, ProcessValues& values) {
    Download dialog(platform_, values, run_->carryOver, parent);
    dialog.exec();
}

#else

struct ModalRowDialogs::RunState {};

ModalRowDialogs::ModalRowDialogs(Platform& platform) : platform_(platform) {}

void ModalRowDialogs::openSetIp(QWidget*, ProcessValues&) {}

void ModalRowDialogs::openUpgrade(QWidget*, ProcessValues&) {}

#endif

ModalRowDialogs::~ModalRowDialogs() = default;

} // namespace fw
