#include "cli/DeviceSelection.h"

#include "batch/BatchJob.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace {

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

} // namespace

std::string upgrade_version(const RunOptions& options) {
    const std::string version = BatchJob::own_header_version(options.upgrade_file);
    return version.empty() ? options.expect_version : version;
}

DeviceSelection select_devices(const std::vector<DeviceRow>& rows, const RunOptions& options) {
    DeviceSelection selection;
    std::set<std::string> macs, ips(options.ips.begin(), options.ips.end()), found;
    for (const std::string& mac : options.macs) macs.insert(upper(mac));
    const std::string expected = upgrade_version(options);
    for (size_t i = 0; i < rows.size(); ++i) {
        const DeviceRow& row = rows[i];
        const std::string mac = upper(row.mac);
        const bool by_mac = macs.count(mac) > 0, by_ip = ips.count(row.ip) > 0;
        if (by_mac) found.insert(mac);
        if (by_ip) found.insert(row.ip);
        if (!options.all && !by_mac && !by_ip) continue;
        const int index = static_cast<int>(i);
        if (!reaches(row, options.protocol)) {
            if (!options.all) selection.other_protocol.push_back(index);
        } else if (row.version.empty() && !over_onvif(row, options.protocol))
            selection.without_version.push_back(index);
        else if (options.only_outdated && BatchJob::version_text_matches(expected, row.version))
            selection.up_to_date.push_back(index);
        else
            selection.rows.push_back(index);
    }
    for (const std::string& mac : options.macs)
        if (!found.count(upper(mac))) selection.missing.push_back(mac);
    for (const std::string& ip : options.ips)
        if (!found.count(ip)) selection.missing.push_back(ip);
    return selection;
}
