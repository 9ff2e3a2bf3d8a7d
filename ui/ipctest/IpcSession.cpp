// The test window's sessions: opening one (double click, start button, the watch thread),
// stopping execution, and the watch loop that follows the list's first row.
#include "ui/ipctest/CIpcTest.h"

#include "foundation/Clock.h"
#include "foundation/debug_log.h"
#include "ui/ipctest/CPTZButton.h"
#include "ui/ipctest/IpcTestForm.h"
#include "ui/ipctest/IpcTestIds.h"
#include "ui/ipctest/MicPlayer.h"
#include "ui/ipctest/QrCodeView.h"
#include "station/VersionCheck.h"
#include "ui/ipctest/VideoFrameView.h"
#include "station/WatchLoop.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>

using namespace ipctest_ids;

namespace {
constexpr const char* kFile = "IpcSession";
constexpr int64_t kEmptyListPollMs = 100;
constexpr int64_t kAfterLoginMs = 30;
} // namespace

void CIpcTest::connect_controls() {
    const auto button = [this](int id) { return control_as<QPushButton>(id); };
    const auto check = [this](int id) { return control_as<QCheckBox>(id); };
    connect(button(SearchButton), &QPushButton::clicked, this, [this] { search(); });
    connect(button(StartButton), &QPushButton::clicked, this, [this] { on_start_button(); });
    connect(check(AutoShowCheck), &QCheckBox::clicked, this, [this](bool on) { on_auto_show(on); });
    connect(check(VersionCheckBox), &QCheckBox::clicked, this, [this](bool on) {
        control(VersionEdit)->setEnabled(on);
        track_inputs();
    });
    connect(m_form->devlist, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) {
        const int row = m_form->devlist->indexOfTopLevelItem(item);
        if (row != -1 && row < m_form->devlist->topLevelItemCount() && version_length_ok()) open_session_async(row);
    });
    connect(button(IrcutOpenButton), &QPushButton::clicked, this, [this] { on_ircut(1); });
    connect(button(IrcutCloseButton), &QPushButton::clicked, this, [this] { on_ircut(0); });
    connect(button(SpeakerButton), &QPushButton::clicked, this, [this] { on_speaker(); });
    connect(button(MicButton), &QPushButton::clicked, this, [this] { on_mic(); });
    connect(button(WhiteLightButton), &QPushButton::clicked, this, [this] { on_white_light(); });
    connect(button(InfraredLampButton), &QPushButton::clicked, this, [this] { on_infrared_lamp(); });
    connect(button(Zoom1xButton), &QPushButton::clicked, this, [this] { on_zoom(200); });
    connect(button(Zoom5xButton), &QPushButton::clicked, this, [this] { on_zoom(1000); });
    connect(button(ZoomResetButton), &QPushButton::clicked, this, [this] { on_zoom(0); });
    connect(button(ConfigButton), &QPushButton::clicked, this, [this] { on_config(); });
    connect(button(PassButton), &QPushButton::clicked, this, [this] { write_record(true); });
    connect(button(NgButton), &QPushButton::clicked, this, [this] { write_record(false); });
    for (CPTZButton* ptz : m_form->ptz)
        connect(ptz, &CPTZButton::ptz_message, this, [this](int message, int id, int) { on_ptz_message(message, id); });
    connect(m_form->video, &VideoFrameView::clicked, this, [this] { toggle_full_screen(); });
    connect(m_form->light_mode_combo, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index == 0) m_form->lamp_combo->show();
        else if (index == 1) m_form->lamp_combo->hide();
        track_inputs();
    });
    // Every input a session reads from another thread is mirrored as it changes.
    const auto track = [this] { track_inputs(); };
    connect(control_as<QLineEdit>(VersionEdit), &QLineEdit::textChanged, this, track);
    connect(m_form->netcard_combo, &QComboBox::currentTextChanged, this, track);
    connect(m_form->lamp_combo, &QComboBox::currentIndexChanged, this, track);
    connect(m_form->direction_combo, &QComboBox::currentIndexChanged, this, track);
    for (int id : {AutoConfigCheck, MicConfigCheck, SpeakerConfigCheck})
        connect(check(id), &QCheckBox::stateChanged, this, track);
}

bool CIpcTest::version_length_ok() {
    if (!control_as<QCheckBox>(VersionCheckBox)->isChecked()) return true;
    if (control_as<QLineEdit>(VersionEdit)->text().toStdString().size() >= 5) return true;
    show_message("IDS_INSERT_VERSION", "IDS_ERROR", QMessageBox::Warning);
    return false;
}

bool CIpcTest::open_session_async(int item) {
    if (m_session_busy.exchange(true)) {
        DEBUG_LOCATION(kFile, "CIpcTest::open_session_async");
        debug_log("a session is still being opened; row %d ignored\n", item);
        return false;
    }
    join_session_thread();
    m_session_thread = std::thread([this, item] {
        ipc_login_live(item);
        m_session_busy = false;
    });
    return true;
}

void CIpcTest::on_start_button() {
    auto* start = control_as<QPushButton>(StartButton);
    if (start->text() == lang("IDS_START_EXECUTION")) {
        if (!version_length_ok()) return;
        start->setText(lang("IDS_STOP"));
        m_executing = true;
        if (control_as<QCheckBox>(AutoShowCheck)->isChecked()) {
            {
                std::lock_guard<std::mutex> lock(m_snapshot_mutex);
                m_cur_uuid = m_rows.empty() ? std::string() : m_rows.front().uuid;
            }
            open_session_async(0);
            for (int id : {AutoShowCheck, VersionCheckBox, VersionEdit}) control(id)->setEnabled(false);
        }
        return;
    }
    stop_execution();
}

void CIpcTest::stop_execution() {
    control_as<QPushButton>(StartButton)->setText(lang("IDS_START_EXECUTION"));
    m_executing = false;
    // First, so that a session still opening on its thread shows nothing when it is done.
    ++m_session_generation;
    {
        std::lock_guard<std::mutex> lock(m_session_mutex);
        close_session_locked();
    }
    for (int id : {AutoShowCheck, VersionCheckBox, VersionEdit}) control(id)->setEnabled(true);
    m_form->video->hide();
    m_form->video->clear_picture();
    set_test_controls(false);
    clear_identity();
    m_form->results->clear();
}

void CIpcTest::on_auto_show(bool checked) {
    if (checked) {
        // A watch that ended by itself still has to be joined before it starts anew.
        if (m_thread[0].IsRunning()) m_thread[0].Stop();
        m_thread[0].Start(this, 1, 0);
        m_form->results->clear();
        control(SearchButton)->setEnabled(false);
        control(DeviceList)->setEnabled(false);
    } else {
        m_thread[0].Stop();
        ++m_watch_generation;
        control(SearchButton)->setEnabled(true);
        control(DeviceList)->setEnabled(true);
    }
}

void CIpcTest::close_session_locked() {
    const int32_t live = m_live_handle.exchange(-1);
    const int32_t login = m_login_handle.exchange(-1);
    if (live != -1) m_sdk.stop_live(live);
    if (login != -1) m_sdk.logout(login);
}

void CIpcTest::stop_service_locked() {
    if (!m_service_running.exchange(0)) return;
    m_service.stop();
    m_thread[1].Stop();
    m_service.clear_requests();
    m_service.restart();
}

void CIpcTest::start_service_locked() {
    if (m_service_running) return;
    if (m_thread[1].IsRunning()) m_thread[1].Stop();
    m_service_running = 1;
    m_thread[1].Start(this, 2, 0);
}

int CIpcTest::ipc_login_live(int item) {
    std::lock_guard<std::mutex> lock(m_session_mutex);
    const uint64_t generation = ++m_session_generation;
    stop_service_locked();

    SessionInputs in;
    {
        std::lock_guard<std::mutex> snapshot(m_snapshot_mutex);
        if (item < 0 || static_cast<size_t>(item) >= m_rows.size()) return -1;
        in.ip = m_rows[static_cast<size_t>(item)].ip;
        in.device_version = m_rows[static_cast<size_t>(item)].version;
        in.version_check = m_inputs.version_check;
        in.expected_version = m_inputs.expected_version;
        in.auto_config = m_inputs.auto_config;
        in.config = m_inputs.config;
    }
    in.video_target = m_form->video->render_target();
    post([this] {
        set_test_controls(false);
        clear_identity();
        m_form->results->clear();
        // Shown again only for a camera that passes its version check.
        m_form->video->hide();
        m_form->video->clear_picture();
        QApplication::setOverrideCursor(Qt::WaitCursor);
    });

    const int32_t old_live = m_live_handle.exchange(-1);
    const int32_t old_login = m_login_handle.exchange(-1);
    SessionOutcome outcome = open_test_session(m_sdk, in, old_login, old_live, text_source());
    m_login_handle = outcome.login_handle;
    m_live_handle = outcome.live_handle;
    if (outcome.live_handle != -1) m_mic->attach(m_sdk, outcome.live_handle);
    if (outcome.login_handle != -1) m_sdk.set_event_callback(outcome.login_handle, &CIpcTest::on_device_event, this);
    post([this, outcome, generation] { apply_outcome(outcome, generation); });
    if (outcome.result != 0) return -1;
    start_service_locked();
    return 0;
}

void CIpcTest::apply_outcome(const SessionOutcome& outcome, uint64_t generation) {
    QApplication::restoreOverrideCursor();
    if (generation != m_session_generation.load()) {
        DEBUG_LOCATION(kFile, "CIpcTest::apply_outcome");
        debug_log("outcome of an overtaken session dropped\n");
        return;
    }
    if (outcome.network_error) {
        show_message("IDS_NETWORK_ERROR", "IDS_ERROR", QMessageBox::Warning);
        return;
    }
    m_form->results->clear();
    for (const std::string& line : outcome.lines.lines()) m_form->results->addItem(QString::fromStdString(line));
    if (!outcome.show_video) return;
    m_form->video->show();
    if (outcome.lamps) {
        control(WhiteLightButton)->setEnabled(outcome.lamps->white);
        control(InfraredLampButton)->setEnabled(outcome.lamps->infrared);
    }
    control(MicButton)->setEnabled(outcome.mic);
    control(SpeakerButton)->setEnabled(outcome.speaker);
    for (int id : {PtzUpButton, PtzLeftButton, PtzRightButton, PtzDownButton}) control(id)->setEnabled(outcome.ptz);
    control_as<QLabel>(UidValue)->setText(QString::fromStdString(outcome.uid));
    control_as<QLabel>(PidValue)->setText(QString::fromStdString(outcome.pid));
    m_form->qr->set_text(QString::fromStdString(outcome.qr_text));
    control_as<QLabel>(TfCardValue)->setText(QString::fromStdString(outcome.tf_text));
    if (outcome.live)
        for (int id : {IrcutOpenButton, IrcutCloseButton, Zoom1xButton, Zoom5xButton, ZoomResetButton})
            control(id)->setEnabled(true);
    const bool session_up = outcome.result == 0;
    control(PassButton)->setEnabled(session_up);
    control(NgButton)->setEnabled(session_up);
}

int32_t CIpcTest::on_device_event(int32_t login_handle, const ovix_event* event, void* context) {
    if (!event || event->main != OVIX_EVENT_LOGIN_DROPPED) return 0;
    auto* self = static_cast<CIpcTest*>(context);
    DEBUG_LOCATION(kFile, "CIpcTest::on_device_event");
    debug_log("login %d dropped, reason %d\n", login_handle, event->sub);
    self->post([self, login_handle] { self->on_session_dropped(login_handle); });
    return 0;
}

void CIpcTest::on_session_dropped(int32_t login_handle) {
    // A login of an earlier session: that one was closed on purpose.
    if (login_handle != m_login_handle.load()) return;
    {
        std::unique_lock<std::mutex> lock(m_session_mutex, std::try_to_lock);
        // Busy: a new session is being opened, and it closes this one itself.
        if (!lock.owns_lock() || login_handle != m_login_handle.load()) return;
        ++m_session_generation;
        close_session_locked();
    }
    const QString live_ok = lang("IDS_LIVE_NORMAL");
    const QString live_failed = lang("IDS_LIVE_EROOR");
    bool replaced = false;
    for (int row = 0; row < m_form->results->count(); ++row) {
        if (m_form->results->item(row)->text() != live_ok) continue;
        m_form->results->item(row)->setText(live_failed);
        replaced = true;
    }
    if (!replaced) m_form->results->addItem(live_failed);
    m_form->video->hide();
    m_form->video->clear_picture();
    set_test_controls(false);
    clear_identity();
    show_message("IDS_CAMERA_GONE", "IDS_WARNING", QMessageBox::Warning);
}

int CIpcTest::ThreadFunc(uint32_t argument) {
    if (argument == 1) return watch_pass();
    if (argument == 2) {
        m_service.run_pass(m_login_handle.load(), m_live_handle.load());
        return m_service_running ? 0 : 1;
    }
    return 1;
}

int CIpcTest::watch_pass() {
    std::string row0;
    std::string current;
    std::string netcard;
    {
        std::lock_guard<std::mutex> lock(m_snapshot_mutex);
        row0 = m_rows.empty() ? std::string() : m_rows.front().uuid;
        current = m_cur_uuid;
        netcard = m_inputs.netcard;
    }
    const WatchAction action = watch_decision(row0, current, m_executing.load());
    // Whatever the watch does next, the picture shown must be the first row's camera.
    if (row0 != current && action == WatchAction::End) post([this] { m_form->video->hide(); });
    switch (action) {
    case WatchAction::End:
        return 1;
    case WatchAction::RefreshEmpty: {
        // A watch stopped meanwhile (auto show unticked) no longer empties the list.
        post([this, generation = m_watch_generation.load()] {
            if (generation != m_watch_generation.load()) return;
            m_form->video->hide();
            set_test_controls(false);
            clear_identity();
            clear_rows(false);
        });
        {
            std::lock_guard<std::mutex> lock(m_session_mutex);
            close_session_locked();
        }
        {
            std::lock_guard<std::mutex> lock(m_snapshot_mutex);
            m_cur_uuid.clear();
        }
        m_discovery.RefreshDiscovery(netcard.c_str());
        Clock::sleep_ms(kEmptyListPollMs);
        return 0;
    }
    case WatchAction::Login:
        post([this] { m_form->video->hide(); });
        if (ipc_login_live(0) == -1) return 1;
        {
            std::lock_guard<std::mutex> lock(m_snapshot_mutex);
            m_cur_uuid = row0;
        }
        Clock::sleep_ms(kAfterLoginMs);
        return 0;
    }
    return 1;
}
