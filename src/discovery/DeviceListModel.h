// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "discovery/core/DeviceRow.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <vector>

namespace fw {

// The device list's rows: seven columns (name, IP, ESS-ID, channel, WEP, MAC, kind letter),
// titles from strings 101-106, the seventh untitled. Column 1 carries the "Normal" row icon.
class DeviceListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumns = 7;
    static constexpr int kKindColumn = 6; // hidden in the view

    explicit DeviceListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // One insertion for many rows: the view lays itself out once, not once per row.
    void appendRows(std::vector<DeviceRow> rows);
    void removeDeviceRow(int row);
    void clear();
    const DeviceRow& rowAt(int row) const { return rows_.at(static_cast<std::size_t>(row)); }
    bool isEmpty() const { return rows_.empty(); }

    void setRowIcon(QIcon icon) { rowIcon_ = std::move(icon); }

private:
    std::vector<DeviceRow> rows_;
    QIcon rowIcon_;
};

} // namespace fw
