// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CommandEnabling.h"
#include "app/ListExport.h"
#include "app/MenuTable.h"
#include "app/RowCopy.h"
#include "app/RowOrder.h"
#include "common/Message.h"
#include "common/VendorTable.h"
#include "discovery/DeviceCells.h"
#include "discovery/DeviceRows.h"
#include "discovery/SearchCycle.h"
#include "setip/SetIpDialog.h"
#include "upgrade/UpgradeDialog.h"

#include <chrono>
#include <optional>
#include <string>

namespace fw {

// The main window (start): the start-up order, the first search half a second after the window is
// shown, the enabling of the commands, the row commands and what they hand to the row dialogs, the
// popups, the hidden commands and the end of the program. Every close request asks for
// confirmation; OK, and the fatal adapter failure of a search, end the program at once. It owns the
// window's search cycle and keeps what the row dialogs are opened with: the selected device, the
// last search's adapter tables and the adapter Set IP chose last. It keeps the list's order (a
// header click sorts it) and picks the operator's row again whenever the list moves under it. It
// names each device's vendor, in the optional Vendor column and the MAC cell's tooltip, once the
// vendor table has come.
class MainWindowLogic final : public SearchCycle::Events {
public:
    static constexpr std::chrono::milliseconds kFirstSearchDelay{500};
    // The list's columns: the device's seven (the kind letter's hidden), then the Vendor column,
    // shown from View -> Vendor Column.
    static constexpr int kVendorColumn = kDeviceColumns;
    static constexpr int kListColumns = kDeviceColumns + 1;
    static constexpr int kMacColumn = 5;

    enum class Popup : std::uint8_t { Row, Space };
    // Where a popup opens: at the pointer after a right release; from the keyboard at the picked
    // row, or at the list's top left corner when no row is picked.
    enum class PopupPlace : std::uint8_t { Pointer, PickedRow, ListCorner };

    class View {
    public:
        virtual void render(const CommandEnabling& enabling) = 0;
        virtual int pickedRow() const = 0; // -1 for none
        // Picks this row (-1: none) after the list moved under the pick.
        virtual void pick(int row) = 0;
        // The header shows the list sorted by this column, ascending or descending; none for -1.
        virtual void showSortIndicator(int column, bool ascending) = 0;
        // Shows or hides the Vendor column (and checks its menu entry to match).
        virtual void showVendorColumn(bool shown) = 0;
        // The vendor texts changed (the table came): the list draws its cells and tooltips again.
        virtual void vendorsChanged() = 0;
        // No row picked and no current row, so that removing rows cannot pick a neighbour.
        virtual void unpick() = 0;
        virtual void showPopup(Popup popup, PopupPlace place) = 0;
        virtual MessageAnswer ask(const Message& message) = 0;
        // Call firstSearchDue() once `delay` has passed.
        virtual void startFirstSearchTimer(std::chrono::milliseconds delay) = 0;
        // The row dialogs, modal; each returns when its dialog closes. Set IP returns the adapter
        // index it chose (SetIpDialog::adapterIndex()).
        virtual int openSetIp(const SetIpDialog::Opening& opening) = 0;
        virtual void openUpgrade(const UpgradeDialog::Opening& opening) = 0;
        virtual void flushNeighbour(Ipv4 ip) = 0;
        virtual void openUrl(const std::string& url) = 0;
        // Puts UTF-8 text with "\n" line ends on the clipboard (each platform's own line ends and,
        // on Linux, the selection too); a clipboard another program holds leaves it as it was.
        virtual void copyToClipboard(const std::string& text) = 0;
        virtual void showToolbar(bool shown) = 0;
        virtual void showAbout() = 0;
        // The program ends now with this status (0 after OK on the confirmation, 1 without a usable
        // adapter); closeWindow() closes the window, which asks closeRequested() first.
        virtual void endProgram(int exitStatus) = 0;
        virtual void closeWindow() = 0;

    protected:
        ~View() = default;
    };

    // The search cycle is built here, over the view's port and Searching dialog, and reports to this.
    // File -> Export List... runs `listExport`.
    MainWindowLogic(View& view, DeviceRows& rows, JobPort<SearchJob>& searchPort,
                    SearchCycle::View& searchView, ListExport& listExport);
    MainWindowLogic(const MainWindowLogic&) = delete;
    MainWindowLogic& operator=(const MainWindowLogic&) = delete;

    // Load order: the view has put in its captions, pictures and columns; the list is emptied and the
    // initial enabling rendered.
    void load();
    void shown(); // every show; the first one starts the first search's timer
    void firstSearchDue() { search_.search(); }

    void run(MenuCommand command);
    void searchButton();                   // the toolbar's Search locks itself and Delete around its search
    void picked(int row, bool leftButton); // a press on a row (or -1 on space)
    void rightReleased();                  // shows the popup for what is picked
    void adminOpening();
    void editOpening(); // Edit -> Copy follows the pick, which the keyboard moves unseen
    void doubleClicked() { connectToDevice(); }
    // A click on a column's header sorts the list by it; a second click reverses.
    void headerClicked(int column);
    // A command key (see WindowKey); true when the window took it.
    bool keyPressed(WindowKey key);
    // A close request; true when the window may close (the program then ends).
    bool closeRequested();

    // The vendor table has come (it is read off the GUI thread): the vendor texts fill in.
    void vendorsLoaded(VendorTable vendors);
    // A cell's text and tooltip, as the list shows them (row in listed order): the Vendor column's
    // cells and the MAC cell's tooltip name the device's vendor; other tooltips are empty.
    std::string cellText(int row, int column) const;
    std::string toolTip(int row, int column) const;

    const CommandEnabling& enabling() const { return enabling_; }
    bool toolbarShown() const { return toolbarShown_; }
    bool vendorColumnShown() const { return vendorColumnShown_; }
    SearchCycle& search() { return search_; }
    const SearchCycle& search() const { return search_; }
    // The device listed last or picked last (none before either) and our address on the adapter
    // its reply came in on.
    std::optional<Ipv4> selectedDeviceIp() const { return selectedIp_; }
    std::optional<Ipv4> localAdapterIp() const { return localAdapterIp_; }
    const SearchCycle::Adapters& adapters() const { return adapters_; }

    void searchStarted(SearchCycle::Adapters adapters) override;
    void rowsAdded(int lastRow) override;
    void searchFinished() override;
    void adapterFailure(AdapterOutcome outcome) override;

private:
    // The list as the search cycle fills it: rows go through the order to their places.
    class ListedRows final : public DeviceRows {
    public:
        explicit ListedRows(MainWindowLogic& logic) : logic_(logic) {}
        void appendRows(std::vector<DeviceRow> rows) override { logic_.listRows(std::move(rows)); }
        void removeDeviceRow(int row) override;
        void insertRow(int at, DeviceRow row) override;
        void reorder(const std::vector<int>& order) override { logic_.rows_.reorder(order); }
        void clear() override;
        const DeviceRow& rowAt(int row) const override { return logic_.rows_.rowAt(row); }
        int count() const override { return logic_.rows_.count(); }

    private:
        MainWindowLogic& logic_;
    };

    void listRows(std::vector<DeviceRow> rows);
    std::optional<RowOrder::Arrival> pickedArrival() const;
    void repick(std::optional<RowOrder::Arrival> picked);
    void apply(EnablingEvent event);
    void popupRule(bool fromKeyboard);
    const DeviceRow* pickedRow() const;
    void takeHandOffFrom(const DeviceRow& row);
    void connectToDevice();
    void deletePicked();
    void deleteAll();
    void setIp();
    void upgrade();
    void returnToNormalMode();
    void copyPicked(CopyWhat what);
    void toggleVendorColumn();
    void exportList();
    std::string vendorOf(const DeviceRow& row) const;

    View& view_;
    DeviceRows& rows_;
    RowOrder order_{[this](const DeviceRow& row, int column) {
        return column == kVendorColumn ? vendorOf(row) : deviceCellText(row, column);
    }};
    ListedRows listed_{*this};
    SearchCycle search_;
    std::optional<Ipv4> selectedIp_;
    std::optional<Ipv4> localAdapterIp_;
    SearchCycle::Adapters adapters_; // rebuilt at every search
    int setIpAdapterIndex_ = 0;      // chosen when the Set IP dialog loads, kept for the next opening
    CommandEnabling enabling_;
    bool firstShowDone_ = false;
    bool searchButtonLocked_ = false;
    bool toolbarShown_ = true;
    bool vendorColumnShown_ = false; // the window remembers nothing between runs
    std::optional<VendorTable> vendors_;
    bool exportWaiting_ = false; // chosen before the vendor table came
    bool ending_ = false;
    ListExport& listExport_;
};

} // namespace fw
