#pragma once
#include "batch/DeviceTable.h"
#include "batch/DiscoveryInbox.h"
#include "discovery/Discovery.h"
#include "foundation/Thread.h"
#include "station/ConfigItems.h"
#include "station/ServiceLoop.h"
#include "station/StationSdk.h"
#include "station/TestSession.h"

#include <QDialog>
#include <QMessageBox>
#include <QRect>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class IpcTestForm;
class QTreeWidgetItem;
class MicPlayer;

// The factory test station: finds cameras, opens a test session with one of them (login,
// version, capabilities, identity, live picture), lets the operator run the manual tests,
// and writes the PASS/NG record.
//
// Threads: discovery reports reach the window through an inbox that the window thread
// drains. The watch thread follows the list's first row; sessions opened by a click run on a
// session thread; the service thread runs the timed tests. None of them touches a widget:
// they read snapshots the window thread keeps (rows, inputs, the start state) and reach the
// widgets by queued calls. The window thread waits for them only where they never wait for
// it, and session changes are serialised by one lock.
class CIpcTest : public QDialog {
    Q_OBJECT
public:
    // Shows a message (text, caption, icon) without a modal loop of its own.
    using MessageBox = std::function<void(QWidget* parent, const QString& text, const QString& caption,
                                          QMessageBox::Icon icon)>;

    static constexpr const char* kThreadLogName = "CIpcTest";

    explicit CIpcTest(QWidget* parent = nullptr, DiscoveryConfig discovery_config = {},
                      StationSdk& sdk = ovix_station_sdk());
    ~CIpcTest() override;

    QWidget* control(int id) const;
    template <class T>
    T* control_as(int id) const { return qobject_cast<T*>(control(id)); }
    IpcTestForm& form() { return *m_form; }

    // The device list.
    void get_more_ip();
    static uint32_t on_device_found(const DEV_INFO* record, uint32_t is_new, void* context);
    int update_dev_find_list(const DEV_INFO& record, int is_new);
    void search();

    // Sessions.
    int ipc_login_live(int item);
    // Runs ipc_login_live beside the window (double click, start button). False when a
    // session is already being opened.
    bool open_session_async(int item);
    void on_start_button();
    void on_auto_show(bool checked);
    bool version_length_ok();
    bool executing() const { return m_executing.load(); }
    // The watch loop (1) and the service loop (2).
    int ThreadFunc(uint32_t argument);

    // Manual tests.
    void on_ircut(int open);
    void on_speaker();
    void on_mic();
    void on_white_light();
    void on_infrared_lamp();
    void on_zoom(int32_t zoom);
    void on_ptz_message(int message, int control_id);
    void on_config();
    void toggle_full_screen();
    bool full_screen() const { return m_full_screen != 0; }
    void write_record(bool pass);

    // Seams for tests and the program.
    void set_message_box(MessageBox box) { m_message_box = std::move(box); }
    // Where the records go; "test_record" below the working directory unless changed.
    void set_record_directory(std::string directory) { m_record_directory = std::move(directory); }
    // At most this many rows (as many as discovery keeps unless a test says otherwise).
    void set_row_limit(size_t limit) { m_row_limit = limit; }
    CDiscovery& discovery() { return m_discovery; }
    ServiceLoop& service() { return m_service; }
    int32_t login_handle() const { return m_login_handle.load(); }
    int32_t live_handle() const { return m_live_handle.load(); }
    bool service_running() const { return m_service_running.load() != 0; }
    MicPlayer& mic_player() { return *m_mic; }
    // The session thread has finished its work (tests wait for this).
    bool session_idle() const { return !m_session_busy.load(); }

    std::string m_lang_ini;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

private:
    struct Row {
        std::string uuid;
        std::string ip;
        std::string version;
    };
    struct Inputs {
        bool version_check = true;
        std::string expected_version;
        bool auto_config = false;
        ConfigInputs config;
        std::string netcard;
    };

    void OnInitDialog();
    void connect_controls();
    void track_inputs();
    ConfigInputs config_inputs() const;
    void drain_discovery_inbox();
    // Empties the list. Reports already queued are dropped only when asked: the watch thread
    // asks for the clearing before its own sweep, whose answers may be queued first.
    void clear_rows(bool discard_queued);
    void publish_rows();
    QTreeWidgetItem* forgotten_row();
    QString lang(const char* key) const;
    std::function<std::string(const std::string&)> text_source() const;
    void post(std::function<void()> task);
    void set_test_controls(bool enabled);
    // UID, PID, TF card and QR code belong to one session: emptied whenever it ends, and PASS
    // and NG with them, so that nothing of one camera is ever shown or recorded for another.
    void clear_identity();
    void apply_outcome(const SessionOutcome& outcome, uint64_t generation);
    // The camera ended the login by itself (reboot, power, cable): on the window thread.
    void on_session_dropped(int32_t login_handle);
    static int32_t on_device_event(int32_t login_handle, const ovix_event* event, void* context);
    void show_message(const char* text_key, const char* caption_key, QMessageBox::Icon icon);
    // Stop live view and log out; both handles -1. Under the session lock.
    void close_session_locked();
    void stop_service_locked();
    void start_service_locked();
    void stop_execution();
    void close_test();
    void join_session_thread();
    int watch_pass();

    std::unique_ptr<IpcTestForm> m_form;
    StationSdk& m_sdk;
    bool m_sdk_ready = false;
    DiscoveryInbox m_inbox;
    CDiscovery m_discovery;
    MessageBox m_message_box;
    std::string m_record_directory = "test_record";
    std::unique_ptr<MicPlayer> m_mic;

    CThread<CIpcTest> m_thread[2];
    ServiceLoop m_service;
    std::atomic<int32_t> m_login_handle{-1};
    std::atomic<int32_t> m_live_handle{-1};
    std::atomic<int> m_service_running{0};
    std::mutex m_session_mutex;  // opening, closing, and the service thread's start and stop
    std::thread m_session_thread;
    std::atomic<bool> m_session_busy{false};
    // Counts session openings and stops: an outcome queued by an opening that a stop or a
    // newer opening has overtaken is dropped.
    std::atomic<uint64_t> m_session_generation{0};

    // Snapshots the window thread keeps for the other threads.
    mutable std::mutex m_snapshot_mutex;
    std::vector<Row> m_rows;
    Inputs m_inputs;
    std::string m_cur_uuid;
    std::atomic<bool> m_executing{false};
    // Counts the watch threads stopped, so that a change one of them queued is not applied
    // after it was stopped.
    std::atomic<uint64_t> m_watch_generation{0};

    int m_full_screen = 0;
    QRect m_dlg_placement;
    QRect m_video_placement;
    QRect m_full_screen_rect;
    QSize m_orig_size;
    int m_ipc_only = 1;
    size_t m_row_limit = DeviceTable::kDefaultRowLimit;
    bool m_closed = true;  // the clean-up of the last opening has run
};
