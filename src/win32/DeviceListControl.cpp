// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/DeviceListControl.h"

#include "app/ListLayout.h"
#include "discovery/DeviceCells.h"
#include "platform/windows/WideText.h"
#include "win32/ResourceIds.h"
#include "win32/WindowMetrics.h"

#include <algorithm>

namespace fw::win32 {

DeviceListControl::DeviceListControl(HWND parent, HINSTANCE instance, int id, HFONT font, int dpi)
    : instance_(instance), dpi_(dpi) {
    // What screen readers call the list: its window text, and for those that name a list by the
    // label before it in z-order (as MSAA's list view proxy does), a label of no size, made just before it.
    const std::wstring name = wideOf(loadResString(Str::ColDevice));
    CreateWindowExW(0, L"STATIC", name.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0,
                    parent, nullptr, instance, nullptr);
    list_ = CreateWindowExW(
        WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_OWNERDATA,
        0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP);

    loadRowIcon();

    for (int c = 0; c < kDeviceColumns; ++c) {
        std::wstring title = c == kDeviceKindColumn
                                 ? L""
                                 : wideOf(loadResString(kDeviceColumnTitles[static_cast<std::size_t>(c)]));
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = title.data();
        column.cx = 0;
        column.iSubItem = c;
        ListView_InsertColumn(list_, c, &column);
    }
    SetWindowTextW(list_, name.c_str());
}

DeviceListControl::~DeviceListControl() {
    if (icons_ != nullptr) {
        ImageList_Destroy(icons_);
    }
}

// The list holds the image list it had until the new one is in.
void DeviceListControl::loadRowIcon() {
    const int side = MulDiv(16, dpi_, USER_DEFAULT_SCREEN_DPI);
    HIMAGELIST old = icons_;
    icons_ = ImageList_Create(side, side, ILC_COLOR32 | ILC_MASK, 1, 0);
    HICON row = loadIcon(instance_, FW_IDI_ROW, side);
    if (row != nullptr) {
        ImageList_AddIcon(icons_, row);
        DestroyIcon(row);
    }
    ListView_SetImageList(list_, icons_, LVSIL_SMALL);
    if (old != nullptr) {
        ImageList_Destroy(old);
    }
}

void DeviceListControl::useDpi(int dpi) {
    dpi_ = dpi;
    loadRowIcon();
    fitColumns();
}

void DeviceListControl::appendRows(std::vector<DeviceRow> rows) {
    if (rows.empty()) {
        return;
    }
    rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    recount();
}

void DeviceListControl::removeDeviceRow(int row) {
    if (row < 0 || row >= count()) {
        return;
    }
    rows_.erase(rows_.begin() + row);
    recount();
}

void DeviceListControl::insertRow(int at, DeviceRow row) {
    rows_.insert(rows_.begin() + at, std::move(row));
    recount();
}

// A virtual list keeps its selection by index: the window's logic picks again after the move.
void DeviceListControl::reorder(const std::vector<int>& order) {
    std::vector<DeviceRow> moved;
    moved.reserve(order.size());
    for (const int i : order) {
        moved.push_back(std::move(rows_.at(static_cast<std::size_t>(i))));
    }
    rows_ = std::move(moved);
    InvalidateRect(list_, nullptr, FALSE);
}

void DeviceListControl::showSortIndicator(int column, bool ascending) {
    HWND header = ListView_GetHeader(list_);
    if (header == nullptr) {
        return;
    }
    for (int c = 0; c < Header_GetItemCount(header); ++c) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        if (Header_GetItem(header, c, &item) == FALSE) {
            continue;
        }
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (c == column) {
            item.fmt |= ascending ? HDF_SORTUP : HDF_SORTDOWN;
        }
        Header_SetItem(header, c, &item);
    }
}

void DeviceListControl::clear() {
    rows_.clear();
    recount();
}

void DeviceListControl::recount() {
    ListView_SetItemCountEx(list_, static_cast<int>(rows_.size()), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
    InvalidateRect(list_, nullptr, FALSE);
    RECT client{};
    if (GetClientRect(list_, &client) != 0 && client.right != fittedWidth_) {
        fitColumns();
    }
}

int DeviceListControl::pickedRow() const {
    return ListView_GetNextItem(list_, -1, LVNI_SELECTED);
}

void DeviceListControl::pick(int row) {
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (row >= 0) {
        ListView_SetItemState(list_, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
}

POINT DeviceListControl::popupPoint(bool atPickedRow) const {
    POINT at{0, 0};
    RECT header{};
    if (HWND columns = ListView_GetHeader(list_);
        columns != nullptr && GetWindowRect(columns, &header) != 0) {
        at.y = header.bottom - header.top;
    }
    const int row = pickedRow();
    RECT item{};
    if (atPickedRow && row >= 0) {
        ListView_EnsureVisible(list_, row, FALSE);
        if (ListView_GetItemRect(list_, row, &item, LVIR_LABEL) != 0) {
            at = {item.left, item.bottom};
        }
    }
    ClientToScreen(list_, &at);
    return at;
}

void DeviceListControl::fillCell(NMLVDISPINFOW& info, const std::string& text) {
    LVITEMW& item = info.item;
    if (item.iItem < 0 || item.iItem >= count()) {
        return;
    }
    if ((item.mask & LVIF_TEXT) != 0U && item.pszText != nullptr && item.cchTextMax > 0) {
        lstrcpynW(item.pszText, wideOf(text).c_str(), item.cchTextMax);
    }
    if ((item.mask & LVIF_IMAGE) != 0U) {
        item.iImage = item.iSubItem == 0 ? 0 : -1;
    }
}

void DeviceListControl::fillInfoTip(NMLVGETINFOTIPW& tip, const std::string& text) {
    if (!text.empty() && tip.pszText != nullptr && tip.cchTextMax > 0) {
        lstrcpynW(tip.pszText, wideOf(text).c_str(), tip.cchTextMax);
    }
}

int DeviceListControl::columnAtPointer() const {
    const DWORD pointer = GetMessagePos();
    LVHITTESTINFO hit{};
    hit.pt = {static_cast<short>(LOWORD(pointer)), static_cast<short>(HIWORD(pointer))};
    ScreenToClient(list_, &hit.pt);
    return ListView_SubItemHitTest(list_, &hit) < 0 ? -1 : hit.iSubItem;
}

void DeviceListControl::showVendorColumn(bool shown) {
    if (shown == vendorShown_) {
        return;
    }
    vendorShown_ = shown;
    if (shown) {
        std::wstring title = wideOf(loadResString(Str::ColVendor));
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = title.data();
        column.iSubItem = kDeviceColumns;
        ListView_InsertColumn(list_, kDeviceColumns, &column);
    } else {
        ListView_DeleteColumn(list_, kDeviceColumns);
    }
    fitColumns();
}

void DeviceListControl::fitColumns() {
    RECT client{};
    if (GetClientRect(list_, &client) == 0) {
        return;
    }
    const auto unit = list_layout::widthUnit(
        list_layout::sharedWidth(static_cast<int>(pixelsToTwips(client.right, dpi_)), vendorShown_));
    if (!unit) {
        return;
    }
    fittedWidth_ = client.right;
    const auto widths = list_layout::columnWidths(*unit);
    for (int c = 0; c < list_layout::kColumnCount; ++c) {
        ListView_SetColumnWidth(list_, c,
                                std::max(0, twipsToPixels(widths[static_cast<std::size_t>(c)], dpi_)));
    }
    if (vendorShown_) {
        ListView_SetColumnWidth(list_, kDeviceColumns, std::max(0, twipsToPixels(*unit, dpi_)));
    }
}

} // namespace fw::win32
