#pragma once
#include "batch/CameraList.h"
#include "discovery/DiscoveryRecords.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// The rows of the batch window's device list, kept apart from any widget: the window owns
// the table and renders it, the workers of a job read rows from their own threads. Every
// call takes the table's lock for its own duration only and hands out copies, so a reader
// never waits on the window's thread.
//
// Rows are kept in the order the devices were found; the index text of a row is its number
// from 1 ("%02d"), so that order is also the order of the index texts as numbers. Row n stays
// the device's identity for a job. The rows are bounded (kDefaultRowLimit, as many as
// discovery keeps): anyone on the LAN can make up devices, and a window left open must not
// grow for as long as they send. A new device that finds the table full takes the row of an
// unticked device that discovery has since forgotten (made-up devices are what it forgets
// first); without one it is not listed.
//
// ONVIF cameras are a second source merged into the same rows (see CameraList.h): a camera
// that answers both protocols is one row; our discovery finding an ONVIF-only camera later
// takes that row over.

enum DeviceColumn : int {
    COL_INDEX = 0,
    COL_MAC = 1,
    COL_IP = 2,
    COL_PORT = 3,
    COL_VERSION = 4,
    COL_BID = 5,
    COL_MARK_IP = 6,        // marks of the job steps, columns 6 to 11
    COL_MARK_UPGRADE = 7,
    COL_MARK_LOGO = 8,
    COL_MARK_COMMAND = 9,
    COL_MARK_CLOCK = 10,
    COL_MARK_SETTINGS = 11,
    COL_MESSAGE = 12,
    COL_PROTOCOL = 13,      // the list's own columns after the job's: who found the camera,
    COL_MODEL = 14,         // and what ONVIF said it is
};
constexpr int kDeviceColumns = 13;  // the columns of a job's rows, exported first
constexpr int kListColumns = 15;
constexpr int kMarkColumns = 6;

// Device family 1: device types 2, 19, and 200 and above.
constexpr bool is_device_family1(int32_t device_type) {
    return device_type == 2 || device_type == 19 || device_type >= 200;
}

struct DeviceRow {
    std::string index;    // "%02d" of the row number + 1
    std::string mac;
    std::string ip;
    std::string port;     // cmd_port as "%d"
    std::string version;
    std::string bid;      // board_type as "0x%x"
    std::array<std::string, kMarkColumns> marks;  // columns 6 to 11
    std::string message;  // column 12
    bool checked = false;
    bool is_type1 = false;
    CameraProtocol protocol = CameraProtocol::own;
    std::string model{};  // "manufacturer model", as ONVIF tells it
    std::string uuid{};   // the ONVIF endpoint, "" for our protocol only
    std::string xaddr{};  // its device service as last heard

    // The text of a column; empty outside 0..14. The protocol reads "own", "onvif" or "both".
    std::string cell(int column) const;
    bool set_cell(int column, std::string text);
};

class DeviceTable {
public:
    static constexpr size_t kDefaultRowLimit = 16384;
    // Whether discovery has forgotten the device with this MAC.
    using Forgotten = std::function<bool(const std::string& mac)>;

    struct Update {
        int row = -1;           // the row written, -1 when the record was ignored
        bool inserted = false;  // a row was added at the end
    };

    void set_row_limit(size_t limit);

    // Adds or updates the row of a discovered device. A new device gets a row at the end;
    // a changed device updates the row with its MAC, and is ignored when no row has it.
    // A new device whose MAC is already listed (a report that crossed a refresh) updates
    // that row rather than listing it twice. An empty version puts `need_update_text` into
    // column 7; a device type below 1 is logged and listed all the same.
    Update update_dev_find_list(const DEV_INFO& record, bool is_new, const std::string& need_update_text,
                                const Forgotten& forgotten = {});

    size_t size() const;
    std::optional<DeviceRow> row(size_t index) const;
    std::vector<DeviceRow> rows() const;
    std::string cell(size_t row, int column) const;  // empty outside the table
    // An ONVIF camera's row, from merge_cameras: a camera both protocols found goes into the
    // row of its MAC; one found by ONVIF alone is kept by its endpoint, a new one at the end.
    // `unread_text` stands in for the version of a camera not read (empty once read). Rows of
    // our protocol only are ignored.
    Update update_onvif_row(const CameraRow& camera, const std::string& unread_text);
    // Every ONVIF camera merged in as update_onvif_row does, with `unread_text` of its reading.
    // Returns the first and last row written in place (-1 for none), for a view to repaint.
    std::pair<int, int> update_onvif_rows(const std::vector<onvif::OnvifCamera>& cameras,
                                          const std::function<std::string(onvif::Reading)>& unread_text);
    // Our discovery's rows as the records merge_cameras takes (MAC, address and version).
    std::vector<DEV_INFO> own_records() const;

    // Writes columns 2 to 12; the index and the MAC are the row's identity and stay.
    bool set_cell(size_t row, int column, std::string text);

    bool checked(size_t row) const;
    bool set_checked(size_t row, bool checked);  // false for a row outside the table
    void select_all();
    void invert();
    size_t count_checked() const;
    bool is_type1(size_t row) const;

    int find_mac(std::string_view mac) const;  // -1 when not listed
    void clear();

private:
    int find_mac_locked(std::string_view mac) const;
    // The ONVIF-only row that a newly found device of ours at this address and MAC is.
    int onvif_row_locked(const std::string& ip, const std::string& mac) const;

    // A row for a new device at the end, or in place of a forgotten one; -1 when full.
    int new_row_locked(const std::string& mac, const Forgotten& forgotten);

    mutable std::mutex m_mutex;
    std::vector<DeviceRow> m_rows;
    std::unordered_map<std::string, size_t> m_row_of_mac;
    std::unordered_map<std::string, size_t> m_row_of_uuid;  // ONVIF endpoints
    size_t m_row_limit = kDefaultRowLimit;
    size_t m_next_replace = 0;  // where the search for a forgotten row goes on
};
