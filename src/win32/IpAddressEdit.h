// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ipcontrol/IpAddressModel.h"
#include "ipcontrol/IpControlLayout.h"
#include "win32/Win32Window.h"

#include <array>
#include <deque>
#include <string>
#include <windows.h>

namespace fw::win32 {

// The IPv4 entry as a Win32 control: a child window holding four edit boxes with a dot between
// neighbours, over IpAddressModel, which decides what typing, arrows, pastes, clicks and leaving a
// box do (the system's SysIPAddress32 has other rules). Tab stops at each box. The control's
// messages (the range check's) are modal to its top-level window. GUI thread only.
class IpAddressEdit final : public Win32Window<IpAddressEdit> {
public:
    // A child of parent, placed by place().
    IpAddressEdit(HINSTANCE instance, HWND parent);
    ~IpAddressEdit();
    IpAddressEdit(const IpAddressEdit&) = delete;
    IpAddressEdit& operator=(const IpAddressEdit&) = delete;

    // At rect (pixels, grown to the minimum) with the font, which the caller keeps alive; again
    // whenever the window's DPI changes.
    void place(const RECT& rect, HFONT font);
    std::string ipAddress() const { return model_.ipAddress(); }
    void setIpAddress(const std::string& ip) { apply(model_.setIpAddress(ip)); }
    void setEnabled(bool enabled);
    // What screen readers call it: the caption beside it.
    void setName(const std::wstring& name);
    // The least size that shows three digits in each box with this font.
    SIZE minimumSize() const;

private:
    // Carries out what the model answered.
    void apply(const IpAddressModel::Actions& actions);

    friend Win32Window<IpAddressEdit>;
    static LRESULT CALLBACK boxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR index,
                                    DWORD_PTR self);
    std::optional<LRESULT> handle(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleBox(HWND box, int index, UINT message, WPARAM wParam, LPARAM lParam);
    IpControlLayout measure(int width, int height) const;
    void relayout();
    void paint();

    IpAddressModel model_;
    HFONT font_ = nullptr;
    std::array<HWND, IpAddressModel::kBoxes> boxes_{};
    IpControlLayout layout_;
    std::deque<IpAddressModel::Actions> deferred_;
};

} // namespace fw::win32
