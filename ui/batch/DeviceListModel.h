#pragma once
#include "batch/DeviceTable.h"

#include <QAbstractTableModel>
#include <QString>

// The device list as the view sees it: a window-thread view of the DeviceTable. The table
// may already hold rows the view has not been told of; rows_written() announces them, so a
// burst of discovery reports costs one insertion and one repaint rather than one per device.
class DeviceListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    DeviceListModel(DeviceTable& table, QObject* parent = nullptr);

    void set_message_header(const QString& text);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // After the table was written: rows first..last changed (either may be -1 for none),
    // and any rows appended since the last call are shown.
    void rows_written(int first, int last);
    void checks_changed();
    void clear();
    // Writes one cell and repaints it.
    void set_cell(int row, int column, const QString& text);

    static constexpr int kColumnWidths[kDeviceColumns] = {50, 180, 150, 50, 150, 80, 25, 25, 25, 25, 25, 25, 250};

private:
    DeviceTable& m_table;
    int m_shown = 0;
    QString m_message_header;
};
