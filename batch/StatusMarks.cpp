#include "batch/StatusMarks.h"

#include "batch/JobReport.h"

#include <array>

namespace {

struct Entry {
    uint32_t code;
    StatusEffect effect;
};

constexpr StatusEffect mark(int column, const char* symbol, const char* key = nullptr) {
    return StatusEffect{column, symbol, key, false};
}
constexpr StatusEffect message(const char* key) { return StatusEffect{-1, nullptr, key, false}; }

constexpr std::array<Entry, 33> kEffects{{
    {ST_USER_NAME_NOT_EXIST, message("IDS_USER_NAME_NOT_EXIST")},
    {ST_LOGIN_FAIL, message("IDS_LOGIN_FAIL")},
    {ST_DISMATCH_UPGRADE_VERSION, mark(COL_MARK_UPGRADE, kMarkFailed, "IDS_DISMATCH_UPGRADE_VERSION")},
    {ST_INVALID_UPGRADE_FILE, mark(COL_MARK_UPGRADE, kMarkFailed, "IDS_INVALID_UPGRADE_FILE")},
    {ST_DISMATCH_UPGRADE_BOARD_TYPE, mark(COL_MARK_UPGRADE, kMarkFailed, "IDS_DISMATCH_UPGRADE_BOARD_TYPE")},
    {ST_IS_UPGRADE, message("IDS_IS_UPGRADE")},
    {ST_UPGRADE_FAIL_RETRY_LATER, message("IDS_UPGRADE_FAIL_RETRY_LATER")},
    {ST_UPGRADE_OK, mark(COL_MARK_UPGRADE, kMarkDone, "IDS_UPGRADE_OK")},
    {ST_UPGRADE_FAIL, mark(COL_MARK_UPGRADE, kMarkFailed)},
    {ST_IS_LOGINING, message("IDS_IS_LOGINING")},
    {ST_WAIT_REBOOT, message("IDS_WAIT_REBOOT")},
    {ST_UPGRADE_SKIP, mark(COL_MARK_UPGRADE, kMarkSkipped)},
    {ST_CHANGE_IP_FAIL, mark(COL_MARK_IP, kMarkFailed, "IDS_CHANGE_IP_FAIL")},
    {ST_CHANGE_IP_OK, mark(COL_MARK_IP, kMarkDone, "IDS_SETTING_SUCCESS")},
    {ST_CHANGE_IP_SKIP, mark(COL_MARK_IP, kMarkSkipped)},
    {ST_TIME_SYNC_FAIL, mark(COL_MARK_CLOCK, kMarkFailed, "IDS_TIME_SYNC_FAILED")},
    {ST_TIME_SYNC_OK, mark(COL_MARK_CLOCK, kMarkDone, "IDS_TIME_SYNC_SUCCESS")},
    {ST_TIME_SYNC_SKIP, mark(COL_MARK_CLOCK, kMarkSkipped)},
    {ST_LOGO_FAIL, mark(COL_MARK_LOGO, kMarkFailed, "IDS_UPDATE_LOGO_FAILED")},
    {ST_LOGO_OK, mark(COL_MARK_LOGO, kMarkDone, "IDS_UPDATE_LOGO_SUCCESS")},
    {ST_LOGO_SKIP, mark(COL_MARK_LOGO, kMarkSkipped)},
    {ST_COMMAND_FAIL, mark(COL_MARK_COMMAND, kMarkFailed, "IDS_SEND_COMMAND_FAILED")},
    {ST_COMMAND_OK, mark(COL_MARK_COMMAND, kMarkDone, "IDS_SEND_COMMAND_SUCCESS")},
    {ST_COMMAND_SKIP, mark(COL_MARK_COMMAND, kMarkSkipped)},
    {ST_SETTING_FAIL, mark(COL_MARK_SETTINGS, kMarkFailed, "IDS_SETTING_FAILED")},
    {ST_SETTING_OK, mark(COL_MARK_SETTINGS, kMarkDone, "IDS_SETTING_SUCCESS")},
    {ST_SETTING_SKIP, mark(COL_MARK_SETTINGS, kMarkSkipped)},
    {ST_CLEAR_ROW, StatusEffect{-1, nullptr, nullptr, true}},
    {ST_LOGIN_MAX_USER, message("IDS_LOGIN_MAX_USER")},
    {ST_LOGO_UNSUPPORTED, mark(COL_MARK_LOGO, kMarkUnsupported, "IDS_ONVIF_UNSUPPORTED")},
    {ST_COMMAND_UNSUPPORTED, mark(COL_MARK_COMMAND, kMarkUnsupported, "IDS_ONVIF_UNSUPPORTED")},
    {ST_TIME_SYNC_UNSUPPORTED, mark(COL_MARK_CLOCK, kMarkUnsupported, "IDS_ONVIF_UNSUPPORTED")},
    {ST_SETTING_UNSUPPORTED, mark(COL_MARK_SETTINGS, kMarkUnsupported, "IDS_ONVIF_UNSUPPORTED")},
}};

// Every cell the code writes, in column order; the message last.
template <class Write>
bool apply(uint32_t code, const TextLookup& text, Write&& write) {
    const StatusEffect effect = status_effect(code);
    if (effect.clears_row) {
        for (int column = COL_MARK_IP; column <= COL_MESSAGE; ++column) write(column, kMarkBlank);
        return true;
    }
    bool changed = false;
    if (effect.column >= 0) changed = write(effect.column, effect.mark);
    if (effect.message_key && text) {
        std::string message = text(effect.message_key);
        if (!message.empty()) changed = write(COL_MESSAGE, std::move(message)) || changed;
    }
    return changed;
}

} // namespace

std::string step_word(const std::string& mark) {
    if (mark == kMarkDone) return "ok";
    if (mark == kMarkFailed) return "failed";
    if (mark == kMarkSkipped) return "skipped";
    if (mark == kMarkUnsupported) return "unsupported";
    return {};
}

StatusEffect status_effect(uint32_t code) {
    for (const Entry& entry : kEffects)
        if (entry.code == code) return entry.effect;
    return {};
}

bool apply_status(DeviceRow& row, uint32_t code, const TextLookup& text) {
    return apply(code, text, [&row](int column, std::string value) { return row.set_cell(column, std::move(value)); });
}

bool apply_status(DeviceTable& table, size_t row, uint32_t code, const TextLookup& text) {
    if (row >= table.size()) return false;
    return apply(code, text,
                 [&table, row](int column, std::string value) { return table.set_cell(row, column, std::move(value)); });
}
