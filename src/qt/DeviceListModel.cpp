// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/DeviceListModel.h"

#include "qt/UiText.h"

namespace fw {

DeviceListModel::DeviceListModel(Texts texts, QObject* parent)
    : QAbstractTableModel(parent), texts_(std::move(texts)) {}

void DeviceListModel::vendorsChanged() {
    if (!rows_.empty()) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::DisplayRole, Qt::ToolTipRole});
    }
}

void DeviceListModel::showVendorColumn(bool shown) {
    if (shown == vendorShown_) {
        return;
    }
    if (shown) {
        beginInsertColumns({}, kVendorColumn, kVendorColumn);
        vendorShown_ = true;
        endInsertColumns();
    } else {
        beginRemoveColumns({}, kVendorColumn, kVendorColumn);
        vendorShown_ = false;
        endRemoveColumns();
    }
}

int DeviceListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int DeviceListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : (vendorShown_ ? kColumns : kDeviceColumns);
}

QVariant DeviceListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount() || index.column() < 0 ||
        index.column() >= columnCount()) {
        return {};
    }
    const DeviceRow& r = rows_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DecorationRole) {
        return index.column() == 0 && !rowIcon_.isNull() ? QVariant(rowIcon_) : QVariant();
    }
    // Qt's accessibility shows the hidden kind column too: a screen reader says its cells in words.
    if (role == Qt::AccessibleTextRole && index.column() == kKindColumn) {
        return QString(r.kind == DeviceKind::AccessPoint ? "Access point" : "Bridge");
    }
    if (role == Qt::ToolTipRole) {
        const std::string tip = texts_.toolTip(index.row(), index.column());
        return tip.empty() ? QVariant() : QVariant(QString::fromStdString(tip));
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (index.column() == kVendorColumn) {
        return QString::fromStdString(texts_.cell(index.row(), index.column()));
    }
    return QString::fromStdString(deviceCellText(r, index.column()));
}

QVariant DeviceListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::AccessibleTextRole && section == kKindColumn) {
        return QString("Kind");
    }
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (section < 0 || section >= columnCount()) {
        return {};
    }
    if (section == kKindColumn) {
        return QString();
    }
    if (section == kVendorColumn) {
        return uiText(Str::ColVendor);
    }
    return uiText(kDeviceColumnTitles[static_cast<std::size_t>(section)]);
}

void DeviceListModel::appendRows(std::vector<DeviceRow> rows) {
    if (rows.empty()) {
        return;
    }
    const int at = rowCount();
    beginInsertRows({}, at, at + static_cast<int>(rows.size()) - 1);
    rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    endInsertRows();
}

void DeviceListModel::removeDeviceRow(int row) {
    if (row < 0 || row >= rowCount()) {
        return;
    }
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
}

void DeviceListModel::insertRow(int at, DeviceRow row) {
    beginInsertRows({}, at, at);
    rows_.insert(rows_.begin() + at, std::move(row));
    endInsertRows();
}

// The window's logic picks again after the move, so the selection need not follow the rows.
void DeviceListModel::reorder(const std::vector<int>& order) {
    beginResetModel();
    std::vector<DeviceRow> moved;
    moved.reserve(order.size());
    for (const int i : order) {
        moved.push_back(std::move(rows_.at(static_cast<std::size_t>(i))));
    }
    rows_ = std::move(moved);
    endResetModel();
}

void DeviceListModel::clear() {
    if (rows_.empty()) {
        return;
    }
    beginResetModel();
    rows_.clear();
    endResetModel();
}

} // namespace fw
