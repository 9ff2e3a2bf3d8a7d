#include "batch/LaunchPlan.h"

#include "batch/BatchJob.h"

#include <arpa/inet.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace {

// A shorter path cannot name a firmware file.
constexpr size_t kShortestFirmwarePath = 8;

std::string prefix_of(const std::string& address) { return address.substr(0, address.rfind('.')); }

int last_part(const std::string& address) { return std::stoi(address.substr(address.rfind('.') + 1)); }

} // namespace

const char* launch_refusal_key(LaunchRefusal refusal) {
    switch (refusal) {
    case LaunchRefusal::None: return "";
    case LaunchRefusal::NoUserName: return "IDS_INPUT_USER_NAME";
    case LaunchRefusal::FirmwarePathEmpty: return "IDS_FIRMWARE_PATH_EMPTY";
    case LaunchRefusal::FirmwarePathShort: return "IDS_INVALID_UPGRADE_FILE";
    case LaunchRefusal::FirmwareMissing: return "IDS_FIRMWARE_NOT_FOUND";
    case LaunchRefusal::FirmwareNoHeader: return "IDS_INVALID_UPGRADE_FILE";
    case LaunchRefusal::RangeInvalid: return "IDS_INVALID_IP_ADDR";
    case LaunchRefusal::RangePrefixMismatch: return "IDS_IP_RANGE_DISMATCH";
    case LaunchRefusal::RangeEndBelowStart: return "IDS_IP_END_ERROR_LESS_START";
    case LaunchRefusal::RangeUnusable: return "IDS_RANGE_UNUSABLE";
    case LaunchRefusal::NoFreeAddress: return "IDS_ALL_IP_CONFLICT";
    case LaunchRefusal::NoDeviceTicked: return "IDS_NO_DEVICE_TICKED";
    }
    return "";
}

bool is_valid_ip(const std::string& text) {
    in_addr parsed{};
    // inet_pton takes only four decimal parts, so the prefix is always the first three.
    return inet_pton(AF_INET, text.c_str(), &parsed) == 1 && text != "0.0.0.0" && text != "255.255.255.255";
}

LaunchRefusal check_address_range(std::string& first, std::string& last, bool keep_order, AddressRange& out) {
    const bool first_ok = is_valid_ip(first), last_ok = is_valid_ip(last);
    if (!first_ok && !last_ok) return LaunchRefusal::RangeInvalid;
    if (!first_ok) first = last;
    if (!last_ok) last = first;
    if (prefix_of(first) != prefix_of(last)) return LaunchRefusal::RangePrefixMismatch;
    out.prefix = prefix_of(first);
    out.first = last_part(first);
    out.last = last_part(last);
    if (out.first > out.last) {
        if (keep_order) return LaunchRefusal::RangeEndBelowStart;
        std::swap(out.first, out.last);
    }
    if (check_range_ends(first, last) != AddressRefusal::None) return LaunchRefusal::RangeUnusable;
    return LaunchRefusal::None;
}

LaunchRefusal parse_address_range(const std::string& text, AddressRange& out) {
    const size_t dash = text.find('-');
    std::string first = text.substr(0, dash);
    std::string last = dash == std::string::npos ? std::string() : text.substr(dash + 1);
    return check_address_range(first, last, false, out);
}

std::vector<std::string> free_addresses(const AddressRange& range, const std::function<bool(const std::string&)>& listed) {
    std::vector<std::string> pool;
    for (int part = range.first; part <= range.last; ++part) {
        std::string candidate = range.prefix + "." + std::to_string(part);
        if (!listed(candidate) && is_range_host(candidate)) pool.push_back(std::move(candidate));
    }
    return pool;
}

LaunchRefusal check_firmware_path(const std::string& path, bool read_header) {
    if (path.find_first_not_of(" \t") == std::string::npos) return LaunchRefusal::FirmwarePathEmpty;
    if (path.size() < kShortestFirmwarePath) return LaunchRefusal::FirmwarePathShort;
    struct stat info{};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || ::access(path.c_str(), R_OK) != 0)
        return LaunchRefusal::FirmwareMissing;
    if (read_header && BatchJob::own_header_version(path).empty()) return LaunchRefusal::FirmwareNoHeader;
    return LaunchRefusal::None;
}

bool is_disruptive_command(const std::string& command) {
    return command.find("reboot") != std::string::npos || command.find("top") != std::string::npos;
}
