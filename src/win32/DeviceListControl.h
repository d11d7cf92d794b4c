// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discovery/DeviceRows.h"

#include <string>
#include <vector>
#include <windows.h>
// windows.h first: the headers below use its types
#include <commctrl.h>

namespace fw::win32 {

// The device list (ListView1): a list view in report mode over the rows it keeps. The list asks for
// the cells it draws (a virtual list), so a thousand rows arrive as one count change.
class DeviceListControl final : public DeviceRows {
public:
    // Makes the list view as a child of parent, with its columns and small row icon.
    DeviceListControl(HWND parent, HINSTANCE instance, int id, HFONT font, int dpi);
    ~DeviceListControl();
    DeviceListControl(const DeviceListControl&) = delete;
    DeviceListControl& operator=(const DeviceListControl&) = delete;

    void appendRows(std::vector<DeviceRow> rows) override;
    void removeDeviceRow(int row) override;
    void insertRow(int at, DeviceRow row) override;
    void reorder(const std::vector<int>& order) override;
    void clear() override;
    const DeviceRow& rowAt(int row) const override { return rows_.at(static_cast<std::size_t>(row)); }
    int count() const override { return static_cast<int>(rows_.size()); }

    HWND window() const { return list_; }
    int pickedRow() const;
    void pick(int row); // -1 picks none
    // The header's arrow on this column (HDF_SORTUP or HDF_SORTDOWN), none on the others.
    void showSortIndicator(int column, bool ascending);
    // Where a popup opened from the keyboard goes, in screen coordinates: below the picked row
    // (scrolled into view), or at the top left corner of the rows.
    POINT popupPoint(bool atPickedRow) const;
    // Fills in what the list asks for (LVN_GETDISPINFOW): the cell's text, as the window's logic
    // gives it, and the row icon.
    void fillCell(NMLVDISPINFOW& info, const std::string& text);
    // The tooltip the list asks for (LVN_GETINFOTIPW); an empty one leaves the list's own.
    static void fillInfoTip(NMLVGETINFOTIPW& tip, const std::string& text);
    // The column under the pointer (the infotip names only the row), -1 for none.
    int columnAtPointer() const;
    // The Vendor column (the eighth), made or removed.
    void showVendorColumn(bool shown);
    // The six visible columns (seven with the Vendor column) share the list's client width (inside
    // its border, beside its vertical scroll bar) by the w rule; again whenever the scroll bar comes
    // or goes with the rows.
    void fitColumns();
    // After a move to a monitor of another scale: the row icon and the columns at the new DPI.
    void useDpi(int dpi);

private:
    void recount();
    void loadRowIcon();

    HINSTANCE instance_;
    HWND list_ = nullptr;
    HIMAGELIST icons_ = nullptr;
    int dpi_;
    int fittedWidth_ = -1; // the client width the columns were fitted to
    bool vendorShown_ = false;
    std::vector<DeviceRow> rows_;
};

} // namespace fw::win32
