// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/MainWindowLogic.h"
#include "discovery/SearchCycle.h"
#include "engine/SearchDriver.h"
#include "guilink/EngineJob.h"
#include "guilink/VendorTableLoad.h"
#include "setip/SetIpExchange.h"
#include "upgrade/UploadCarryOver.h"
#include "win32/DeviceListControl.h"
#include "win32/SearchingWindow.h"
#include "win32/Win32Context.h"
#include "win32/Win32ListExport.h"
#include "win32/Win32Window.h"
#include "win32/WindowClass.h"
#include "win32/WindowMetrics.h"

#include <array>
#include <memory>

namespace fw::win32 {

// The main window (start) in Win32: the menu bar from the menu table, the toolbar band with the
// Delete and Search picture buttons, the device list, the popups, over the window's logic. Closing
// it asks first; the message loop ends with the program's exit status.
class MainFrame final : private MainWindowLogic::View,
                        private SearchCycle::View,
                        public Win32Window<MainFrame> {
public:
    explicit MainFrame(const Win32Context& context);
    ~MainFrame();
    MainFrame(const MainFrame&) = delete;
    MainFrame& operator=(const MainFrame&) = delete;

    void show(int how);
    // Tab and Shift+Tab between the toolbar's buttons and the list; true when msg was that.
    bool moveFocusOnTab(const MSG& msg);
    // F5 in the window, Enter, Delete and Ctrl+C (or Ctrl+Insert) on the list: the window's command
    // keys; true when msg was one.
    bool commandKey(const MSG& msg);

private:
    friend Win32Window<MainFrame>;
    std::optional<LRESULT> handle(UINT message, WPARAM wParam, LPARAM lParam);
    // Every control takes the font at the new scale and the pictures are loaded again at its size.
    void dpiChanged(UINT dpi);
    void buildMenus();
    void buildClientArea();
    void command(int id);
    LRESULT notify(const NMHDR& header);
    void layoutClient();
    void loadButtonIcons();

    // MainWindowLogic::View
    void render(const CommandEnabling& enabling) override;
    int pickedRow() const override { return list_->pickedRow(); }
    void unpick() override { list_->pick(-1); }
    void pick(int row) override { list_->pick(row); }
    void showSortIndicator(int column, bool ascending) override {
        list_->showSortIndicator(column, ascending);
    }
    void showVendorColumn(bool shown) override;
    void vendorsChanged() override { InvalidateRect(list_->window(), nullptr, FALSE); }
    void showPopup(MainWindowLogic::Popup popup, MainWindowLogic::PopupPlace place) override;
    MessageAnswer ask(const Message& message) override;
    void startFirstSearchTimer(std::chrono::milliseconds delay) override;
    int openSetIp(const SetIpDialog::Opening& opening) override;
    void openUpgrade(const UpgradeDialog::Opening& opening) override;
    void flushNeighbour(Ipv4 ip) override { context_.host.flushNeighbour(ip); }
    void openUrl(const std::string& url) override { context_.shell.openUrl(url); }
    void copyToClipboard(const std::string& text) override;
    void showToolbar(bool shown) override;
    void showAbout() override;
    void endProgram(int exitStatus) override { exitStatus_ = exitStatus; }
    void closeWindow() override;
    // SearchCycle::View
    void startCountdown() override;
    void showMessage(const Message& message) override;
    AdapterListing readAdapters() override { return context_.host.readAdapters(); }

    Win32Context context_;
    std::unique_ptr<WindowMetrics> metrics_;
    HMENU bar_ = nullptr;
    std::array<HMENU, kMenuCount> menus_{};
    HWND deleteButton_ = nullptr; // Command3
    HWND searchButton_ = nullptr; // Command4
    HWND line_ = nullptr;
    HWND tips_ = nullptr;
    std::array<HICON, 2> buttonIcons_{};
    std::unique_ptr<DeviceListControl> list_;
    FocusKeeper focus_;
    double listTopTwips_;
    int exitStatus_ = 0;

    SetIpExchange exchange_;    // the Set IP record and mode, for the whole run
    UploadCarryOver carryOver_; // the upload's last percent, for the whole run
    std::unique_ptr<EngineJob<engine::SearchDriver>> port_;
    std::unique_ptr<Win32ListExport> listExport_; // outlives the logic that runs it
    std::unique_ptr<MainWindowLogic> logic_;
    std::unique_ptr<VendorTableLoad> vendorLoad_; // goes before the logic it hands the table to
    std::unique_ptr<SearchingWindow> searching_;
};

} // namespace fw::win32
