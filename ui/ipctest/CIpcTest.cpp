#include "ui/ipctest/CIpcTest.h"

#include "discovery/LocalAddresses.h"
#include "foundation/LangTable.h"
#include "foundation/debug_log.h"
#include "ui/ipctest/IpcTestForm.h"
#include "ui/ipctest/IpcTestIds.h"
#include "ui/ipctest/MicPlayer.h"
#include "ui/ipctest/QrCodeView.h"
#include "ui/ipctest/VideoFrameView.h"
#include "ui/shared/ProgramIcon.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTreeWidget>

using namespace ipctest_ids;

namespace {

constexpr const char* kFile = "IpcTest";
// One sweep when the window opens; later sweeps come from the search button and the watch.
constexpr int32_t kStartOnlyInterval = 2147483647;

void open_message_box(QWidget* parent, const QString& text, const QString& caption, QMessageBox::Icon icon) {
    auto* box = new QMessageBox(icon, caption, text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

bool is_ipc_type(int32_t type) { return type == 2 || type == 19 || type >= 200; }

} // namespace

CIpcTest::CIpcTest(QWidget* parent, DiscoveryConfig discovery_config, StationSdk& sdk)
    : QDialog(parent),
      m_sdk(sdk),
      m_inbox([this] { post([this] { drain_discovery_inbox(); }); }),
      m_discovery(std::move(discovery_config)),
      m_message_box(open_message_box),
      m_service(sdk) {
    setWindowIcon(program_icon());
    setWindowTitle(QStringLiteral(" "));
    m_form = std::make_unique<IpcTestForm>(this);
    m_mic = std::make_unique<MicPlayer>();
    connect_controls();
    track_inputs();
    // The timed tests read the handles at each call, not when they were asked for.
    m_service.set_handles([this] { return m_login_handle.load(); }, [this] { return m_live_handle.load(); });
    // Once for the life of the window; it keeps the library ready between openings.
    if (Network_ClientInit() == OVIX_OK) {
        m_sdk_ready = true;
    } else {
        DEBUG_LOCATION(kFile, "CIpcTest::CIpcTest");
        debug_log("Network_ClientInit failed\n");
    }
}

CIpcTest::~CIpcTest() {
    close_test();
    join_session_thread();
    m_form->video->clear_picture();
    if (m_sdk_ready) Network_ClientUnInit();
}

QWidget* CIpcTest::control(int id) const { return m_form->control(id); }

QString CIpcTest::lang(const char* key) const { return QString::fromStdString(get_lang_string(m_lang_ini, key)); }

std::function<std::string(const std::string&)> CIpcTest::text_source() const {
    return [path = m_lang_ini](const std::string& key) { return get_lang_string(path, key); };
}

void CIpcTest::post(std::function<void()> task) {
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

void CIpcTest::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous() && m_closed) OnInitDialog();
}

void CIpcTest::OnInitDialog() {
    m_closed = false;
    // The template's size, then the whole width of the screen and the height of its work
    // area, with every control scaled to match.
    m_form->video->hide();
    resize(m_form->template_size());
    m_orig_size = size();
    if (const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        const QRect work = screen->availableGeometry();
        setGeometry(screen->geometry().left(), screen->geometry().top(), screen->geometry().width(),
                    work.bottom() + 1 - screen->geometry().top());
    }

    if (m_lang_ini.empty()) m_lang_ini = find_lang_ini(program_directory(), user_language_id());
    setWindowTitle(lang("IDS_IPC_TEST"));
    const auto text = [this](const char* key) { return lang(key); };
    m_form->apply_texts(text);
    get_more_ip();
    m_form->set_up_device_list(text);
    // Placed once the texts are in: their widths set the smallest layout.
    m_form->fit_to_window();
    clear_rows(true);

    m_inbox.discard();
    m_discovery.SetDiscoveryCB(&CIpcTest::on_device_found, this);
    m_discovery.StartDiscovery(kStartOnlyInterval);
    {
        const QSignalBlocker quiet_show(control(AutoShowCheck));
        const QSignalBlocker quiet_version(control(VersionCheckBox));
        control_as<QCheckBox>(AutoShowCheck)->setChecked(true);
        control_as<QCheckBox>(VersionCheckBox)->setChecked(true);
    }
    track_inputs();
    if (m_thread[0].IsRunning()) m_thread[0].Stop();
    m_thread[0].Start(this, 1, 0);
    control(VersionEdit)->setEnabled(true);
    control(SearchButton)->setEnabled(false);
    control(DeviceList)->setEnabled(false);
    set_test_controls(false);
    clear_identity();
}

void CIpcTest::get_more_ip() {
    const QSignalBlocker quiet(m_form->netcard_combo);
    m_form->netcard_combo->clear();
    std::vector<std::string> addresses;
    if (query_local_ipv4_addresses(addresses)) {
        int position = 0;
        for (const std::string& address : addresses) {
            DEBUG_LOCATION(kFile, "CIpcTest::get_more_ip");
            debug_log("ip = %s\n", address.c_str());
            m_form->netcard_combo->insertItem(position++, QString::fromStdString(address));
        }
    }
    m_form->netcard_combo->setCurrentIndex(m_form->netcard_combo->count() > 0 ? 0 : -1);
    track_inputs();
}

uint32_t CIpcTest::on_device_found(const DEV_INFO* record, uint32_t is_new, void* context) {
    // Discovery's thread: only a copy crosses to the window.
    if (!context || !record) return 0;
    static_cast<CIpcTest*>(context)->m_inbox.push(*record, is_new != 0);
    return 0;
}

void CIpcTest::drain_discovery_inbox() {
    for (const DiscoveryInbox::Item& item : m_inbox.take()) update_dev_find_list(item.record, item.is_new ? 1 : 0);
}

int CIpcTest::update_dev_find_list(const DEV_INFO& record, int is_new) {
    if (record.device_type <= 0) {
        DEBUG_LOCATION(kFile, "CIpcTest::update_dev_find_list");
        debug_log("unknown device type: %d\n", record.device_type);
    }
    if (m_ipc_only == 1 && !is_ipc_type(record.device_type)) return 0;
    QTreeWidget* list = m_form->devlist;
    const int rows = list->topLevelItemCount();
    const QString mac = QString::fromUtf8(record.mac_address);
    QTreeWidgetItem* row = nullptr;
    if (is_new && static_cast<size_t>(rows) >= m_row_limit) {
        // Anyone on the LAN can make up cameras: a full list gives the row of one that
        // discovery has forgotten to the new one, or leaves the new one out.
        row = forgotten_row();
        if (!row) return 0;
        row->setText(1, mac);
    } else if (is_new) {
        row = new QTreeWidgetItem;
        row->setText(0, QString::asprintf("%02d", rows + 1));
        row->setText(1, mac);
        list->insertTopLevelItem(rows, row);
    } else {
        for (int i = 0; i < rows && !row; ++i)
            if (list->topLevelItem(i)->text(1) == mac) row = list->topLevelItem(i);
    }
    if (!row) return 0;
    row->setText(2, QString::fromUtf8(record.ip_address));
    row->setText(3, QString::fromUtf8(record.software_ver));
    row->setText(4, QString::asprintf("0x%x", static_cast<unsigned>(record.board_type)));
    publish_rows();
    return 0;
}

QTreeWidgetItem* CIpcTest::forgotten_row() {
    QTreeWidget* list = m_form->devlist;
    std::string served;
    {
        std::lock_guard<std::mutex> lock(m_snapshot_mutex);
        served = m_cur_uuid;
    }
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        const std::string mac = item->text(1).toStdString();
        DEV_INFO record;
        int64_t heard_ms = 0;
        if (mac != served && m_discovery.FindDevice(mac.c_str(), record, heard_ms) != RC_OK) return item;
    }
    DEBUG_LOCATION(kFile, "CIpcTest::update_dev_find_list");
    debug_log("device list full (%d rows): a new camera is not listed\n", list->topLevelItemCount());
    return nullptr;
}

void CIpcTest::clear_rows(bool discard_queued) {
    if (discard_queued) m_inbox.discard();
    m_form->devlist->clear();
    publish_rows();
}

void CIpcTest::publish_rows() {
    std::vector<Row> rows;
    QTreeWidget* list = m_form->devlist;
    rows.reserve(static_cast<size_t>(list->topLevelItemCount()));
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        rows.push_back(Row{item->text(1).toStdString(), item->text(2).toStdString(), item->text(3).toStdString()});
    }
    std::lock_guard<std::mutex> lock(m_snapshot_mutex);
    m_rows = std::move(rows);
}

void CIpcTest::search() {
    const std::string address = m_form->netcard_combo->currentText().toStdString();
    clear_rows(true);
    m_discovery.RefreshDiscovery(address.c_str());
}

ConfigInputs CIpcTest::config_inputs() const {
    ConfigInputs c;
    c.light_mode = m_form->light_mode_combo->currentIndex();
    c.lamp = m_form->lamp_combo->currentIndex();
    c.direction = m_form->direction_combo->currentIndex();
    c.mic = static_cast<int>(control_as<QCheckBox>(MicConfigCheck)->checkState() == Qt::Checked);
    c.speaker = static_cast<int>(control_as<QCheckBox>(SpeakerConfigCheck)->checkState() == Qt::Checked);
    return c;
}

void CIpcTest::track_inputs() {
    Inputs inputs;
    inputs.version_check = control_as<QCheckBox>(VersionCheckBox)->isChecked();
    inputs.expected_version = control_as<QLineEdit>(VersionEdit)->text().toStdString();
    inputs.auto_config = control_as<QCheckBox>(AutoConfigCheck)->isChecked();
    inputs.config = config_inputs();
    inputs.netcard = m_form->netcard_combo->currentText().toStdString();
    std::lock_guard<std::mutex> lock(m_snapshot_mutex);
    m_inputs = std::move(inputs);
}

void CIpcTest::set_test_controls(bool enabled) {
    for (int id : kTestControls) control(id)->setEnabled(enabled);
}

void CIpcTest::clear_identity() {
    for (int id : {UidValue, PidValue, TfCardValue}) control_as<QLabel>(id)->clear();
    m_form->qr->clear();
    control(PassButton)->setEnabled(false);
    control(NgButton)->setEnabled(false);
}

void CIpcTest::show_message(const char* text_key, const char* caption_key, QMessageBox::Icon icon) {
    m_message_box(this, lang(text_key), lang(caption_key), icon);
}

void CIpcTest::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // Full screen belongs to the picture; the controls keep their places for the way back.
    if (!m_full_screen) m_form->fit_to_window();
}

void CIpcTest::closeEvent(QCloseEvent* event) {
    close_test();
    QDialog::closeEvent(event);
}

void CIpcTest::done(int result) {
    // Enter and Escape end the window too; they get the same clean-up as closing it.
    close_test();
    QDialog::done(result);
}

void CIpcTest::close_test() {
    if (m_closed) return;
    m_closed = true;
    if (m_full_screen) toggle_full_screen();
    // The watch thread first: it is the one that opens sessions on its own.
    m_discovery.StopDiscovery();
    if (m_thread[0].IsRunning()) m_thread[0].Stop();
    ++m_watch_generation;
    ++m_session_generation;
    join_session_thread();
    {
        // The service first, so that a timed test still switches its lamp or microphone off.
        std::lock_guard<std::mutex> lock(m_session_mutex);
        stop_service_locked();
        close_session_locked();
    }
    m_executing = false;
    m_inbox.discard();
}

void CIpcTest::join_session_thread() {
    if (m_session_thread.joinable()) m_session_thread.join();
}
