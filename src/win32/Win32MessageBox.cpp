// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/Win32MessageBox.h"

#include "platform/windows/WideText.h"

namespace fw::win32 {
namespace {

UINT iconFlag(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return MB_ICONINFORMATION;
    case MessageIcon::Exclamation:
        return MB_ICONEXCLAMATION;
    case MessageIcon::Critical:
        return MB_ICONERROR;
    case MessageIcon::None:
        break;
    }
    return 0;
}

} // namespace

MessageAnswer showMessage(HWND owner, const Message& message) {
    UINT flags = iconFlag(message.icon);
    if (message.buttons == MessageButtons::OkCancel) {
        flags |= MB_OKCANCEL | (message.cancelIsDefault ? MB_DEFBUTTON2 : MB_DEFBUTTON1);
    } else {
        flags |= MB_OK;
    }
    const int answer =
        MessageBoxW(owner, wideOf(message.text).c_str(), wideOf(message.title).c_str(), flags | MB_APPLMODAL);
    return answer == IDOK ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

} // namespace fw::win32
