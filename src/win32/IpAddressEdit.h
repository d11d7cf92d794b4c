// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ipcontrol/IpAddressModel.h"
#include "ipcontrol/IpControlLayout.h"

#include <array>
#include <deque>
#include <functional>
#include <string>
#include <windows.h>

namespace fw::win32 {

// The IPv4 entry as a Win32 control: a child window holding four edit boxes with a dot between
// neighbours, over IpAddressModel, which decides what typing, arrows, pastes, clicks and leaving a
// box do (the system's SysIPAddress32 has other rules). Tab stops at each box. The control's
// messages (the range check's) are modal to its top-level window. GUI thread only.
class IpAddressEdit final : private IpAddressModel::Listener {
public:
    // A child of parent, placed by place().
    IpAddressEdit(HINSTANCE instance, HWND parent);
    ~IpAddressEdit();
    IpAddressEdit(const IpAddressEdit&) = delete;
    IpAddressEdit& operator=(const IpAddressEdit&) = delete;

    // At rect (pixels, grown to the minimum) with the font, which the caller keeps alive; again
    // whenever the window's DPI changes.
    void place(const RECT& rect, HFONT font);
    HWND handle() const { return window_; }
    std::string ipAddress() const { return model_.ipAddress(); }
    void setIpAddress(const std::string& ip) { model_.setIpAddress(ip); }
    void setEnabled(bool enabled);
    // What screen readers call it: the caption beside it.
    void setName(const std::wstring& name);
    // The least size that shows three digits in each box with this font.
    SIZE minimumSize() const;

private:
    using Caret = IpAddressModel::Caret;

    // IpAddressModel::Listener: the boxes and the focus among them,
    int focusedBox() const override;
    bool hasSelection(int box) const override;
    void focusBox(int box, Caret caret) override;
    void boxTextSet(int box, const std::string& text) override;
    void insert(int box, char16_t c) override;
    // and the rest.
    void changed(const std::string& ipAddress) override;
    void defer(std::function<void()> fn) override;
    void showMessage(const Message& message) override;
    void beep() override;

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK boxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR index,
                                    DWORD_PTR self);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleBox(HWND box, int index, UINT message, WPARAM wParam, LPARAM lParam);
    IpControlLayout measure(int width, int height) const;
    void relayout();
    void paint();

    IpAddressModel model_;
    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    std::array<HWND, IpAddressModel::kBoxes> boxes_{};
    IpControlLayout layout_;
    std::deque<std::function<void()>> deferred_;
};

} // namespace fw::win32
