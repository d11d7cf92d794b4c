// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/SetIpWindow.h"

#include "common/StringTable.h"
#include "common/Twips.h"
#include "platform/windows/WideText.h"
#include "setip/SetIpLayout.h"
#include "win32/Win32MessageBox.h"
#include "win32/WindowClass.h"
#include "win32/WindowMetrics.h"

#include <algorithm>

namespace fw::win32 {
namespace {

constexpr const wchar_t* kClassName = L"FernwickSetIp";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

// Control numbers: none is IDOK or IDCANCEL, which the dialog manager sends for Enter and Escape.
enum ControlId : int { kExit = 101, kOk, kFrame, kStaticOption, kDhcpOption, kFirstLabel, kDeviceLine = 120 };

// What each static caption says and where it stands in the frame.
struct Caption {
    Str text;
    SetIpLayout::Rect rect;
};
constexpr std::array<Caption, 5> kCaptions{{
    {Str::SetIp, SetIpLayout::kStaticCaption},
    {Str::Ip, SetIpLayout::kEntryCaptions[0]},
    {Str::Mask, SetIpLayout::kEntryCaptions[1]},
    {Str::Gateway, SetIpLayout::kEntryCaptions[2]},
    {Str::EnableDhcp, SetIpLayout::kDhcpCaption},
}};

std::size_t slot(SetIpDialog::Entry entry) {
    return static_cast<std::size_t>(entry);
}

// Twips to pixels at the window's DPI, a control growing only to fit what it shows.
class Scale {
public:
    Scale(UINT dpi, HWND window, HFONT font)
        : dpi_(static_cast<double>(dpi)), dc_(GetDC(window)), window_(window) {
        old_ = SelectObject(dc_, font);
    }
    ~Scale() {
        SelectObject(dc_, old_);
        ReleaseDC(window_, dc_);
    }
    Scale(const Scale&) = delete;
    Scale& operator=(const Scale&) = delete;

    int pixels(int twips) const { return twipsToPixels(twips, dpi_); }
    // The rect of r placed at origin, at least `need` wide and high.
    RECT place(const SetIpLayout::Rect& r, POINT origin, SIZE need = {}) const {
        const int left = origin.x + pixels(r.left);
        const int top = origin.y + pixels(r.top);
        return RECT{left, top, left + std::max<int>(pixels(r.width), need.cx),
                    top + std::max<int>(pixels(r.height), need.cy)};
    }
    SIZE text(const std::wstring& s, int padX, int padY) const {
        SIZE size{};
        GetTextExtentPoint32W(dc_, s.c_str(), static_cast<int>(s.size()), &size);
        return SIZE{size.cx + padX, size.cy + padY};
    }

private:
    double dpi_;
    HDC dc_;
    HWND window_;
    HGDIOBJ old_ = nullptr;
};

void growTo(RECT& bounds, const RECT& r) {
    bounds.right = std::max(bounds.right, r.right);
    bounds.bottom = std::max(bounds.bottom, r.bottom);
}

std::wstring text(Str id) {
    return wideOf(loadResString(id));
}

} // namespace

int SetIpWindow::run(HWND owner, const Win32Context& context, const SetIpDialog::Opening& opening,
                     SetIpExchange& exchange) {
    SetIpWindow window(context, opening, exchange);
    window.create(owner);
    window.logic_.start();
    // The dialog's own loop gives it Tab, the arrows among the options and the mnemonics. Neither
    // button is the default: Enter presses nothing.
    window.runModal(owner, GetDlgItem(window.window_, kExit), window.done_, [&window](const MSG& msg) {
        return msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN &&
               (msg.hwnd == window.window_ || IsChild(window.window_, msg.hwnd));
    });
    return window.logic_.adapterIndex();
}

SetIpWindow::SetIpWindow(const Win32Context& context, const SetIpDialog::Opening& opening,
                         SetIpExchange& exchange)
    : context_(context), job_(context.engine, context.queue, exchange), logic_(*this, job_, opening) {}

SetIpWindow::~SetIpWindow() {
    logic_.closed();
    destroyWindow();
    for (auto& e : entries_) {
        e.reset();
    }
    if (font_ != nullptr) {
        DeleteObject(font_);
    }
}

void SetIpWindow::create(HWND owner) {
    registerWindowClass(context_.instance, kClassName, &windowProc);
    createWindow(kExStyle, kClassName, text(Str::SetIp).c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT, 100,
                 100, owner, context_.instance);

    // Made in tab order: Exit, OK, the options, the three entries. The options carry no text; the
    // captions beside them are plain labels that do nothing.
    const HINSTANCE instance = context_.instance;
    const auto make = [&](const wchar_t* windowClass, const std::wstring& caption, DWORD style, int id) {
        CreateWindowExW(0, windowClass, caption.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    };
    make(L"BUTTON", text(Str::Exit), WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON, kExit);
    make(L"BUTTON", text(Str::Ok), WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON, kOk);
    make(L"BUTTON", text(Str::SetIp), WS_GROUP | BS_GROUPBOX, kFrame);
    make(L"BUTTON", L"", WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON, kStaticOption);
    make(L"BUTTON", L"", BS_AUTORADIOBUTTON, kDhcpOption);
    for (std::size_t i = 0; i < kCaptions.size(); ++i) {
        make(L"STATIC", text(kCaptions[i].text), (i == 0 ? WS_GROUP : 0) | SS_LEFT,
             kFirstLabel + static_cast<int>(i));
    }
    make(L"STATIC", wideOf(logic_.deviceLine()), SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, kDeviceLine);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        entries_[i] = std::make_unique<IpAddressEdit>(instance, window_);
        entries_[i]->setName(text(kCaptions[i + 1].text));
    }

    layout(context_.dpi.forWindow(window_));
    centreOnOwner(window_, owner);
}

void SetIpWindow::layout(UINT dpi) {
    const NONCLIENTMETRICSW metrics = context_.dpi.nonClientMetrics(dpi);
    HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);

    const Scale scale(dpi, window_, font);
    const auto put = [&](int id, const RECT& at) {
        HWND control = GetDlgItem(window_, id);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        MoveWindow(control, at.left, at.top, at.right - at.left, at.bottom - at.top, TRUE);
    };
    const POINT client{0, 0};
    const RECT exitRect = scale.place(SetIpLayout::kExit, client,
                                      scale.text(text(Str::Exit), scale.pixels(240), scale.pixels(120)));
    const RECT okRect = scale.place(SetIpLayout::kOk, client,
                                    scale.text(text(Str::Ok), scale.pixels(240), scale.pixels(120)));
    put(kExit, exitRect);
    put(kOk, okRect);
    const POINT inFrame{scale.pixels(SetIpLayout::kFrame.left), scale.pixels(SetIpLayout::kFrame.top)};
    RECT frameBounds = scale.place(SetIpLayout::kFrame, client);
    for (const auto& [id, rect] : {std::pair{kStaticOption, SetIpLayout::kStaticOption},
                                   std::pair{kDhcpOption, SetIpLayout::kDhcpOption}}) {
        const RECT at = scale.place(rect, inFrame);
        put(id, at);
        growTo(frameBounds, at);
    }
    for (std::size_t i = 0; i < kCaptions.size(); ++i) {
        const RECT at = scale.place(kCaptions[i].rect, inFrame, scale.text(text(kCaptions[i].text), 0, 0));
        put(kFirstLabel + static_cast<int>(i), at);
        growTo(frameBounds, at);
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        entries_[i]->place(scale.place(SetIpLayout::kEntries[i], inFrame), font);
        RECT at{};
        GetWindowRect(entries_[i]->window(), &at);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&at), 2);
        growTo(frameBounds, at);
    }
    // The frame around its children, the window around the frame and the buttons, each with the
    // designed margin right and below.
    frameBounds.right += scale.pixels(SetIpLayout::kFrameMargin);
    frameBounds.bottom += scale.pixels(SetIpLayout::kFrameMargin);
    put(kFrame, frameBounds);
    // The device line under the buttons, as wide as the frame.
    RECT lineRect = scale.place(SetIpLayout::kDevice, client);
    lineRect.right = std::max(lineRect.right, frameBounds.right);
    put(kDeviceLine, lineRect);
    RECT content = frameBounds;
    growTo(content, exitRect);
    growTo(content, okRect);
    growTo(content, lineRect);
    RECT bounds = scale.place({0, 0, SetIpLayout::kClientWidth, SetIpLayout::kClientHeight}, client);
    growTo(bounds, RECT{0, 0, content.right + scale.pixels(SetIpLayout::kMargin),
                        content.bottom + scale.pixels(SetIpLayout::kMargin)});
    context_.dpi.adjustWindowRect(bounds, kStyle, false, kExStyle, dpi);
    SetWindowPos(window_, nullptr, 0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    if (font_ != nullptr) {
        DeleteObject(font_); // no control uses it any more
    }
    font_ = font;
}

std::optional<LRESULT> SetIpWindow::handle(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            switch (LOWORD(wParam)) {
            case kExit:
                logic_.exitPressed();
                return 0;
            case kOk:
                logic_.okPressed();
                return 0;
            case kStaticOption:
            case kDhcpOption:
                if (IsDlgButtonChecked(window_, LOWORD(wParam)) == BST_CHECKED) {
                    logic_.optionChosen(LOWORD(wParam) == kStaticOption ? SetIpDialog::Option::Static
                                                                        : SetIpDialog::Option::Dhcp);
                }
                return 0;
            case IDCANCEL: // Escape
                if (SetIpDialog::escapeCloses) {
                    logic_.exitPressed();
                }
                return 0;
            default:
                break;
            }
        }
        return 0;
    case WM_ACTIVATE:
        if (focus_.activated(window_, wParam)) {
            return 0;
        }
        break;
    case WM_CLOSE:
        logic_.closed();
        done_ = true;
        return 0;
    default:
        break;
    }
    return std::nullopt;
}

void SetIpWindow::setEntriesEnabled(bool enabled) {
    for (const auto& e : entries_) {
        e->setEnabled(enabled);
    }
}

void SetIpWindow::setEntry(SetIpDialog::Entry entry, const std::string& address) {
    entries_[slot(entry)]->setIpAddress(address);
}

std::string SetIpWindow::entry(SetIpDialog::Entry entry) const {
    return entries_[slot(entry)]->ipAddress();
}

void SetIpWindow::checkOption(SetIpDialog::Option option) {
    CheckRadioButton(window_, kStaticOption, kDhcpOption,
                     option == SetIpDialog::Option::Static ? kStaticOption : kDhcpOption);
}

void SetIpWindow::showMessage(const Message& message) {
    win32::showMessage(window_, message);
}

void SetIpWindow::closeWindow() {
    SendMessageW(window_, WM_CLOSE, 0, 0);
}

} // namespace fw::win32
