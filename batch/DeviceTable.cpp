#include "batch/DeviceTable.h"

#include "foundation/debug_log.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>

namespace {

std::string text_of(const char (&field)[kDiscoveryTextSize]) {
    return std::string(field, strnlen(field, kDiscoveryTextSize));
}

std::string index_text(size_t row) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "%02zu", row + 1);
    return buffer;
}

std::string bid_text(int32_t board_type) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%x", static_cast<unsigned>(board_type));
    return buffer;
}

} // namespace

std::string DeviceRow::cell(int column) const {
    switch (column) {
    case COL_INDEX: return index;
    case COL_MAC: return mac;
    case COL_IP: return ip;
    case COL_PORT: return port;
    case COL_VERSION: return version;
    case COL_BID: return bid;
    case COL_MESSAGE: return message;
    case COL_PROTOCOL: return protocol_name(protocol);
    case COL_MODEL: return model;
    default:
        if (column >= COL_MARK_IP && column <= COL_MARK_SETTINGS) return marks[static_cast<size_t>(column - COL_MARK_IP)];
        return {};
    }
}

bool DeviceRow::set_cell(int column, std::string text) {
    switch (column) {
    case COL_INDEX: index = std::move(text); return true;
    case COL_MAC: mac = std::move(text); return true;
    case COL_IP: ip = std::move(text); return true;
    case COL_PORT: port = std::move(text); return true;
    case COL_VERSION: version = std::move(text); return true;
    case COL_BID: bid = std::move(text); return true;
    case COL_MESSAGE: message = std::move(text); return true;
    default:
        if (column < COL_MARK_IP || column > COL_MARK_SETTINGS) return false;
        marks[static_cast<size_t>(column - COL_MARK_IP)] = std::move(text);
        return true;
    }
}

void DeviceTable::set_row_limit(size_t limit) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_row_limit = limit;
}

int DeviceTable::new_row_locked(const std::string& mac, const Forgotten& forgotten) {
    if (m_rows.size() < m_row_limit) {
        DeviceRow fresh;
        fresh.index = index_text(m_rows.size());
        fresh.mac = mac;
        m_rows.push_back(std::move(fresh));
        if (!mac.empty()) m_row_of_mac.emplace(mac, m_rows.size() - 1);
        return static_cast<int>(m_rows.size() - 1);
    }
    // Round the table from where the last search stopped, so that a flood does not ask
    // discovery about the same rows again and again.
    for (size_t step = 0; forgotten && step < m_rows.size(); ++step) {
        const size_t at = (m_next_replace + step) % m_rows.size();
        DeviceRow& row = m_rows[at];
        if (row.checked || !forgotten(row.mac)) continue;
        m_next_replace = at + 1;
        m_row_of_mac.erase(row.mac);
        if (!row.uuid.empty()) m_row_of_uuid.erase(row.uuid);
        DeviceRow fresh;
        fresh.index = row.index;
        fresh.mac = mac;
        row = std::move(fresh);
        if (!mac.empty()) m_row_of_mac.emplace(mac, at);
        return static_cast<int>(at);
    }
    DEBUG_LOCATION("DeviceTable", "DeviceTable::update_dev_find_list");
    debug_log("device list full (%zu rows): a new device is not listed\n", m_rows.size());
    return -1;
}

DeviceTable::Update DeviceTable::update_dev_find_list(const DEV_INFO& record, bool is_new,
                                                      const std::string& need_update_text, const Forgotten& forgotten) {
    if (record.device_type < 1) {
        DEBUG_LOCATION("fleetsetDlg", "CfleetsetDlg::update_dev_find_list");
        debug_log("unknown device type: %d\n", record.device_type);
    }
    const std::string mac = text_of(record.mac_address);
    std::lock_guard<std::mutex> lock(m_mutex);
    Update update;
    update.row = find_mac_locked(mac);
    if (update.row < 0 && is_new) update.row = onvif_row_locked(text_of(record.ip_address), mac);
    if (update.row < 0) {
        if (!is_new) return update;
        const size_t before = m_rows.size();
        update.row = new_row_locked(mac, forgotten);
        if (update.row < 0) return update;
        update.inserted = m_rows.size() > before;
    }
    DeviceRow& row = m_rows[static_cast<size_t>(update.row)];
    if (row.protocol == CameraProtocol::onvif) {
        row.protocol = CameraProtocol::both;
        if (row.mac.empty() && !mac.empty()) m_row_of_mac.emplace(row.mac = mac, static_cast<size_t>(update.row));
    }
    row.ip = text_of(record.ip_address);
    row.port = std::to_string(record.cmd_port);
    row.version = text_of(record.software_ver);
    row.bid = bid_text(record.board_type);
    row.is_type1 = is_device_family1(record.device_type);
    if (row.version.empty()) row.marks[COL_MARK_UPGRADE - COL_MARK_IP] = need_update_text;
    return update;
}

size_t DeviceTable::size() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rows.size();
}

std::optional<DeviceRow> DeviceTable::row(size_t index) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (index >= m_rows.size()) return std::nullopt;
    return m_rows[index];
}

std::vector<DeviceRow> DeviceTable::rows() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rows;
}

std::string DeviceTable::cell(size_t row, int column) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return row < m_rows.size() ? m_rows[row].cell(column) : std::string();
}

bool DeviceTable::set_cell(size_t row, int column, std::string text) {
    if (column == COL_INDEX || column == COL_MAC) return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    return row < m_rows.size() && m_rows[row].set_cell(column, std::move(text));
}

bool DeviceTable::checked(size_t row) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return row < m_rows.size() && m_rows[row].checked;
}

bool DeviceTable::set_checked(size_t row, bool checked) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (row >= m_rows.size()) return false;
    m_rows[row].checked = checked;
    return true;
}

void DeviceTable::select_all() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (DeviceRow& row : m_rows) row.checked = true;
}

void DeviceTable::invert() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (DeviceRow& row : m_rows) row.checked = !row.checked;
}

size_t DeviceTable::count_checked() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    size_t count = 0;
    for (const DeviceRow& row : m_rows) count += row.checked ? 1 : 0;
    return count;
}

bool DeviceTable::is_type1(size_t row) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return row < m_rows.size() && m_rows[row].is_type1;
}

int DeviceTable::find_mac(std::string_view mac) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return find_mac_locked(mac);
}

int DeviceTable::find_mac_locked(std::string_view mac) const {
    auto it = m_row_of_mac.find(std::string(mac));
    return it == m_row_of_mac.end() ? -1 : static_cast<int>(it->second);
}

void DeviceTable::clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rows.clear();
    m_row_of_mac.clear();
    m_row_of_uuid.clear();
    m_next_replace = 0;
}

int DeviceTable::onvif_row_locked(const std::string& ip, const std::string& mac) const {
    for (size_t i = 0; i < m_rows.size(); ++i) {
        const DeviceRow& row = m_rows[i];
        if (row.protocol == CameraProtocol::onvif && !ip.empty() && row.ip == ip && (row.mac.empty() || row.mac == mac))
            return static_cast<int>(i);
    }
    return -1;
}

DeviceTable::Update DeviceTable::update_onvif_row(const CameraRow& camera, const std::string& unread_text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Update update;
    if (camera.protocol == CameraProtocol::own) return update;
    if (camera.protocol == CameraProtocol::both) {
        if (camera.own) update.row = find_mac_locked(text_of(camera.own->mac_address));
    } else if (auto it = m_row_of_uuid.find(camera.uuid); it != m_row_of_uuid.end()) {
        update.row = static_cast<int>(it->second);
    } else {
        const size_t before = m_rows.size();
        update.row = new_row_locked(camera.mac, {});
        update.inserted = m_rows.size() > before;
    }
    if (update.row < 0) return update;
    const auto at = static_cast<size_t>(update.row);
    DeviceRow& row = m_rows[at];
    if (const auto old = m_row_of_uuid.find(row.uuid); old != m_row_of_uuid.end() && old->second == at)
        m_row_of_uuid.erase(old);
    row.uuid = camera.uuid;
    row.xaddr = camera.xaddr;
    m_row_of_uuid[row.uuid] = at;
    row.model = camera.manufacturer.empty() ? camera.model : camera.manufacturer + " " + camera.model;
    if (camera.protocol == CameraProtocol::both) {
        row.protocol = CameraProtocol::both;
        return update;
    }
    row.protocol = CameraProtocol::onvif;
    row.ip = camera.address;
    row.version = unread_text.empty() ? camera.firmware_version : unread_text;
    // A MAC that a login read becomes the row's identity, unless another row has it already.
    if (row.mac.empty() && !camera.mac.empty() && find_mac_locked(camera.mac) < 0)
        m_row_of_mac.emplace(row.mac = camera.mac, at);
    return update;
}

std::pair<int, int> DeviceTable::update_onvif_rows(const std::vector<onvif::OnvifCamera>& cameras,
                                                   const std::function<std::string(onvif::Reading)>& unread_text) {
    std::map<std::string, onvif::Reading> readings;
    for (const onvif::OnvifCamera& camera : cameras) readings[camera.uuid] = camera.reading;
    int first = -1;
    int last = -1;
    for (const CameraRow& camera : merge_cameras(own_records(), cameras)) {
        if (camera.protocol == CameraProtocol::own) continue;
        const auto update = update_onvif_row(camera, unread_text(readings[camera.uuid]));
        if (update.row < 0 || update.inserted) continue;
        first = first < 0 ? update.row : std::min(first, update.row);
        last = std::max(last, update.row);
    }
    return {first, last};
}

std::vector<DEV_INFO> DeviceTable::own_records() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<DEV_INFO> records;
    const auto copy = [](char (&field)[kDiscoveryTextSize], const std::string& value) {
        std::snprintf(field, kDiscoveryTextSize, "%s", value.c_str());
    };
    for (const DeviceRow& row : m_rows) {
        if (row.protocol == CameraProtocol::onvif) continue;
        DEV_INFO& record = records.emplace_back();
        copy(record.mac_address, row.mac);
        copy(record.ip_address, row.ip);
        copy(record.software_ver, row.version);
    }
    return records;
}
