#pragma once
#include "batch/DeviceTable.h"

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>

// The device list as the view sees it: a window-thread view of the DeviceTable. The table
// may already hold rows the view has not been told of; rows_written() announces them, so a
// burst of discovery reports costs one insertion and one repaint rather than one per device.
class DeviceListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    DeviceListModel(DeviceTable& table, QObject* parent = nullptr);

    void set_message_header(const QString& text);
    // Names of the six step columns (address, upgrade, logo, command, clock, settings) and
    // the marks' meaning, shown as the step headers' tooltip. An empty name keeps the English one.
    void set_step_headers(const QStringList& names, const QString& marks_tip);
    // The protocol and model columns' headers, and the protocol's names (own, ONVIF, both).
    // An empty text keeps the English one.
    void set_camera_texts(const QString& protocol_header, const QString& model_header, const QStringList& protocols);
    // The tooltip of a step the camera cannot do, whose mark reads as not requested.
    void set_unsupported_tip(const QString& tip) { m_unsupported_tip = tip; }

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

    static constexpr int kColumnWidths[kListColumns] = {50, 140, 115, 50, 115, 70, 64, 64, 64, 72, 56, 64, 200, 70, 150};

private:
    DeviceTable& m_table;
    int m_shown = 0;
    QString m_message_header;
    QStringList m_step_headers{"Address", "Upgrade", "Logo", "Command", "Clock", "Settings"};
    QString m_marks_tip;
    QString m_unsupported_tip;
    QStringList m_camera_headers{"Protocol", "Model"};
    QStringList m_protocols{"own", "ONVIF", "both"};  // in the order of CameraProtocol
};
