#include "cli/JobPlan.h"

#include "batch/AddressCheck.h"

#include <algorithm>
#include <set>

namespace {

std::string address_refusal(const RunOptions& options, const std::vector<int>& rows, const std::vector<DeviceRow>& listed,
                            const std::vector<std::string>& pool, const EnglishTexts& texts) {
    const size_t devices = rows.size();
    if (options.steps.change_ip && devices > 1)
        return "--set-ip gives every device the same address: name exactly one device (" + std::to_string(devices) +
               " chosen)";
    if (options.steps.change_ip) {
        // The same rules as the window's: nothing that would take the camera off the network.
        FixedAddressChange change{options.fixed_ip, options.subnet_mask, options.gateway, {}, {}};
        std::vector<std::string> others;
        for (size_t i = 0; i < listed.size(); ++i)
            if (std::find(rows.begin(), rows.end(), static_cast<int>(i)) == rows.end()) others.push_back(listed[i].ip);
        const AddressRefusal refusal = check_fixed_address(change, devices, others);
        if (refusal != AddressRefusal::None)
            return "--set-ip " + options.fixed_ip + ": " + texts.text(address_refusal_key(refusal));
    }
    if (!options.steps.change_auto_ip) return {};
    if (pool.empty()) return "--ip-range \"" + options.ip_range + "\": " + texts.text("IDS_ALL_IP_CONFLICT");
    if (pool.size() < devices)
        return "--ip-range \"" + options.ip_range + "\": " + std::to_string(pool.size()) + " free addresses for " +
               std::to_string(devices) + " devices";
    return {};
}

} // namespace

JobPlan plan_jobs(const RunOptions& options, const std::vector<int>& rows, const std::vector<DeviceRow>& listed,
                  const EnglishTexts& texts) {
    JobPlan plan;
    std::vector<std::string> pool;
    if (options.steps.change_auto_ip) {
        std::set<std::string> shown;
        for (const DeviceRow& row : listed) shown.insert(row.ip);
        pool = free_addresses(options.range, [&shown](const std::string& address) { return shown.count(address) > 0; });
    }
    plan.refusal = address_refusal(options, rows, listed, pool, texts);
    if (!plan.refusal.empty()) return plan;

    const bool rounds = options.address_change();
    const size_t size = rounds ? static_cast<size_t>(options.parallel) : 1;
    plan.max_alive = rounds ? 1 : options.parallel;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i % size == 0) plan.batches.emplace_back();
        const std::string address = options.steps.change_auto_ip ? pool[i] : options.steps.change_ip ? options.fixed_ip : "";
        plan.batches.back().push_back(JobDevice{rows[i], address});
    }
    return plan;
}
