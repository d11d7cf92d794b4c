// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainWindowLogic.h"

#include "common/StringTable.h"
#include "discovery/DeviceCells.h"

#include <utility>

namespace fw {

MainWindowLogic::MainWindowLogic(View& view, DeviceRows& rows, JobPort<SearchJob>& searchPort,
                                 SearchCycle::View& searchView, ListExport& listExport)
    : view_(view), rows_(rows), search_(searchPort, listed_, searchView, *this), listExport_(listExport) {}

void MainWindowLogic::ListedRows::removeDeviceRow(int row) {
    logic_.order_.remove(row);
    logic_.rows_.removeDeviceRow(row);
}

void MainWindowLogic::ListedRows::insertRow(int at, DeviceRow row) {
    logic_.rows_.insertRow(at, std::move(row));
}

void MainWindowLogic::ListedRows::clear() {
    logic_.order_.clear();
    logic_.rows_.clear();
}

// A batch is one append; a sorted list is then put in order in one move, and the pick follows its
// device. (Placing each row on its own made a list view recount and redraw per row: seconds for
// 1,000 rows in the Win32 list under wine.)
void MainWindowLogic::listRows(std::vector<DeviceRow> rows) {
    const std::optional<RowOrder::Arrival> picked = pickedArrival();
    const std::size_t count = rows.size();
    rows_.appendRows(std::move(rows));
    if (const std::vector<int> order = order_.arrive(rows_, count); !order.empty()) {
        rows_.reorder(order);
        repick(picked);
    }
}

void MainWindowLogic::headerClicked(int column) {
    if (column < 0 || column == kDeviceKindColumn || column >= kListColumns ||
        (column == kVendorColumn && !vendorColumnShown_)) {
        return; // the hidden columns
    }
    const std::optional<RowOrder::Arrival> picked = pickedArrival();
    order_.chooseColumn(column);
    rows_.reorder(order_.sort(rows_));
    view_.showSortIndicator(column, order_.sorting()->ascending);
    repick(picked);
}

std::optional<RowOrder::Arrival> MainWindowLogic::pickedArrival() const {
    const int row = view_.pickedRow();
    if (row < 0 || row >= rows_.count()) {
        return std::nullopt;
    }
    return order_.arrivalAt(row);
}

void MainWindowLogic::repick(std::optional<RowOrder::Arrival> picked) {
    if (picked) {
        view_.pick(order_.rowOf(*picked));
    }
}

void MainWindowLogic::load() {
    listed_.clear();
    view_.showVendorColumn(vendorColumnShown_);
    apply(EnablingEvent::StartUp);
}

// A list sorted by vendor takes its order now that the vendors are known.
void MainWindowLogic::vendorsLoaded(VendorTable vendors) {
    vendors_ = std::move(vendors);
    if (order_.sorting() && order_.sorting()->column == kVendorColumn) {
        const std::optional<RowOrder::Arrival> picked = pickedArrival();
        rows_.reorder(order_.sort(rows_));
        repick(picked);
    }
    view_.vendorsChanged();
    if (std::exchange(exportWaiting_, false)) {
        exportList();
    }
}

// The file carries each device's vendor as the command line's does: an export chosen in the moment
// before the table has come opens its dialog when it comes.
void MainWindowLogic::exportList() {
    if (!vendors_) {
        exportWaiting_ = true;
        return;
    }
    listExport_.run(rows_, adapters_.searched, *vendors_);
}

// Empty until the table has come, and for a MAC no registry lists.
std::string MainWindowLogic::vendorOf(const DeviceRow& row) const {
    return vendors_ ? std::string(vendors_->vendorOf(row.mac)) : std::string();
}

std::string MainWindowLogic::cellText(int row, int column) const {
    if (row < 0 || row >= rows_.count()) {
        return {};
    }
    const DeviceRow& listed = rows_.rowAt(row);
    return column == kVendorColumn ? vendorOf(listed) : deviceCellText(listed, column);
}

std::string MainWindowLogic::toolTip(int row, int column) const {
    if (column != kMacColumn || row < 0 || row >= rows_.count() || !vendors_) {
        return {};
    }
    const std::string vendor = vendorOf(rows_.rowAt(row));
    return vendor.empty() ? std::string(loadResString(Str::UnknownVendor)) : vendor;
}

// Hidden while the list is sorted by it, the list goes back to arrival order: a hidden column
// cannot show the order it gives.
void MainWindowLogic::toggleVendorColumn() {
    vendorColumnShown_ = !vendorColumnShown_;
    view_.showVendorColumn(vendorColumnShown_);
    if (!vendorColumnShown_ && order_.sorting() && order_.sorting()->column == kVendorColumn) {
        const std::optional<RowOrder::Arrival> picked = pickedArrival();
        order_.unsort();
        rows_.reorder(order_.sort(rows_));
        view_.showSortIndicator(-1, true);
        repick(picked);
    }
}

void MainWindowLogic::shown() {
    if (!firstShowDone_) {
        firstShowDone_ = true;
        // Half a second for the window to be drawn, then the first search.
        view_.startFirstSearchTimer(kFirstSearchDelay);
    }
}

void MainWindowLogic::run(MenuCommand command) {
    switch (command) {
    case MenuCommand::Connect:
        connectToDevice();
        break;
    case MenuCommand::Exit:
        view_.closeWindow();
        break;
    case MenuCommand::Delete:
        deletePicked();
        break;
    case MenuCommand::DeleteAll:
        deleteAll();
        break;
    case MenuCommand::Search:
        search_.search();
        break;
    case MenuCommand::Toolbar:
        toolbarShown_ = !toolbarShown_;
        view_.showToolbar(toolbarShown_);
        break;
    case MenuCommand::SetIp:
        setIp();
        break;
    case MenuCommand::Upgrade:
        upgrade();
        break;
    case MenuCommand::ReturnToNormal:
        returnToNormalMode();
        break;
    case MenuCommand::About:
        view_.showAbout();
        break;
    case MenuCommand::Copy:
        copyPicked(CopyWhat::Row);
        break;
    case MenuCommand::CopyMac:
        copyPicked(CopyWhat::Mac);
        break;
    case MenuCommand::CopyIp:
        copyPicked(CopyWhat::Ip);
        break;
    case MenuCommand::VendorColumn:
        toggleVendorColumn();
        break;
    case MenuCommand::ExportList:
        exportList();
        break;
    // No device protocol goes with Diagnostic: nothing is sent. File -> Open, Save and Save As and
    // Help -> Help Topics... stay hidden and disabled all run long.
    case MenuCommand::Diagnostic:
    case MenuCommand::None:
    case MenuCommand::Open:
    case MenuCommand::Save:
    case MenuCommand::SaveAs:
    case MenuCommand::HelpTopics:
        break;
    }
}

void MainWindowLogic::searchButton() {
    searchButtonLocked_ = true;
    apply(EnablingEvent::SearchButtonPressed);
    search_.search();
}

void MainWindowLogic::searchStarted(SearchCycle::Adapters adapters) {
    adapters_ = std::move(adapters);
    apply(EnablingEvent::SearchStarts);
}

void MainWindowLogic::searchFinished() {
    if (searchButtonLocked_) {
        searchButtonLocked_ = false;
        apply(EnablingEvent::SearchButtonDone);
    }
}

// The device listed last becomes the selected one, as if picked, until the operator picks a row.
void MainWindowLogic::rowsAdded(int) {
    const DeviceRow& listed = rows_.rowAt(order_.latestRow());
    takeHandOffFrom(listed);
    apply(EnablingEvent::ReplyAddsRow);
}

// A workstation without a usable adapter cannot do anything; the search has told the operator why.
void MainWindowLogic::adapterFailure(AdapterOutcome) {
    if (ending_) {
        return;
    }
    ending_ = true;
    view_.endProgram(1);
    view_.closeWindow();
}

void MainWindowLogic::picked(int row, bool leftButton) {
    if (row < 0 || !leftButton) {
        return;
    }
    takeHandOffFrom(rows_.rowAt(row));
    apply(EnablingEvent::LeftPressOnRow);
}

void MainWindowLogic::rightReleased() {
    popupRule(false);
}

// The popup rule; from the keyboard the popup opens at the picked row rather than at the pointer.
void MainWindowLogic::popupRule(bool fromKeyboard) {
    if (const DeviceRow* row = pickedRow()) {
        takeHandOffFrom(*row);
        apply(EnablingEvent::RightReleaseOnRow);
        view_.showPopup(Popup::Row, fromKeyboard ? PopupPlace::PickedRow : PopupPlace::Pointer);
    } else {
        apply(EnablingEvent::RightReleaseOnSpace);
        view_.showPopup(Popup::Space, fromKeyboard ? PopupPlace::ListCorner : PopupPlace::Pointer);
    }
}

// The keys stand for what the mouse or a menu entry does, and do nothing where those would not:
// Delete and F5 only while their menu entries are enabled.
bool MainWindowLogic::keyPressed(WindowKey key) {
    switch (key) {
    case WindowKey::Enter: // a double-click on the picked row
        if (pickedRow() != nullptr) {
            picked(view_.pickedRow(), true);
            doubleClicked();
        }
        return true;
    case WindowKey::ContextMenu:
        popupRule(true);
        return true;
    case WindowKey::Copy:
        copyPicked(CopyWhat::Row);
        return true;
    case WindowKey::Delete:
    case WindowKey::F5:
        break;
    }
    const MenuEntry& entry = kMenuEntries[menuEntryIndex(key == WindowKey::Delete ? "delete" : "search")];
    if (!entry.enabling || enabling_.enabled(*entry.enabling)) {
        run(entry.command);
    }
    return true;
}

void MainWindowLogic::adminOpening() {
    if (pickedRow() == nullptr) {
        apply(EnablingEvent::AdminOpenedNoPick);
    }
}

void MainWindowLogic::editOpening() {
    enabling_.set(Command::EditCopy, pickedRow() != nullptr);
    view_.render(enabling_);
}

bool MainWindowLogic::closeRequested() {
    if (ending_) {
        return true;
    }
    const Message confirm{std::string(loadResString(Str::ExitConfirm)), std::string(loadResString(Str::Exit)),
                          MessageIcon::Information, MessageButtons::OkCancel, true};
    if (view_.ask(confirm) != MessageAnswer::Ok) {
        return false;
    }
    ending_ = true;
    view_.endProgram(0);
    return true;
}

void MainWindowLogic::apply(EnablingEvent event) {
    enabling_.apply(event);
    view_.render(enabling_);
}

const DeviceRow* MainWindowLogic::pickedRow() const {
    const int row = view_.pickedRow();
    if (row < 0 || row >= rows_.count()) {
        return nullptr;
    }
    return &rows_.rowAt(row);
}

// A row's address is kept together with the adapter its reply came in on, so that Set IP and the
// upgrade talk through that adapter.
void MainWindowLogic::takeHandOffFrom(const DeviceRow& row) {
    selectedIp_ = row.ip;
    localAdapterIp_ = row.adapterIp;
}

// Flush the neighbour entry first so the browser's request resolves the device afresh (devices
// often change address). Without a picked row there is nothing to open. The address is taken once:
// rows listed while the shell works must not change (or move) what the second step opens.
void MainWindowLogic::connectToDevice() {
    const DeviceRow* row = pickedRow();
    if (row == nullptr) {
        return;
    }
    const Ipv4 device = row->ip;
    view_.flushNeighbour(device);
    view_.openUrl("http://" + device.toString());
}

void MainWindowLogic::deletePicked() {
    const int row = view_.pickedRow();
    if (row < 0 || row >= rows_.count()) {
        return;
    }
    // A single-selection list selects the next row when the current one goes; the operator never
    // picked that one, so a second Delete (or Set IP, Upgrade) must not act on it.
    view_.unpick();
    listed_.removeDeviceRow(row);
    if (rows_.isEmpty()) {
        apply(EnablingEvent::ListEmptied);
    }
}

void MainWindowLogic::deleteAll() {
    listed_.clear();
    apply(EnablingEvent::ListEmptied);
}

void MainWindowLogic::setIp() {
    const DeviceRow* row = pickedRow();
    if (row == nullptr) {
        return;
    }
    const DeviceRow picked = *row;
    // The Set IP socket needs local port 4001.
    search_.closeDiscoverySockets();
    localAdapterIp_ = picked.adapterIp;
    setIpAdapterIndex_ = view_.openSetIp({{picked.name, picked.ip, picked.mac},
                                          picked.adapterIp,
                                          adapters_.searched,
                                          adapters_.host,
                                          setIpAdapterIndex_});
}

void MainWindowLogic::upgrade() {
    const DeviceRow* row = pickedRow();
    if (row == nullptr) {
        return;
    }
    const DeviceRow picked = *row;
    takeHandOffFrom(picked);
    search_.closeDiscoverySockets();
    view_.openUpgrade({{picked.name, picked.ip, picked.mac}, picked.kind, picked.adapterIp});
}

// Without a picked row there is nothing to copy, and the clipboard keeps what it held.
void MainWindowLogic::copyPicked(CopyWhat what) {
    if (const DeviceRow* row = pickedRow()) {
        view_.copyToClipboard(
            copiedText(*row, what, vendorColumnShown_ ? std::optional(vendorOf(*row)) : std::nullopt));
    }
}

// No device protocol goes with it: the neighbour entry of the selected device is forgotten.
void MainWindowLogic::returnToNormalMode() {
    if (selectedIp_) {
        view_.flushNeighbour(*selectedIp_);
    }
}

} // namespace fw
