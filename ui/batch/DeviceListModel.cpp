#include "ui/batch/DeviceListModel.h"

#include "batch/StatusMarks.h"

#include <algorithm>

DeviceListModel::DeviceListModel(DeviceTable& table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table), m_shown(static_cast<int>(table.size())) {}

void DeviceListModel::set_message_header(const QString& text) {
    m_message_header = text;
    emit headerDataChanged(Qt::Horizontal, COL_MESSAGE, COL_MESSAGE);
}

int DeviceListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_shown; }

int DeviceListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kListColumns; }

QVariant DeviceListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_shown) return {};
    const auto row = static_cast<size_t>(index.row());
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == COL_PROTOCOL) {
            const std::string name = m_table.cell(row, COL_PROTOCOL);
            for (auto protocol : {CameraProtocol::own, CameraProtocol::onvif, CameraProtocol::both})
                if (name == protocol_name(protocol)) return m_protocols.value(static_cast<int>(protocol));
        }
        // A step the camera cannot do reads as not done; the row's message says why.
        if (index.column() >= COL_MARK_IP && index.column() < COL_MESSAGE &&
            m_table.cell(row, index.column()) == kMarkUnsupported)
            return QString::fromUtf8(kMarkSkipped);
        return QString::fromStdString(m_table.cell(row, index.column()));
    case Qt::ToolTipRole:
        // The row's message says why only until the next step writes it.
        if (index.column() >= COL_MARK_IP && index.column() < COL_MESSAGE &&
            m_table.cell(row, index.column()) == kMarkUnsupported)
            return m_unsupported_tip;
        return {};
    case Qt::CheckStateRole:
        if (index.column() == COL_INDEX) return m_table.checked(row) ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == COL_PORT) return int(Qt::AlignCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

bool DeviceListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.row() >= m_shown || index.column() != COL_INDEX || role != Qt::CheckStateRole)
        return false;
    const bool checked = value.toInt() == Qt::Checked;
    if (!m_table.set_checked(static_cast<size_t>(index.row()), checked)) return false;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags DeviceListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == COL_INDEX) f |= Qt::ItemIsUserCheckable;
    return f;
}

void DeviceListModel::set_step_headers(const QStringList& names, const QString& marks_tip) {
    for (int i = 0; i < names.size() && i < m_step_headers.size(); ++i)
        if (!names[i].isEmpty()) m_step_headers[i] = names[i];
    m_marks_tip = marks_tip;
    emit headerDataChanged(Qt::Horizontal, COL_MARK_IP, COL_MESSAGE - 1);
}

void DeviceListModel::set_camera_texts(const QString& protocol_header, const QString& model_header,
                                       const QStringList& protocols) {
    if (!protocol_header.isEmpty()) m_camera_headers[0] = protocol_header;
    if (!model_header.isEmpty()) m_camera_headers[1] = model_header;
    for (int i = 0; i < protocols.size() && i < m_protocols.size(); ++i)
        if (!protocols[i].isEmpty()) m_protocols[i] = protocols[i];
    emit headerDataChanged(Qt::Horizontal, COL_PROTOCOL, COL_MODEL);
    if (m_shown > 0) emit dataChanged(index(0, COL_PROTOCOL), index(m_shown - 1, COL_PROTOCOL));
}

QVariant DeviceListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::TextAlignmentRole)
        return int((section == COL_PORT ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
    const bool step = section >= COL_MARK_IP && section < COL_MESSAGE;
    if (role == Qt::ToolTipRole && step) return m_marks_tip;
    if (role != Qt::DisplayRole) return {};
    static const char* const fixed[] = {"Index", "MAC", "IP", "Port", "Version", "BID"};
    if (step) return m_step_headers.value(section - COL_MARK_IP);
    if (section >= 0 && section < COL_MARK_IP) return QString::fromLatin1(fixed[section]);
    if (section == COL_MESSAGE) return m_message_header;
    if (section == COL_PROTOCOL || section == COL_MODEL) return m_camera_headers.value(section - COL_PROTOCOL);
    return {};
}

void DeviceListModel::rows_written(int first, int last) {
    const int shown_before = m_shown;
    const int now = static_cast<int>(m_table.size());
    if (now > m_shown) {
        beginInsertRows({}, m_shown, now - 1);
        m_shown = now;
        endInsertRows();
    }
    // Rows that were shown before and changed; new rows were painted on insertion.
    if (first >= 0 && first < shown_before) {
        const int until = std::min(last < 0 ? first : last, shown_before - 1);
        emit dataChanged(index(first, 0), index(until, kListColumns - 1));
    }
}

void DeviceListModel::checks_changed() {
    if (m_shown > 0) emit dataChanged(index(0, COL_INDEX), index(m_shown - 1, COL_INDEX), {Qt::CheckStateRole});
}

void DeviceListModel::clear() {
    beginResetModel();
    m_table.clear();
    m_shown = 0;
    endResetModel();
}

void DeviceListModel::set_cell(int row, int column, const QString& text) {
    if (row < 0 || row >= m_shown) return;
    if (m_table.set_cell(static_cast<size_t>(row), column, text.toStdString()))
        emit dataChanged(index(row, column), index(row, column), {Qt::DisplayRole});
}
