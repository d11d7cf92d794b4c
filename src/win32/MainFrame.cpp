// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/MainFrame.h"

#include "app/ListLayout.h"
#include "common/StringTable.h"
#include "platform/windows/WideText.h"
#include "win32/AboutWindow.h"
#include "win32/DownloadWindow.h"
#include "win32/ResourceIds.h"
#include "win32/SetIpWindow.h"
#include "win32/Win32Clipboard.h"
#include "win32/Win32MessageBox.h"
#include "win32/WindowClass.h"

#include <optional>
#include <windows.h>
// windows.h first: the headers below use its types
#include <windowsx.h>

namespace fw::win32 {
namespace {

constexpr const wchar_t* kClassName = L"FernwickMain";
constexpr int kFirstEntryId = 1000; // menu entry i has command id kFirstEntryId + i
constexpr int kDeleteButtonId = 2001;
constexpr int kSearchButtonId = 2002;
constexpr int kListId = 2003;
constexpr UINT_PTR kFirstSearchTimer = 1;

std::wstring text(Str id) {
    return wideOf(loadResString(id));
}

int entryId(std::size_t entry) {
    return kFirstEntryId + static_cast<int>(entry);
}

} // namespace

MainFrame::MainFrame(const Win32Context& context)
    : context_(context), listTopTwips_(list_layout::kInitialListTop) {
    HICON icon = LoadIconW(context_.instance, MAKEINTRESOURCEW(FW_IDI_PROGRAM));
    registerWindowClass(context_.instance, kClassName, &windowProc,
                        icon != nullptr ? icon : LoadIconW(nullptr, IDI_APPLICATION));
    createWindow(0, kClassName, L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                 CW_USEDEFAULT, CW_USEDEFAULT, nullptr, context_.instance);
    metrics_ = std::make_unique<WindowMetrics>(context_.dpi, window_);
    buildMenus();
    buildClientArea();

    port_ = std::make_unique<EngineJob<engine::SearchDriver>>(context_.engine, context_.queue);
    SearchCycle::View& searchView = *this;
    MainWindowLogic::View& view = *this;
    listExport_ = std::make_unique<Win32ListExport>(context_.host, window_);
    logic_ = std::make_unique<MainWindowLogic>(view, *list_, *port_, searchView, listExport_->logic());

    // Load order: captions (the menu table's), title, toolbar pictures, list columns, empty list,
    // initial enabling. Showing the window then starts the search.
    SetWindowTextW(window_, text(Str::Product).c_str());
    logic_->load();
    vendorLoad_ =
        std::make_unique<VendorTableLoad>(context_.host, context_.queue, [this](VendorTable vendors) {
            logic_->vendorsLoaded(std::move(vendors));
        });
    metrics_->sizeClient(window_, list_layout::kClientWidth, list_layout::kClientHeight, true);
    layoutClient();
}

MainFrame::~MainFrame() {
    searching_.reset();
    if (logic_) {
        logic_->search().closeDiscoverySockets();
    }
    destroyWindow();
    for (HICON icon : buttonIcons_) {
        if (icon != nullptr) {
            DestroyIcon(icon);
        }
    }
}

bool MainFrame::moveFocusOnTab(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB ||
        (msg.hwnd != window_ && IsChild(window_, msg.hwnd) == 0)) {
        return false;
    }
    if (msg.hwnd == window_) { // keys aimed at the frame itself: the list takes them
        SetFocus(list_->window());
        return true;
    }
    const BOOL back = GetKeyState(VK_SHIFT) < 0 ? TRUE : FALSE;
    if (HWND next = GetNextDlgTabItem(window_, GetFocus(), back)) {
        SetFocus(next);
    }
    return true;
}

bool MainFrame::commandKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || (msg.hwnd != window_ && IsChild(window_, msg.hwnd) == 0)) {
        return false;
    }
    const bool onList = msg.hwnd == list_->window();
    if (GetKeyState(VK_CONTROL) < 0) {
        const bool copy = (msg.wParam == 'C' || msg.wParam == VK_INSERT) && GetKeyState(VK_SHIFT) >= 0 &&
                          GetKeyState(VK_MENU) >= 0;
        return onList && copy && logic_->keyPressed(WindowKey::Copy);
    }
    std::optional<WindowKey> key;
    if (msg.wParam == VK_F5) {
        key = WindowKey::F5;
    } else if (onList && msg.wParam == VK_RETURN) {
        key = WindowKey::Enter;
    } else if (onList && msg.wParam == VK_DELETE) {
        key = WindowKey::Delete;
    }
    return key && logic_->keyPressed(*key);
}

void MainFrame::show(int how) {
    ShowWindow(window_, how);
    UpdateWindow(window_);
    SetFocus(list_->window());
    logic_->shown();
}

// The menu bar's menus and the two popups, entry by entry from the table. Hidden entries are left
// out: a Win32 menu has no hidden item. The design's access keys are marked in the captions.
void MainFrame::buildMenus() {
    bar_ = CreateMenu();
    for (const MenuDef& def : kMenus) {
        menus_[static_cast<std::size_t>(def.id)] = CreatePopupMenu();
    }
    for (std::size_t i = 0; i < kMenuEntries.size(); ++i) {
        const MenuEntry& entry = kMenuEntries[i];
        if (!entry.shown) {
            continue;
        }
        HMENU menu = menus_[static_cast<std::size_t>(entry.menu)];
        if (entry.command == MenuCommand::None) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        const std::wstring caption = wideOf(captionWithAccessKey(menuCaption(entry), entry.designCaption));
        AppendMenuW(menu, MF_STRING | (entry.checkedAtStart ? MF_CHECKED : 0U),
                    static_cast<UINT_PTR>(entryId(i)), caption.c_str());
    }
    for (const MenuDef& def : kMenus) {
        if (def.inBar) {
            const std::wstring caption = wideOf(captionWithAccessKey(menuCaption(def), def.designCaption));
            AppendMenuW(bar_, MF_POPUP, reinterpret_cast<UINT_PTR>(menus_[static_cast<std::size_t>(def.id)]),
                        caption.c_str());
        }
    }
    SetMenu(window_, bar_);
}

void MainFrame::buildClientArea() {
    const WindowMetrics& m = *metrics_;
    line_ = m.child(window_, L"STATIC", L"", SS_ETCHEDHORZ, 0, 0, 0, 0, 0);
    const auto button = [&](int id) { // placed by layoutClient()
        return m.child(window_, L"BUTTON", L"", WS_TABSTOP | BS_PUSHBUTTON | BS_ICON, id, 0, 0, 0, 0);
    };
    deleteButton_ = button(kDeleteButtonId);
    searchButton_ = button(kSearchButtonId);
    loadButtonIcons();
    // The picture buttons have no text of their own: their window texts (what screen readers say)
    // and tooltips are the menu entries they stand for.
    SetWindowTextW(deleteButton_, text(Str::Delete).c_str());
    SetWindowTextW(searchButton_, text(Str::Search).c_str());

    tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, context_.instance,
                            nullptr);
    for (const auto& [control, caption] :
         {std::pair{deleteButton_, Str::Delete}, std::pair{searchButton_, Str::Search}}) {
        std::wstring tip = text(caption);
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(control);
        tool.lpszText = tip.data();
        SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }

    list_ = std::make_unique<DeviceListControl>(window_, context_.instance, kListId, m.font(), m.dpi());
}

// The toolbar's pictures at the window's DPI; the ones they replace go once the buttons hold the new.
void MainFrame::loadButtonIcons() {
    const int side = MulDiv(16, metrics_->dpi(), USER_DEFAULT_SCREEN_DPI);
    const std::array<HICON, 2> old = buttonIcons_;
    buttonIcons_ = {loadIcon(context_.instance, FW_IDI_DELETE, side),
                    loadIcon(context_.instance, FW_IDI_SEARCH, side)};
    SendMessageW(deleteButton_, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(buttonIcons_[0]));
    SendMessageW(searchButton_, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(buttonIcons_[1]));
    for (HICON icon : old) {
        if (icon != nullptr) {
            DestroyIcon(icon);
        }
    }
}

// The list fills the client area below the toolbar band (from the top with the toolbar hidden), and
// its six visible columns share what the list shows of its width by the w rule. A size that gives
// w <= 0 (a minimized window) leaves everything as it was.
void MainFrame::layoutClient() {
    RECT client{};
    GetClientRect(window_, &client);
    const int dpi = metrics_->dpi();
    const auto unit = list_layout::widthUnit(static_cast<int>(pixelsToTwips(client.right, dpi)));
    if (!unit) {
        return;
    }
    MoveWindow(line_, 0, 0, client.right, 2, TRUE);
    const int button = metrics_->px(list_layout::kButtonSize);
    const int top = metrics_->px(list_layout::kButtonTop);
    MoveWindow(deleteButton_, metrics_->px(list_layout::kDeleteButtonLeft), top, button, button, TRUE);
    MoveWindow(searchButton_, metrics_->px(list_layout::kSearchButtonLeft), top, button, button, TRUE);
    const int listTop = metrics_->px(listTopTwips_);
    MoveWindow(list_->window(), 0, listTop, client.right,
               std::max(0, static_cast<int>(client.bottom) - listTop), TRUE);
    list_->fitColumns();
}

void MainFrame::render(const CommandEnabling& enabling) {
    // A disabled window loses the focus to nothing: the Search button pressed from the keyboard
    // would leave no control taking keys. The list takes them instead.
    HWND focus = GetFocus();
    EnableWindow(deleteButton_, enabling.enabled(Command::DeleteButton) ? TRUE : FALSE);
    EnableWindow(searchButton_, enabling.enabled(Command::SearchButton) ? TRUE : FALSE);
    if ((focus == deleteButton_ || focus == searchButton_) && IsWindowEnabled(focus) == 0) {
        SetFocus(list_->window());
    }
    for (std::size_t i = 0; i < kMenuEntries.size(); ++i) {
        const MenuEntry& entry = kMenuEntries[i];
        if (entry.shown && entry.enabling) {
            EnableMenuItem(menus_[static_cast<std::size_t>(entry.menu)], static_cast<UINT>(entryId(i)),
                           MF_BYCOMMAND | (enabling.enabled(*entry.enabling) ? MF_ENABLED : MF_GRAYED));
        }
    }
}

void MainFrame::showPopup(MainWindowLogic::Popup popup, MainWindowLogic::PopupPlace place) {
    POINT at{};
    if (place == MainWindowLogic::PopupPlace::Pointer) {
        const DWORD pointer = GetMessagePos();
        at = {GET_X_LPARAM(pointer), GET_Y_LPARAM(pointer)};
    } else {
        at = list_->popupPoint(place == MainWindowLogic::PopupPlace::PickedRow);
    }
    HMENU menu = menus_[static_cast<std::size_t>(popup == MainWindowLogic::Popup::Row ? MenuId::RowPopup
                                                                                      : MenuId::SpacePopup)];
    // Either button chooses an entry.
    TrackPopupMenuEx(menu, TPM_RIGHTBUTTON | TPM_LEFTALIGN, at.x, at.y, window_, nullptr);
}

MessageAnswer MainFrame::ask(const Message& message) {
    return win32::showMessage(window_, message);
}

void MainFrame::showMessage(const Message& message) {
    win32::showMessage(window_, message);
}

void MainFrame::startFirstSearchTimer(std::chrono::milliseconds delay) {
    SetTimer(window_, kFirstSearchTimer, static_cast<UINT>(delay.count()), nullptr);
}

int MainFrame::openSetIp(const SetIpDialog::Opening& opening) {
    return SetIpWindow::run(window_, context_, opening, exchange_);
}

void MainFrame::openUpgrade(const UpgradeDialog::Opening& opening) {
    DownloadWindow::run(window_, context_, opening, carryOver_);
}

void MainFrame::copyToClipboard(const std::string& text) {
    putClipboardText(window_, text);
}

void MainFrame::showToolbar(bool shown) {
    CheckMenuItem(menus_[static_cast<std::size_t>(MenuId::View)],
                  static_cast<UINT>(entryId(menuEntryIndex("toolbar"))),
                  MF_BYCOMMAND | (shown ? MF_CHECKED : MF_UNCHECKED));
    ShowWindow(deleteButton_, shown ? SW_SHOW : SW_HIDE);
    ShowWindow(searchButton_, shown ? SW_SHOW : SW_HIDE);
    listTopTwips_ = shown ? list_layout::kShownListTop : 0.0;
    layoutClient();
}

void MainFrame::showVendorColumn(bool shown) {
    CheckMenuItem(menus_[static_cast<std::size_t>(MenuId::View)],
                  static_cast<UINT>(entryId(menuEntryIndex("vendorcolumn"))),
                  MF_BYCOMMAND | (shown ? MF_CHECKED : MF_UNCHECKED));
    list_->showVendorColumn(shown);
}

void MainFrame::showAbout() {
    AboutWindow::run(context_.instance, context_.dpi, window_);
}

// Asynchronous like the frame's close button: the request comes round through the message loop.
void MainFrame::closeWindow() {
    PostMessageW(window_, WM_CLOSE, 0, 0);
}

void MainFrame::startCountdown() {
    // The window before has gone with its countdown; its object goes now, outside its own messages.
    searching_ = std::make_unique<SearchingWindow>(context_.instance, context_.dpi, window_,
                                                   [this] { logic_->search().countdownEnded(); });
    searching_->start();
}

void MainFrame::command(int id) {
    if (id == kDeleteButtonId) {
        logic_->run(MenuCommand::Delete);
    } else if (id == kSearchButtonId) {
        logic_->searchButton();
    } else if (id >= kFirstEntryId && id < entryId(kMenuEntries.size())) {
        logic_->run(kMenuEntries[static_cast<std::size_t>(id - kFirstEntryId)].command);
    }
}

LRESULT MainFrame::notify(const NMHDR& header) {
    if (header.idFrom != kListId) {
        return 0;
    }
    switch (header.code) {
    case LVN_GETDISPINFOW: {
        auto& info = *reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&header));
        list_->fillCell(info, logic_->cellText(info.item.iItem, info.item.iSubItem));
        return 0;
    }
    case LVN_GETINFOTIPW: { // the MAC cell names the device's vendor
        auto& tip = *reinterpret_cast<NMLVGETINFOTIPW*>(const_cast<NMHDR*>(&header));
        DeviceListControl::fillInfoTip(tip, logic_->toolTip(tip.iItem, list_->columnAtPointer()));
        return 0;
    }
    case LVN_COLUMNCLICK:
        logic_->headerClicked(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
        return 0;
    case NM_CLICK:
    case NM_RCLICK:
    case NM_DBLCLK: {
        // A click picks the row under the pointer or, over empty space, no row.
        const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
        const int row = activate.iItem;
        list_->pick(row);
        if (header.code == NM_CLICK) {
            logic_->picked(row, true);
        } else if (header.code == NM_RCLICK) {
            logic_->rightReleased();
        } else {
            logic_->picked(row, true);
            logic_->doubleClicked();
        }
        return 0;
    }
    default:
        return 0;
    }
}

std::optional<LRESULT> MainFrame::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        command(LOWORD(wParam));
        return 0;
    case WM_NOTIFY:
        return notify(*reinterpret_cast<const NMHDR*>(lParam));
    // The context-menu key and Shift+F10 on the list come as a position of -1 (a right click has
    // shown its popup on NM_RCLICK already).
    case WM_CONTEXTMENU:
        if (GET_X_LPARAM(lParam) == -1 && GET_Y_LPARAM(lParam) == -1 &&
            (reinterpret_cast<HWND>(wParam) == list_->window() ||
             reinterpret_cast<HWND>(wParam) == window_)) {
            logic_->keyPressed(WindowKey::ContextMenu);
            return 0;
        }
        return std::nullopt;
    case WM_INITMENUPOPUP:
        if (reinterpret_cast<HMENU>(wParam) == menus_[static_cast<std::size_t>(MenuId::Admin)]) {
            logic_->adminOpening();
        } else if (reinterpret_cast<HMENU>(wParam) == menus_[static_cast<std::size_t>(MenuId::Edit)]) {
            logic_->editOpening();
        }
        return 0;
    case WM_TIMER:
        if (wParam == kFirstSearchTimer) {
            KillTimer(window_, kFirstSearchTimer);
            logic_->firstSearchDue();
        }
        return 0;
    case WM_SIZE:
        if (list_) { // not while the window is being made
            layoutClient();
        }
        return 0;
    // The keys go to the control that had them before a dialog, a message box, the Searching window
    // or another program took the activation, else to the list; never to the frame, which takes none.
    case WM_ACTIVATE:
        if (!focus_.activated(window_, wParam) && LOWORD(wParam) != WA_INACTIVE && HIWORD(wParam) == 0) {
            SetFocus(list_->window());
        }
        return 0;
    case WM_SETFOCUS:
        SetFocus(list_->window());
        return 0;
    case WM_CLOSE:
        if (logic_->closeRequested()) {
            DestroyWindow(window_);
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(exitStatus_);
        return 0;
    default:
        return std::nullopt;
    }
}

// The new font reaches every control before the old one is deleted with its metrics.
void MainFrame::dpiChanged(UINT) {
    auto metrics = std::make_unique<WindowMetrics>(context_.dpi, window_);
    for (HWND control : {line_, deleteButton_, searchButton_, list_->window()}) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(metrics->font()), TRUE);
    }
    metrics_ = std::move(metrics);
    loadButtonIcons();
    list_->useDpi(metrics_->dpi());
    layoutClient();
}

} // namespace fw::win32
