// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discovery/DeviceCells.h"
#include "discovery/DeviceRows.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <functional>
#include <string>
#include <vector>

namespace fw {

// The device list's rows as Qt's model of them (cells and titles from DeviceCells). Column 1
// carries the "Normal" row icon. The window's logic makes the texts beyond the device's own: the
// Vendor column (the eighth, there only while shown, so that nothing else, a screen reader
// included, finds it hidden) and the tooltips.
class DeviceListModel final : public QAbstractTableModel, public DeviceRows {
    Q_OBJECT
public:
    static constexpr int kColumns = kDeviceColumns + 1;   // with the Vendor column
    static constexpr int kKindColumn = kDeviceKindColumn; // hidden in the view
    static constexpr int kVendorColumn = kDeviceColumns;
    // A cell's text (row, column), or its tooltip (empty for none).
    struct Texts {
        std::function<std::string(int row, int column)> cell;
        std::function<std::string(int row, int column)> toolTip;
    };

    explicit DeviceListModel(Texts texts, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void appendRows(std::vector<DeviceRow> rows) override;
    void removeDeviceRow(int row) override;
    void insertRow(int at, DeviceRow row) override;
    void reorder(const std::vector<int>& order) override;
    void clear() override;
    const DeviceRow& rowAt(int row) const override { return rows_.at(static_cast<std::size_t>(row)); }
    int count() const override { return static_cast<int>(rows_.size()); }

    void setRowIcon(QIcon icon) { rowIcon_ = std::move(icon); }
    // The vendor cells and tooltips are drawn again.
    void vendorsChanged();
    // Adds or removes the Vendor column.
    void showVendorColumn(bool shown);

private:
    Texts texts_;
    bool vendorShown_ = false;
    std::vector<DeviceRow> rows_;
    QIcon rowIcon_;
};

} // namespace fw
