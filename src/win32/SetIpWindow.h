// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/SetIpDriver.h"
#include "guilink/EngineJob.h"
#include "setip/SetIpDialog.h"
#include "win32/IpAddressEdit.h"
#include "win32/Win32Context.h"
#include "win32/Win32Window.h"
#include "win32/WindowClass.h"

#include <array>
#include <memory>

namespace fw {
class SetIpExchange;
}

namespace fw::win32 {

// The Set IP dialog's Win32 view over SetIpDialog, which decides what it does. run() is modal to
// owner and returns, when the dialog closes, the adapter index it chose; the main window has closed
// its discovery sockets first.
class SetIpWindow final : private SetIpDialog::View, public Win32Window<SetIpWindow> {
public:
    static int run(HWND owner, const Win32Context& context, const SetIpDialog::Opening& opening,
                   SetIpExchange& exchange);

private:
    SetIpWindow(const Win32Context& context, const SetIpDialog::Opening& opening, SetIpExchange& exchange);
    ~SetIpWindow();
    SetIpWindow(const SetIpWindow&) = delete;
    SetIpWindow& operator=(const SetIpWindow&) = delete;

    // SetIpDialog::View
    void checkOption(SetIpDialog::Option option) override;
    void setEntriesEnabled(bool enabled) override;
    std::string entry(SetIpDialog::Entry entry) const override;
    void setEntry(SetIpDialog::Entry entry, const std::string& address) override;
    void closeWindow() override;
    void showMessage(const Message& message) override;

    friend Win32Window<SetIpWindow>;
    std::optional<LRESULT> handle(UINT message, WPARAM wParam, LPARAM lParam);
    void create(HWND owner);
    // Places every control for dpi with the message font at that scale, and sizes the window.
    void layout(UINT dpi);
    void dpiChanged(UINT dpi) { layout(dpi); }

    const Win32Context& context_;
    EngineJob<engine::SetIpDriver> job_;
    SetIpDialog logic_;
    HFONT font_ = nullptr;
    std::array<std::unique_ptr<IpAddressEdit>, 3> entries_; // address, mask, gateway
    FocusKeeper focus_;
    bool done_ = false;
};

} // namespace fw::win32
