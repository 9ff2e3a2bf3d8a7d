// The test window's manual tests: IR-cut, speaker, microphone and lamps (the timed ones run
// on the service thread), pan/tilt, zoom, full screen, the configuration button, and the
// PASS/NG record.
#include "ui/ipctest/CIpcTest.h"

#include "foundation/debug_log.h"
#include "ui/ipctest/CPTZButton.h"
#include "station/CapabilityView.h"
#include "ui/ipctest/IpcTestForm.h"
#include "ui/ipctest/IpcTestIds.h"
#include "station/PtzCommand.h"
#include "station/TestRecord.h"
#include "ui/ipctest/VideoFrameView.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

using namespace ipctest_ids;

namespace {
constexpr const char* kFile = "ManualTests";
constexpr int32_t kVoiceTest = 1;
} // namespace

void CIpcTest::on_ircut(int open) {
    const int32_t login = m_login_handle.load();
    if (login != -1) m_sdk.ircut_control(login, open);
}

void CIpcTest::on_speaker() {
    if (m_live_handle.load() != -1) m_sdk.play_voice_test(m_login_handle.load(), kVoiceTest);
}

void CIpcTest::on_mic() {
    if (m_live_handle.load() != -1) m_service.request_mic();
}

void CIpcTest::on_white_light() {
    if (m_login_handle.load() != -1) m_service.request_white();
}

void CIpcTest::on_infrared_lamp() {
    if (m_login_handle.load() != -1) m_service.request_ir();
}

void CIpcTest::on_zoom(int32_t zoom) {
    const int32_t live = m_live_handle.load();
    if (live == -1) return;
    ovix_zoom record = zoom_record(zoom, m_form->video->width(), m_form->video->height());
    m_sdk.live_control(live, OVIX_LIVE_ZOOM, &record);
}

void CIpcTest::on_ptz_message(int message, int control_id) {
    // Neither edge looks at whether a camera is logged in: a release must always stop it.
    std::optional<int32_t> direction;
    if (message == CPTZButton::kPressed) direction = ptz_press_direction(control_id);
    else if (message == CPTZButton::kReleased) direction = OVIX_PTZ_STOP;
    if (!direction) return;
    const ovix_ptz record = ptz_record(*direction);
    m_sdk.ptz_control(m_login_handle.load(), 0, record);
}

void CIpcTest::on_config() {
    int32_t result = OVIX_OK;
    const int32_t login = m_login_handle.load();
    for (const LdrPair& pair : config_button_pairs(config_inputs())) result = m_sdk.ldr_control(login, pair.first, pair.second);
    if (result != OVIX_OK) show_message("IDS_SETTING_FAILED", "IDS_HINT", QMessageBox::Warning);
    else show_message("IDS_SETTING_SUCCESS_REBOOT", "IDS_HINT", QMessageBox::Information);
}

void CIpcTest::toggle_full_screen() {
    static constexpr int kFullScreenDisabled[] = {
        StartButton, AutoShowCheck, VersionCheckBox, VersionEdit, DeviceList, IrcutOpenButton, IrcutCloseButton,
        SpeakerButton, MicButton, WhiteLightButton, InfraredLampButton, SearchButton, Zoom1xButton, Zoom5xButton,
        ZoomResetButton, MicConfigCheck, SpeakerConfigCheck, ConfigButton, PtzUpButton, PtzLeftButton,
        PtzRightButton, PtzDownButton,
    };
    VideoFrameView* video = m_form->video;
    if (!m_full_screen) {
        m_full_screen = 1;
        for (int id : kFullScreenDisabled) control(id)->setEnabled(false);
        const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        const QRect whole = screen ? screen->geometry() : QRect(0, 0, width(), height());
        m_dlg_placement = geometry();
        m_video_placement = video->geometry();
        // The client area covers the screen exactly; the frame lies outside it.
        m_full_screen_rect = whole;
        setGeometry(m_full_screen_rect);
        // Out of the scroll area for the while: the picture covers the whole client area.
        const bool shown = video->isVisible();
        video->setParent(this);
        video->setGeometry(0, 0, whole.width(), whole.height());
        video->setVisible(shown);
        video->raise();
        return;
    }
    const bool shown = video->isVisible();
    video->setParent(m_form->canvas());
    video->setGeometry(m_video_placement);
    video->setVisible(shown);
    setGeometry(m_dlg_placement);
    m_full_screen = 0;

    ovix_capability capability{};
    m_sdk.get_capability(m_login_handle.load(), capability);
    control(StartButton)->setEnabled(true);
    if (control_as<QPushButton>(StartButton)->text() == lang("IDS_START_EXECUTION"))
        for (int id : {AutoShowCheck, DeviceList, VersionCheckBox, VersionEdit}) control(id)->setEnabled(true);
    for (int id : {IrcutOpenButton, IrcutCloseButton, SpeakerButton}) control(id)->setEnabled(true);
    if (capability.microphone == 1) control(MicButton)->setEnabled(true);
    const LampButtons lamps = lamp_buttons(capability.lamp_type);
    if (lamps.white) control(WhiteLightButton)->setEnabled(true);
    if (lamps.infrared) control(InfraredLampButton)->setEnabled(true);
    for (int id : {SearchButton, Zoom1xButton, Zoom5xButton, ZoomResetButton, MicConfigCheck, SpeakerConfigCheck,
                   ConfigButton, PtzUpButton, PtzLeftButton, PtzRightButton, PtzDownButton})
        control(id)->setEnabled(true);
}

void CIpcTest::write_record(bool pass) {
    // Read afresh at every press: the record carries what the camera says of itself now.
    ovix_device_info info{};
    const int32_t read =
        m_sdk.get_device_config(m_login_handle.load(), OVIX_CMD_DEVICE_INFO, &info, static_cast<int32_t>(sizeof info));
    if (read != OVIX_OK) {
        // A camera that has gone cannot be judged: say so rather than that a read failed.
        const bool gone = read == OVIX_ERR_DISCONNECTED || read == OVIX_ERR_BAD_HANDLE;
        show_message(gone ? "IDS_CAMERA_GONE" : "IDS_MODULE_GET_PARAM_FAILED", "IDS_WARNING", QMessageBox::Warning);
        DEBUG_LOCATION(kFile, pass ? "CIpcTest::OnBnClickedButtonWriteTestRecord" : "CIpcTest::OnBnClickedButtonWriteTestNg");
        return;
    }
    const TestRecordResult result = write_test_record(m_record_directory, info, pass);
    DEBUG_LOCATION(kFile, pass ? "CIpcTest::OnBnClickedButtonWriteTestRecord" : "CIpcTest::OnBnClickedButtonWriteTestNg");
    if (result != TestRecordResult::Written) {
        debug_log("no record written for %.64s\n", info.mac);
        show_message("IDS_MODULE_CREATE_FILE_FAILED", "IDS_WARNING", QMessageBox::Warning);
        return;
    }
    debug_log("%s record written for %.64s\n", pass ? "PASS" : "NG", info.mac);
    // The operator sees at a glance which camera was judged and how.
    setWindowTitle(QStringLiteral("%1 - %2 %3")
                       .arg(lang("IDS_IPC_TEST"), pass ? QStringLiteral("PASS") : QStringLiteral("NG"),
                            QString::fromStdString(*test_record_file_name(std::string(info.mac, strnlen(info.mac, sizeof info.mac))))));
}
