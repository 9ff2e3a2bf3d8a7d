#pragma once
#include "batch/DeviceTable.h"
#include "batch/DiscoveryInbox.h"
#include "batch/JobInputs.h"
#include "batch/ReportChannel.h"
#include "discovery/Discovery.h"

#include <QDialog>
#include <QString>

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <thread>

class DeviceListModel;
class QCheckBox;
class QComboBox;
class QProgressBar;
class QPushButton;
class QTableView;

// The batch tool window: every discovered device in one list with check boxes, the inputs
// of a batch job, and (in later steps) the launch and the display of a job's reports.
//
// Threads: discovery reports arrive on the facade's merge thread and only copy the record
// into an inbox that the window thread drains; workers read rows from devices() and control
// values from inputs(), and report through reports(). Nothing but the window thread touches
// a widget, and the window thread never waits for a thread that may wait for it.
class CfleetsetDlg : public QDialog {
    Q_OBJECT
public:
    // Asks a question with OK and Cancel; true for OK.
    using Confirm = std::function<bool(QWidget* parent, const QString& text, const QString& caption)>;
    // Lets the user choose a file to open; an empty result means cancelled.
    using ChooseFile = std::function<QString(QWidget* parent, const QString& filter, const QString& default_suffix)>;
    // Makes sure the firewall lets the discovery replies in; runs on a thread of its own at
    // each opening, and each message it gives is shown to the user. The program hands in the
    // real check; a window without one checks nothing.
    using FirewallCheck = std::function<void(const std::function<void(const std::string&)>& message)>;

    explicit CfleetsetDlg(QWidget* parent = nullptr, DiscoveryConfig discovery_config = {});
    ~CfleetsetDlg() override;

    // The control with a numeric id, or null.
    QWidget* control(int id) const;
    template <class T>
    T* control_as(int id) const { return qobject_cast<T*>(control(id)); }

    // Adds or updates the row of a discovered device (window thread). Returns 0.
    int update_dev_find_list(const DEV_INFO& record, int is_new);
    // The discovery callback: hands a copy of the record to the window thread. Returns 0.
    static uint32_t on_device_found(const DEV_INFO* record, uint32_t is_new, void* context);
    // Empties the list and searches again from the address in the network-card box.
    void refresh_list();
    void select_all();
    void select_invert();
    // Fills the network-card box with the host's IPv4 addresses.
    void get_more_ip();

    // Seam for the job engine.
    DeviceTable& devices() { return m_devices; }
    const DeviceTable& devices() const { return m_devices; }
    JobInputs& inputs() { return m_inputs; }
    JobReportSink& reports() { return m_reports; }
    CDiscovery& discovery() { return m_discovery; }
    DeviceListModel* list_model() const { return m_list_model; }

    // Stops the running job and resets its fields. Waits for the workers, so the report
    // channel is closed first.
    void clear_job();

    void set_confirm(Confirm confirm) { m_confirm = std::move(confirm); }
    void set_choose_file(ChooseFile choose) { m_choose_file = std::move(choose); }
    void set_firewall_check(FirewallCheck check) { m_firewall_check = std::move(check); }

    // The language file of every text; chosen at the first opening when left empty.
    std::string m_lang_ini;
    // Selected index of the device-type box.
    int m_dev_type = 0;
    // A job is in progress: set by the launch, cleared when it ends or is stopped.
    std::atomic<bool> m_running{false};

    // The about box's menu entry text.
    static const char* const kAboutEntryText;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

private:
    void create_controls();
    void lay_out();
    void connect_controls();
    void on_init_dialog();
    void apply_texts();
    void fill_combo_boxes();
    void apply_start_states();
    void start_discovery();
    void stop_discovery();
    void check_firewall();
    void drain_discovery_inbox();
    void on_job_report(ReportKind kind, uint32_t payload);
    void on_device_type_changed(int index);
    void on_set_network_clicked(bool checked);
    void on_dhcp_clicked(bool checked);
    void browse_into(int edit_id, const QString& filter, const QString& default_suffix);
    void show_about();
    void track_inputs();
    QString lang(const char* key) const;

    template <class T>
    T* make(int id);

    std::map<int, QWidget*> m_controls;
    QComboBox* m_devtype_combo = nullptr;
    QComboBox* m_videostd_combo = nullptr;
    QComboBox* m_timezone_combo = nullptr;
    QComboBox* m_timefmt_combo = nullptr;
    QComboBox* m_language_combo = nullptr;
    QComboBox* m_maxch_combo = nullptr;
    QComboBox* m_defaultch_combo = nullptr;
    QComboBox* m_netcard_combo = nullptr;
    QProgressBar* m_progress = nullptr;
    QTableView* m_devlist = nullptr;
    QPushButton* m_about_button = nullptr;

    DeviceTable m_devices;
    DeviceListModel* m_list_model = nullptr;
    JobInputs m_inputs;
    ReportChannel m_reports;
    DiscoveryInbox m_inbox;
    CDiscovery m_discovery;
    bool m_sdk_ready = false;

    bool m_open = false;  // between the start code of an opening and its end
    Confirm m_confirm;
    ChooseFile m_choose_file;
    FirewallCheck m_firewall_check;
    std::thread m_firewall_thread;
    std::atomic<bool> m_firewall_busy{false};
};
