// SPDX-License-Identifier: GPL-3.0-or-later
// Program entry. No command line of its own (Qt's platform options such as -platform pass through to
// QApplication), no settings, no environment of its own.

#include "guilink/EngineLink.h"
#include "platform/SystemHost.h"
#include "qt/AppIcons.h"
#include "qt/DesktopShell.h"
#include "qt/MainWindow.h"
#include "qt/ModalRowDialogs.h"
#include "qt/QtFileChooser.h"
#include "qt/QtMessageBoxes.h"
#include "qt/SingleInstance.h"

#include <QApplication>

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);

    // A second copy of the same user ends at once and silently, leaving the running one alone. A
    // lock that cannot be used at all does not stop the program; one line says why.
    fw::SingleInstance instance("fernwick");
    switch (instance.tryLock()) {
    case fw::SingleInstance::Result::Acquired:
        break;
    case fw::SingleInstance::Result::AnotherCopy:
        return 0;
    case fw::SingleInstance::Result::CannotLock:
        std::fprintf(stderr, "fernwick: cannot use the lock file %s; not checking for another copy\n",
                     qPrintable(instance.lockPath()));
        break;
    }

    QApplication::setWindowIcon(fw::AppIcons::program());
    QApplication::setDesktopFileName("fernwick");

    fw::QtMessageBoxes messages;
    fw::DesktopShell shell;
    fw::SystemHost host;
    fw::QtFileChooser files;
    fw::Platform platform{messages, shell, host, files};
    // Sockets and timers run on the engine's own thread; the windows post to it.
    fw::engine::Engine engine;
    engine.startThread();
    const fw::EngineLink link{engine, engine.endpoints()};
    fw::ModalRowDialogs dialogs(platform, link);

    fw::MainWindow window(platform, link, dialogs);
    // OK on the exit confirmation, or no usable adapter: the run ends now, with no further question.
    QObject::connect(&window, &fw::MainWindow::programEnding, &app,
                     [](int exitStatus) { QCoreApplication::exit(exitStatus); });
    window.show();
    const int status = QApplication::exec();
    engine.stop(); // before the dialogs' run-long state goes
    return status;
}
