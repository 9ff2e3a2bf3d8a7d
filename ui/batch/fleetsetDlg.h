#pragma once
#include "batch/BatchJob.h"
#include "batch/DeviceTable.h"
#include "batch/DiscoveryInbox.h"
#include "batch/JobInputs.h"
#include "batch/NeighbourCache.h"
#include "batch/OnvifSearch.h"
#include "batch/PortChoice.h"
#include "batch/ReportChannel.h"
#include "discovery/Discovery.h"
#include "ui/batch/WindowStepInputs.h"

#include <QDialog>
#include <QMessageBox>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

class BatchForm;
class SettingsStore;
class DeviceListModel;

// The batch tool window: every discovered device in one list with check boxes, the inputs
// of a batch job, its launch buttons, and the display of the job's reports.
//
// Threads: discovery reports arrive on the facade's merge thread and only copy the record
// into an inbox that the window thread drains; the job's workers read rows from devices()
// and control values through the step inputs, and report through one queued hop. Nothing
// but the window thread touches a widget, and the window thread never waits for a thread
// that may wait for it: the report channel is closed before the workers are joined, and a
// refresh sweeps on a thread of its own.
class CfleetsetDlg : public QDialog {
    Q_OBJECT
public:
    // Asks a question with OK and Cancel; true for OK.
    using Confirm = std::function<bool(QWidget* parent, const QString& text, const QString& caption)>;
    // Shows a message with an exclamation icon. A refusal waits for the user (it runs in a
    // click handler); the all-finished notice must not wait (it runs inside a report).
    using Notify = std::function<void(QWidget* parent, const QString& text, const QString& caption)>;
    // A notice with its icon (information, or warning when something went wrong).
    using Notice = std::function<void(QWidget* parent, const QString& text, const QString& caption, QMessageBox::Icon icon)>;
    // Lets the user choose a file to open; an empty result means cancelled.
    using ChooseFile = std::function<QString(QWidget* parent, const QString& filter, const QString& default_suffix)>;
    // Makes sure the firewall lets the discovery replies in; runs on a thread of its own at
    // each opening, and each message it gives is shown to the user. The program hands in the
    // real check; a window without one checks nothing.
    using FirewallCheck = std::function<void(const std::function<void(const std::string&)>& message)>;

    explicit CfleetsetDlg(QWidget* parent = nullptr, DiscoveryConfig discovery_config = {},
                          OnvifSearchConfig onvif_config = {});
    ~CfleetsetDlg() override;

    // The control with a numeric id, or null.
    QWidget* control(int id) const;
    template <class T>
    T* control_as(int id) const { return qobject_cast<T*>(control(id)); }

    // Adds or updates the row of a discovered device (window thread). Returns 0.
    int update_dev_find_list(const DEV_INFO& record, int is_new);
    // Whether discovery has dropped a device (the list gives its row to a new one when full).
    DeviceTable::Forgotten forgotten_by_discovery();
    // The discovery callback: hands a copy of the record to the window thread. Returns 0.
    static uint32_t on_device_found(const DEV_INFO* record, uint32_t is_new, void* context);
    // The ONVIF cameras as the search last heard and read them, merged into the list: one row
    // per camera, a camera our discovery found too goes into its row (window thread).
    void show_onvif_cameras(const std::vector<onvif::OnvifCamera>& cameras);
    // "Log in to ONVIF cameras": the dialog opens without a modal loop; after OK the login is
    // kept and the cameras are read with it, off the window thread.
    void ask_onvif_login();
    void set_onvif_login(const QString& user, const QString& password);
    // The ONVIF side of the next launches: the version an upgrade must end on for a file
    // without our header, and whether a camera that speaks both is worked on over ONVIF.
    void set_onvif_job(const QString& expected_version, bool prefer_onvif);
    // Empties the list and searches again from the address in the network-card box; the
    // sweep runs beside the window.
    void refresh_list();
    void select_all();
    void select_invert();
    // Fills the network-card box with the host's IPv4 addresses.
    void get_more_ip();
    // Writes the list as it stands, every column with marks and messages, as CSV or JSON
    // (by the chosen file's suffix): the job report an installer hands over.
    void export_list();

    // Launch: the button's checks, its step flags, the job, then the saved inputs.
    void launch(int button_id);
    bool check_user_name();
    void check_update_step();
    bool ip_in_list(const QString& text) const;
    int count_checked() const;
    int start_upgrade(const QString& path, const QString& first, const QString& last);

    // The reports of a job, on the window thread.
    int OnJobReport(ReportKind kind, uint32_t payload);
    void enable_controls();
    // The stop button: ends the job and blanks the upgrade column.
    void stop();
    // Stops the running job and resets its fields. Closes the report channel first.
    void clear_job();
    bool job_running() const { return m_job.running(); }

    // Seam for tests and the program.
    DeviceTable& devices() { return m_devices; }
    const DeviceTable& devices() const { return m_devices; }
    JobInputs& inputs() { return m_inputs; }
    BatchJob& job() { return m_job; }
    CDiscovery& discovery() { return m_discovery; }
    DeviceListModel* list_model() const { return m_list_model; }
    void set_confirm(Confirm confirm) { m_confirm = std::move(confirm); }
    void set_refusal(Notify notify) { m_refusal = std::move(notify); }
    void set_notice(Notice notice) { m_notice = std::move(notice); }
    void set_choose_file(ChooseFile choose) { m_choose_file = std::move(choose); }
    // Where to save the exported list; an empty result means cancelled.
    void set_choose_save_file(ChooseFile choose) { m_choose_save_file = std::move(choose); }
    void set_firewall_check(FirewallCheck check) { m_firewall_check = std::move(check); }
    void set_neighbour_cache(NeighbourCache* cache) { m_neighbours.target = cache; }
    // Where the inputs are kept; the user's own settings file unless a test hands in another.
    void set_settings_store(std::unique_ptr<SettingsStore> store);
    int save_cfg_param();
    int load_cfg_param();

    // The language file of every text; chosen at the first opening when left empty.
    std::string m_lang_ini;
    // Selected index of the device-type box.
    int m_dev_type = 0;
    // The step flags the last launch filled.
    JobSteps m_dostep;

    // The about box's menu entry text.
    static const char* const kAboutEntryText;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

private:
    // The neighbour cache the job clears; the system's unless a test hands in another.
    struct NeighbourCacheRef : NeighbourCache {
        NeighbourCache* target = nullptr;
        SystemNeighbourCache system;
        bool flush(const std::string& local_address) override {
            return target ? target->flush(local_address) : system.flush(local_address);
        }
    };

    void connect_controls();
    void connect_launch_buttons();
    void on_init_dialog();
    void fit_screen();
    void start_discovery();
    void stop_discovery();
    void join_refresh();
    void check_firewall();
    void drain_discovery_inbox();
    void start_onvif_search();
    // What an ONVIF camera's version cell says until it is read; empty once read.
    std::string unread_text(onvif::Reading reading) const;
    void queue_report(ReportChannel::Task task);
    void drain_reports();
    void show_status(int row, uint32_t code);
    // The all-finished notice with how many succeeded and failed.
    void show_job_end();
    void on_device_type_changed(int index);
    void on_set_network_clicked(bool checked);
    void on_dhcp_clicked(bool checked);
    void browse_into(int edit_id, const QString& filter, const QString& default_suffix);
    void show_about();
    void track_inputs();
    void refuse(const char* key, int focus_id);
    SettingsStore& settings();
    bool check_range(bool end_not_below_start, QString& first, QString& last);
    bool check_firmware_path(QString& path);
    // The launch's own checks after the button's: a ticked row, an address change that
    // cannot lose a camera, and a yes to a reset of every ticked camera.
    bool check_ticked_rows();
    bool check_onvif_upgrade(const QString& path);
    void choose_onvif_ports();
    bool check_address_change();
    bool confirm_resets();
    QString lang(const char* key) const;

    std::unique_ptr<BatchForm> m_form;
    DeviceTable m_devices;
    DeviceListModel* m_list_model = nullptr;
    JobInputs m_inputs;
    WindowStepInputs m_step_inputs{m_inputs};
    ReportChannel m_reports;
    DiscoveryInbox m_inbox;
    CDiscovery m_discovery;
    NeighbourCacheRef m_neighbours;
    // What the ONVIF cameras' workers are given; written at a launch, when no worker runs.
    PortChoice m_port_choice;
    BatchJob m_job{m_devices, m_step_inputs, m_reports, m_neighbours, choose_ports(m_discovery, m_devices, &m_port_choice)};
    // Reports by a queued call only; stopped (joined) with discovery.
    OnvifSearch m_onvif;
    bool m_onvif_login_loaded = false;
    bool m_sdk_ready = false;
    // Where the display stands: launched (the job's start report not yet shown), running,
    // or idle; reports of a stopped job that are still on their way change nothing.
    enum class JobPhase { Idle, Launched, Running };
    JobPhase m_job_phase = JobPhase::Idle;
    bool m_after_stop = false;  // a job was stopped and no other launched since

    bool m_open = false;  // between the start code of an opening and its end
    Confirm m_confirm;
    Notify m_refusal;
    Notice m_notice;
    // Rows of the running job: all it launched, and those without their end report yet.
    std::vector<int> m_launched_rows;
    std::set<int> m_job_rows;
    ChooseFile m_choose_file;
    ChooseFile m_choose_save_file;
    FirewallCheck m_firewall_check;
    std::thread m_firewall_thread;
    std::atomic<bool> m_firewall_busy{false};
    std::thread m_refresh_thread;
    std::unique_ptr<SettingsStore> m_settings;
    // Reports on their way to the window thread: 100 workers post in bursts, and the window
    // wakes once per batch rather than once per report.
    std::mutex m_report_mutex;
    std::vector<ReportChannel::Task> m_report_batch;
    // Rows a batch of reports wrote, repainted once at its end; first is -1 outside a batch.
    int m_batch_first = -1;
    int m_batch_last = -1;
    bool m_in_batch = false;
    int m_batch_progress = -1;
    // Message texts of the reports: read from the language file once per opening, not once
    // per report.
    std::unordered_map<std::string, std::string> m_message_texts;
};
