#include "cli/RunJob.h"

#include "batch/BatchJob.h"
#include "batch/NeighbourCache.h"
#include "batch/OnvifPort.h"
#include "batch/PortChoice.h"
#include "cli/DeviceRuns.h"
#include "cli/DeviceSelection.h"
#include "cli/JobPlan.h"
#include "cli/JobScheduler.h"
#include "cli/OptionStepInputs.h"
#include "cli/PlanReport.h"
#include "cli/ProgressDisplay.h"
#include "cli/RunHistory.h"
#include "cli/RunReport.h"
#include "cli/RunSummary.h"
#include "cli/StopSignal.h"
#include "devsdk/ovix_client.h"
#include "discovery/Discovery.h"
#include "discovery/PrintableText.h"
#include "foundation/Clock.h"
#include "history/JobHistory.h"
#include "onvif/CameraReader.h"
#include "onvif/WsdProber.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {

constexpr int64_t kSearchSliceMs = 100;

// Complaints name devices by their texts: escaped, they cannot drive the terminal.
void complain(const std::string& text) { std::fprintf(stderr, "fleetset-cli run: %s\n", printable_text(text).c_str()); }

// The discovery callback's context: it runs on the facade's merge thread.
struct FoundDevices {
    DeviceTable* table;
    std::string need_update_text;

    static uint32_t on_found(const DEV_INFO* record, uint32_t is_new, void* context) {
        auto* self = static_cast<FoundDevices*>(context);
        if (self && record) self->table->update_dev_find_list(*record, is_new != 0, self->need_update_text);
        return 0;
    }
};

// Waits for replies, and on until every ONVIF probe of a range has gone out; false when a
// stop came first.
bool search(double seconds, const StopSignal& stop, const onvif::WsdProber* prober) {
    for (int64_t left = static_cast<int64_t>(seconds * 1000); left > 0; left -= kSearchSliceMs) {
        if (stop.requested()) return false;
        Clock::sleep_ms(std::min(left, kSearchSliceMs));
    }
    while (prober && !prober->probes_sent() && !stop.requested()) Clock::sleep_ms(kSearchSliceMs);
    return !stop.requested();
}

// The ONVIF cameras heard, read with the job's login (their versions, for --only-outdated
// and the report) and merged into the table.
void add_onvif_cameras(onvif::WsdProber& prober, const RunOptions& options, const StopSignal& stop, DeviceTable& table) {
    prober.stop();
    std::vector<onvif::OnvifCamera> cameras = prober.cameras();
    // A job that ONVIF can do nothing of logs in to no ONVIF camera, not even to read it; one
    // that names its cameras by address reads only those (a MAC is known only once read).
    const bool read = onvif_can_do_any(options.steps) || options.only_outdated;
    const bool by_address = !options.all && options.macs.empty();
    std::vector<onvif::OnvifCamera> named, others;
    for (onvif::OnvifCamera& camera : cameras) {
        const bool is_named = std::find(options.ips.begin(), options.ips.end(), onvif::camera_address(camera)) !=
                               options.ips.end();
        (!by_address || is_named ? named : others).push_back(std::move(camera));
    }
    onvif::read_cameras(named, {read, options.user, options.password}, [&stop] { return stop.requested(); });
    named.insert(named.end(), others.begin(), others.end());
    table.update_onvif_rows(named, missing_version_text);
}

const char* protocol_word(const DeviceRow& row, JobProtocol protocol) {
    return over_onvif(row, protocol) ? "onvif" : "own";
}

ProgressLine progress_line(const DeviceRun& run, const DeviceTable& table) {
    ProgressLine line{run.mac, "waiting", run.percent, {}};
    auto row = table.row(static_cast<size_t>(run.row));
    if (row && row->message != kMarkBlank) line.message = row->message;
    switch (run.state) {
    case DeviceRun::State::Waiting: break;
    case DeviceRun::State::Running: line.state = "running"; break;
    case DeviceRun::State::NotStarted:
        line.state = "not started";
        line.message = run.note;
        break;
    case DeviceRun::State::Ended: {
        bool failed = false;
        if (row)
            for (const std::string& mark : row->marks) failed = failed || mark == kMarkFailed;
        line.state = run.stopped ? "stopped" : failed ? "failed" : "ok";
        break;
    }
    }
    return line;
}

bool write_report(const RunOptions& options, const std::string& text) {
    if (options.report_file.empty()) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        return std::fflush(stdout) == 0;
    }
    std::FILE* file = std::fopen(options.report_file.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

struct SdkSession {
    bool ready = Network_ClientInit() == OVIX_OK;
    ~SdkSession() {
        if (ready) Network_ClientUnInit();
    }
};

// The dry run's answer: what the job would do to each device found, and why it would leave
// out the others.
int print_plan(const RunOptions& options, const DeviceSelection& selection, const JobPlan& plan, const DeviceTable& table,
               RunSummary& summary) {
    std::string steps;
    for (const std::string& name : step_flag_names(options.steps)) steps += (steps.empty() ? "" : ",") + name;
    std::vector<PlanLine> lines;
    const auto line = [&](int row, const char* action, const std::string& new_ip) {
        const DeviceRow device = table.row(static_cast<size_t>(row)).value_or(DeviceRow{});
        const bool runs = std::string(action) == "run";
        const std::string protocol = over_onvif(device, options.protocol) ? "onvif" : "device-sdk";
        lines.push_back(PlanLine{device.mac, device.ip, device.version, protocol, action, runs ? steps : "", new_ip});
    };
    for (const auto& batch : plan.batches)
        for (const JobDevice& device : batch) line(device.row, "run", device.new_ip);
    for (int row : selection.up_to_date) line(row, "up to date", "");
    for (int row : selection.without_version) line(row, "no version", "");
    for (const std::string& name : selection.missing) lines.push_back(PlanLine{name, "", "", "", "not found", "", ""});
    summary.devices = static_cast<int>(lines.size());
    summary.planned = static_cast<int>(selection.rows.size());
    summary.up_to_date = static_cast<int>(selection.up_to_date.size());
    summary.unsupported = static_cast<int>(selection.without_version.size());
    summary.not_found = static_cast<int>(selection.missing.size());
    if (!write_report(options, format_plan(lines, options.format))) {
        complain("cannot write the plan to " + (options.report_file.empty() ? std::string("standard output") : options.report_file));
        return 1;
    }
    std::fprintf(stderr, "fleetset-cli run: dry run, nothing sent: %zu %s would be worked on\n", selection.rows.size(),
                 selection.rows.size() == 1 ? "device" : "devices");
    return 0;
}

void count_reports(const std::vector<DeviceReport>& reports, const DeviceSelection& selection, RunSummary& summary) {
    summary.devices = static_cast<int>(reports.size());
    summary.unsupported = static_cast<int>(selection.without_version.size());
    summary.not_found = static_cast<int>(selection.missing.size());
    summary.up_to_date = static_cast<int>(selection.up_to_date.size());
    for (const DeviceReport& report : reports) {
        (device_succeeded(report) ? summary.done : summary.failed) += 1;
        summary.changed += std::count(report.steps.begin(), report.steps.end(), "ok") > 0 ? 1 : 0;
    }
}

// The run up to its report. ran: the job was started, so its devices belong in the history.
int run_devices(const RunOptions& options, const EnglishTexts& texts, RunSummary& summary, std::vector<DeviceReport>& reports,
                bool& ran) {
    StopSignal stop;
    SdkSession sdk;
    if (!sdk.ready) {
        complain("the device SDK could not start");
        return 1;
    }
    DeviceTable table;
    FoundDevices found{&table, texts.text("IDS_NEED_UPDATE_FIRST")};
    DiscoveryConfig config;
    if (!options.interface_address.empty())
        config.local_addresses = [address = options.interface_address] { return std::vector<std::string>{address}; };
    onvif::ProberConfig probing;
    probing.local_addresses = config.local_addresses;
    CDiscovery discovery(std::move(config));
    // Before the start: the first sweep's replies must already reach the table.
    discovery.SetDiscoveryCB(&FoundDevices::on_found, &found);
    if (discovery.StartDiscovery(2147483647) != 0) {
        complain("discovery could not start");
        return 1;
    }
    std::optional<onvif::WsdProber> prober;
    if (options.protocol != JobProtocol::own) {
        onvif::ProberConfig search_probes = probing;
        if (!options.probe_range.empty()) onvif::parse_probe_range(options.probe_range, search_probes.range);
        prober.emplace(std::move(search_probes));
        if (!prober->start()) {
            complain("ONVIF discovery could not start; only our own protocol's cameras are worked on");
            prober.reset();
        }
    }
    if (!search(options.seconds, stop, prober ? &*prober : nullptr)) {
        complain("stopped before the job started; nothing was sent");
        write_report(options, format_run_report({}, options.format));
        return 1;
    }

    if (prober) add_onvif_cameras(*prober, options, stop, table);

    const DeviceSelection selection = select_devices(table.rows(), options);
    for (const std::string& name : selection.missing) complain(name + ": no such device was found");
    for (int row : selection.other_protocol)
        complain(table.cell(static_cast<size_t>(row), COL_MAC) + " (" + table.cell(static_cast<size_t>(row), COL_IP) +
                 "): " + (options.protocol == JobProtocol::own ? "speaks only ONVIF" : "speaks no ONVIF") +
                 ", left out by --protocol " + job_protocol_name(options.protocol));
    for (int row : selection.without_version)
        complain(table.cell(static_cast<size_t>(row), COL_MAC) + ": " + texts.text("IDS_NEED_UPDATE_FIRST"));
    for (int row : selection.up_to_date)
        complain(table.cell(static_cast<size_t>(row), COL_MAC) + ": already runs " + upgrade_version(options) + ", left out");
    if (selection.rows.empty() && selection.up_to_date.empty() && selection.without_version.empty()) {
        complain(table.size() == 0 ? "no devices found" : "none of the named devices was found");
        write_report(options, format_run_report({}, options.format));
        return 1;
    }
    // Our cameras take only files with our header; another maker's image is for ONVIF cameras.
    if (options.steps.need_update && BatchJob::own_header_version(options.upgrade_file).empty()) {
        for (int row : selection.rows) {
            const DeviceRow device = table.row(static_cast<size_t>(row)).value_or(DeviceRow{});
            if (over_onvif(device, options.protocol)) continue;
            complain(device.mac + ": the firmware file has no version header of ours, which our protocol's cameras need; "
                                  "leave it out or use --protocol onvif");
            return 2;
        }
    }
    const JobPlan plan = plan_jobs(options, selection.rows, table.rows(), texts);
    if (!plan.refusal.empty()) {
        complain(plan.refusal);
        return 2;
    }
    if (options.dry_run) {
        discovery.StopDiscovery();
        return print_plan(options, selection, plan, table, summary);
    }

    std::vector<int> reported = selection.rows;
    reported.insert(reported.end(), selection.without_version.begin(), selection.without_version.end());
    DeviceRuns runs(table, reported, texts.lookup());
    for (int row : selection.without_version) runs.not_started(row, texts.text("IDS_NEED_UPDATE_FIRST"));

    int height = 0, width = 0;
    const bool terminal = ProgressDisplay::terminal_size(STDOUT_FILENO, height, width);
    // Off a terminal the progress goes to standard error, so that standard output carries
    // only the report.
    ProgressDisplay display(terminal ? stdout : stderr, terminal, height, width);
    const auto lines = [&] {
        std::vector<ProgressLine> all;
        for (const DeviceRun& run : runs.runs()) all.push_back(progress_line(run, table));
        return all;
    };
    runs.on_changed([&](const DeviceRun& run) { display.changed(progress_line(run, table)); });

    OptionStepInputs inputs(options);
    SystemNeighbourCache neighbours;
    JobScheduler::Hooks hooks;
    hooks.launched = [&](const std::vector<int>& rows) { runs.launched(rows); };
    hooks.refused = [&](const std::vector<int>& rows) {
        for (int row : rows) runs.not_started(row, "the engine refused the job");
    };
    hooks.report = [&](ReportKind kind, uint32_t payload, const std::vector<int>& rows) { runs.report(kind, payload, rows); };
    hooks.stop_requested = [&] { return stop.requested(); };
    hooks.stopping = [&] {
        complain("stopping: every started device makes its end report first");
        runs.stopped("not started: the run was stopped");
    };
    hooks.tick = [&] { display.redraw(lines()); };

    JobLaunch launch;
    launch.steps = options.steps;
    launch.upgrade_file = options.upgrade_file;
    launch.user = options.user;
    launch.password = options.password;
    launch.local_address = options.interface_address;
    ran = true;
    {
        PortChoice choice{options.protocol, options.expect_version, probing};
        JobScheduler scheduler(discovery, table, inputs, neighbours, hooks, choose_ports(discovery, table, choice));
        scheduler.run(launch, plan.batches, plan.max_alive);
    }
    display.redraw(lines(), true);
    discovery.StopDiscovery();

    const int64_t now = Clock::now_ms();
    for (const DeviceRun& run : runs.runs()) {
        const DeviceRow row = table.row(static_cast<size_t>(run.row)).value_or(DeviceRow{});
        reports.push_back(device_report(run, row, now));
        reports.back().protocol = protocol_word(row, options.protocol);
        reports.back().uuid = row.uuid;
    }
    count_reports(reports, selection, summary);
    size_t failed = selection.missing.size();
    for (const DeviceReport& report : reports) failed += device_succeeded(report) ? 0 : 1;
    if (!write_report(options, format_run_report(reports, options.format))) {
        complain("cannot write the report to " + (options.report_file.empty() ? std::string("standard output") : options.report_file));
        return 1;
    }
    std::fprintf(stderr, "fleetset-cli run: %zu %s, %zu succeeded, %zu failed or not done\n", reports.size(),
                 reports.size() == 1 ? "device" : "devices", reports.size() - (failed - selection.missing.size()),
                 failed - selection.missing.size());
    return failed == 0 ? 0 : 1;
}

} // namespace

int run_job(const RunOptions& options, const EnglishTexts& texts) {
    RunSummary summary;
    summary.dry_run = options.dry_run;
    summary.started = history_time_now();
    std::vector<DeviceReport> reports;
    bool ran = false;
    int exit_code = run_devices(options, texts, summary, reports, ran);
    summary.ended = history_time_now();
    summary.exit_code = exit_code;
    // The report is out by now: the history cannot cost the job its report.
    if (ran) record_run_history(options, reports, summary.started, summary.ended, exit_code);
    if (!options.summary_file.empty() && !write_file_atomically(options.summary_file, summary_json(summary))) {
        complain("cannot write the summary to " + options.summary_file);
        if (exit_code == 0) exit_code = 1;
    }
    return exit_code;
}
