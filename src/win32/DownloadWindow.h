// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/UpgradeDriver.h"
#include "guilink/EngineJob.h"
#include "upgrade/UpgradeDialog.h"
#include "win32/Win32Context.h"
#include "win32/Win32Window.h"
#include "win32/WindowClass.h"

namespace fw {
struct UploadCarryOver;
}

namespace fw::win32 {

// The upgrade dialog's Win32 view over UpgradeDialog: it builds the controls, forwards their events
// and shows what the logic says. run() is modal to owner and returns when the dialog closes; the
// main window has closed its discovery sockets first.
class DownloadWindow final : private UpgradeDialog::View, public Win32Window<DownloadWindow> {
public:
    static void run(HWND owner, const Win32Context& context, const UpgradeDialog::Opening& opening,
                    UploadCarryOver& carry);

private:
    DownloadWindow(const Win32Context& context, const UpgradeDialog::Opening& opening,
                   UploadCarryOver& carry);
    ~DownloadWindow();
    DownloadWindow(const DownloadWindow&) = delete;
    DownloadWindow& operator=(const DownloadWindow&) = delete;

    friend Win32Window<DownloadWindow>;
    void create(HWND owner);
    void layout(UINT dpi);
    void dpiChanged(UINT dpi) { layout(dpi); }
    bool key(const MSG& msg); // Enter and Escape; true when taken
    void allowSessionEnd();   // drops the reason given for refusing a logoff or shutdown
    std::optional<LRESULT> handle(UINT message, WPARAM wParam, LPARAM lParam);

    // UpgradeDialog::View, by the controls they touch.
    void closeDialog(bool accepted) override;
    MessageAnswer showMessage(const Message& message) override; // owned by this window
    std::optional<std::string> chooseImage() override;          // the common open-file dialog
    std::string pathText() const override;
    void setPathText(const std::string& path) override;
    void focusPathBox() override;
    void focusOk() override;
    void showProgressView() override;
    void setPercent(const std::string& text) override;
    void setBar(int value) override;

    HINSTANCE instance_;
    const DpiApi& dpi_;
    HWND prompt_ = nullptr;
    HWND pathBox_ = nullptr;
    HWND ok_ = nullptr;
    HWND cancel_ = nullptr;
    HWND bar_ = nullptr;
    HWND percent_ = nullptr;
    HWND device_ = nullptr; // the line naming the device
    HWND owner_ = nullptr;  // the main window, which gives Windows the reason for refusing a logoff
    bool blockingSessionEnd_ = false;
    FocusKeeper focus_;
    HFONT font_ = nullptr;
    bool closed_ = false;
    EngineJob<engine::UpgradeDriver> job_;
    UpgradeDialog logic_; // destroyed first: it stops the upgrade
};

} // namespace fw::win32
