// The test window against a recording fake SDK: the device list, a session's display, the
// manual controls, full screen and the records. Discovery runs, so the program runs in the lab.
#include "support/DeviceRecord.h"
#include "support/FakeStationSdk.h"
#include "support/TempFile.h"
#include "support/WindowTest.h"
#include "ui/ipctest/CIpcTest.h"
#include "ui/ipctest/IpcTestForm.h"
#include "ui/ipctest/IpcTestIds.h"
#include "ui/ipctest/QrCodeView.h"
#include "ui/ipctest/VideoFrameView.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <QApplication>

#include <chrono>
#include <future>
#include <thread>
#include <tuple>

using namespace ipctest_ids;
using namespace ui_test;

namespace {

struct Message {
    QString text;
    QString caption;
    bool operator==(const Message&) const = default;
};

class StationWindow : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::set_speed(200);
        sdk.camera.cap.speaker = 1;
        DiscoveryConfig config;
        config.trace_directory = dir.path();
        window = std::make_unique<CIpcTest>(nullptr, config, sdk);
        window->m_lang_ini = kLangIni;
        window->set_record_directory(dir.path() + "/test_record");
        window->set_message_box([this](QWidget*, const QString& text, const QString& caption, QMessageBox::Icon) {
            messages.push_back({text, caption});
        });
        window->show();
        settle();
        // Without the watch, rows stay as the test lists them.
        ctl<QCheckBox>(AutoShowCheck)->click();
    }
    void TearDown() override {
        window.reset();
        Clock::set_speed(1);
    }
    template <class T = QWidget>
    T* ctl(int id) { return window->control_as<T>(id); }
    QTreeWidget* list() { return window->form().devlist; }
    QString item(int row, int column) { return list()->topLevelItem(row)->text(column); }
    void add(const std::string& mac, int32_t type, int is_new = 1, const std::string& ip = "10.77.5.1") {
        DEV_INFO record = make_device_record(mac, ip, "1.2.3");
        record.device_type = type;
        window->update_dev_find_list(record, is_new);
    }
    void open_row(int row) {
        ctl<QLineEdit>(VersionEdit)->setText("1.2.3");
        emit list()->itemDoubleClicked(list()->topLevelItem(row), 0);
        ASSERT_TRUE(wait_for([&] { return window->session_idle(); }));
        settle();
    }
    std::vector<std::string> lines() {
        std::vector<std::string> out;
        for (int i = 0; i < window->form().results->count(); ++i)
            out.push_back(window->form().results->item(i)->text().toStdString());
        return out;
    }
    std::string record_text(const std::string& name) { return support::file_text(dir.path() + "/test_record/" + name); }

    support::TempDir dir;
    FakeStationSdk sdk;
    std::unique_ptr<CIpcTest> window;
    std::vector<Message> messages;
};

TEST_F(StationWindow, ListsCamerasOnlyNumberedInOrderOfArrival) {
    for (const int32_t type : {1, 3, 199, 0, -5}) add("00:00:00:00:00:0" + std::to_string(type & 7), type);
    EXPECT_EQ(list()->topLevelItemCount(), 0);
    add("M2", 2);
    add("M19", 19);
    add("M2", 200);  // reported twice as new: two rows
    add("M5000", 5000, 1);
    add("M2", 2, 0, "10.77.9.9");  // an update goes to the first row of that UUID
    ASSERT_EQ(list()->topLevelItemCount(), 4);
    EXPECT_EQ((QStringList{item(0, 0), item(3, 0), item(0, 2), item(2, 2), item(1, 4)}),
              (QStringList{"01", "04", "10.77.9.9", "10.77.5.1", "0x3516"}));
    window->search();
    EXPECT_EQ(list()->topLevelItemCount(), 0);
    add("M2", 2);
    EXPECT_EQ(item(0, 0), "01");
    // Full: the row of a camera discovery does not hold (none here) goes to the new one.
    window->set_row_limit(1);
    add("M9", 19);
    ASSERT_EQ(list()->topLevelItemCount(), 1);
    EXPECT_EQ(item(0, 0) + " " + item(0, 1), "01 M9");
}

TEST_F(StationWindow, SessionShowsIdentityLinesAndEnablesWhatTheCameraHas) {
    add("AA:BB:CC:DD:EE:01", 200);
    open_row(0);
    EXPECT_EQ(lines(), (std::vector<std::string>{"t-version_normal", "t-support_white_light", "t-support_mic",
                                                 "t-support_speaker", "t-live_normal", "t-manual_operation"}));
    EXPECT_EQ(ctl<QLabel>(UidValue)->text() + " " + ctl<QLabel>(PidValue)->text() + " " + ctl<QLabel>(TfCardValue)->text(),
              "UID-0001 PID-7 TF 32G");
    EXPECT_TRUE(window->form().video->isVisible());
    for (int id : {WhiteLightButton, MicButton, SpeakerButton, PtzUpButton, PtzDownButton, IrcutOpenButton,
                   Zoom5xButton})
        EXPECT_TRUE(ctl(id)->isEnabled()) << id;
    EXPECT_FALSE(ctl(InfraredLampButton)->isEnabled());
    EXPECT_TRUE(window->service_running());

    // The microphone button starts its test (a repeat while it runs is the service loop's test).
    ctl<QPushButton>(MicButton)->click();
    ASSERT_TRUE(wait_for([&] { return sdk.calls("live 9 4").size() == 1; }));

    // Stopping execution ends the session and empties the results.
    ctl<QPushButton>(StartButton)->click();  // start
    ctl<QPushButton>(StartButton)->click();  // stop
    EXPECT_EQ(window->login_handle(), -1);
    EXPECT_EQ(sdk.calls("logout 7").size(), 1u);
    EXPECT_EQ(window->form().results->count(), 0);
    EXPECT_FALSE(ctl(MicButton)->isEnabled());
}

TEST_F(StationWindow, PtzEdgesZoomCentreAndFullScreenRoundTrip) {
    // The edges are sent whether or not a camera is logged in.
    window->on_ptz_message(0x0401, PtzLeftButton);
    window->on_ptz_message(0x0402, PtzLeftButton);
    window->on_ptz_message(0x0401, 1234);
    EXPECT_EQ(sdk.calls("ptz"), (std::vector<std::string>{"ptz -1 0 1 2 0", "ptz -1 0 1 8 0"}));
    add("AA:BB:CC:DD:EE:01", 19);
    open_row(0);
    sdk.clear_calls();
    QTest::mousePress(ctl(PtzDownButton), Qt::LeftButton);
    QTest::mouseRelease(ctl(PtzDownButton), Qt::LeftButton);
    EXPECT_EQ(sdk.calls("ptz"), (std::vector<std::string>{"ptz 7 0 1 1 0", "ptz 7 0 1 8 0"}));

    const QSize frame = window->form().video->size();
    ctl<QPushButton>(Zoom5xButton)->click();
    ctl<QPushButton>(ZoomResetButton)->click();
    const std::string centre = std::to_string(frame.width() / 2) + " " + std::to_string(frame.height() / 2);
    EXPECT_EQ(sdk.calls("live 9 11"),
              (std::vector<std::string>{"live 9 11 1000 " + centre, "live 9 11 0 " + centre}));

    const QRect dialog = window->geometry();
    const QRect video = window->form().video->geometry();
    QTest::mouseClick(window->form().video, Qt::LeftButton);
    EXPECT_TRUE(window->full_screen());
    EXPECT_EQ(window->form().video->geometry(), QRect(QPoint(0, 0), window->screen()->geometry().size()));
    EXPECT_FALSE(ctl(StartButton)->isEnabled() || ctl(PtzUpButton)->isEnabled());
    QTest::mouseClick(window->form().video, Qt::LeftButton);
    EXPECT_FALSE(window->full_screen());
    EXPECT_EQ(window->geometry(), dialog);
    EXPECT_EQ(window->form().video->geometry(), video);
    // A white-light camera: no infrared lamp button.
    EXPECT_TRUE(ctl(StartButton)->isEnabled() && ctl(PtzUpButton)->isEnabled() && !ctl(InfraredLampButton)->isEnabled());
}

TEST_F(StationWindow, PassThenNgLeavesOneRecordAndAHostileMacIsRefused) {
    EXPECT_FALSE(ctl(PassButton)->isEnabled()) << "nobody logged in";
    window->write_record(true);
    EXPECT_EQ(messages, (std::vector<Message>{{t("IDS_CAMERA_GONE"), t("IDS_WARNING")}}));
    add("AA:BB:CC:DD:EE:01", 2);
    open_row(0);
    ctl<QPushButton>(PassButton)->click();
    EXPECT_NE(record_text("AA-BB-CC-DD-EE-01.txt").find("\"result\":\"PASS\"\n\r}"), std::string::npos);
    ctl<QPushButton>(NgButton)->click();
    const std::string ng = record_text("AA-BB-CC-DD-EE-01.txt");
    EXPECT_EQ(ng.substr(ng.size() - 16), "\"result\":\"NG\"\n\r}");
    EXPECT_NE(ng.find("\"board_id\":\"0x1a2b\""), std::string::npos);

    set_text(sdk.camera.info.mac, "../../escaped");
    ctl<QPushButton>(PassButton)->click();
    // That a refused name writes nothing is the test record's own test.
    EXPECT_EQ(messages.back().text, t("IDS_MODULE_CREATE_FILE_FAILED"));
}

// An operator scans the QR code on screen onto the box: nothing of one camera may remain
// once another is opened, a session ends, or the camera goes away.
TEST_F(StationWindow, IdentityAndVerdictButtonsBelongToTheOpenSessionOnly) {
    const auto identity_shown = [&] {
        return !ctl<QLabel>(UidValue)->text().isEmpty() || !ctl<QLabel>(PidValue)->text().isEmpty() ||
               !ctl<QLabel>(TfCardValue)->text().isEmpty() || window->form().qr->has_symbol();
    };
    add("AA:BB:CC:DD:EE:02", 200);
    add("AA:BB:CC:DD:EE:03", 200);
    open_row(0);
    EXPECT_EQ(ctl<QLabel>(UidValue)->text(), "UID-0001");
    EXPECT_TRUE(window->form().qr->has_symbol());
    EXPECT_TRUE(ctl(PassButton)->isEnabled() && ctl(NgButton)->isEnabled());

    // Camera 03 fails its version check: the session ends logged in, with none of 02 shown.
    ctl<QLineEdit>(VersionEdit)->setText("9.9.9");
    emit list()->itemDoubleClicked(list()->topLevelItem(1), 0);
    ASSERT_TRUE(wait_for([&] { return window->session_idle(); }));
    settle();
    EXPECT_EQ(lines(), std::vector<std::string>{"t-version_error"});
    EXPECT_FALSE(identity_shown());
    EXPECT_FALSE(window->form().video->isVisible()) << "no picture for a camera that failed its check";
    EXPECT_FALSE(ctl(PassButton)->isEnabled() || ctl(NgButton)->isEnabled());

    // The camera drops a running session: the live line says so, the tests and the verdict go.
    open_row(0);
    ASSERT_TRUE(identity_shown());
    sdk.drop();
    settle();
    EXPECT_EQ(lines(), (std::vector<std::string>{"t-version_normal", "t-support_white_light", "t-support_mic",
                                                 "t-support_speaker", "t-live_eroor", "t-manual_operation"}));
    EXPECT_EQ(messages.back().text, t("IDS_CAMERA_GONE"));
    EXPECT_EQ(window->login_handle(), -1);
    EXPECT_FALSE(identity_shown());
    for (int id : {MicButton, IrcutOpenButton, PassButton, NgButton}) EXPECT_FALSE(ctl(id)->isEnabled()) << id;
    EXPECT_FALSE(window->form().video->isVisible());
}

// Stop while a session is still logging in on its thread: the window ends idle, and the
// session's outcome arriving afterwards shows nothing.
TEST_F(StationWindow, StopDuringASlowLoginLeavesTheIdleState) {
    add("AA:BB:CC:DD:EE:02", 200);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    sdk.on_call = [released](const std::string& line) {
        if (line.rfind("login", 0) == 0) released.wait();
    };
    ctl<QLineEdit>(VersionEdit)->setText("1.2.3");
    emit list()->itemDoubleClicked(list()->topLevelItem(0), 0);
    ASSERT_TRUE(wait_for([&] { return !sdk.calls("login").empty(); }));
    ctl<QPushButton>(StartButton)->click();  // start
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        release.set_value();
    });
    ctl<QPushButton>(StartButton)->click();  // stop, waits for the login to end
    releaser.join();
    ASSERT_TRUE(wait_for([&] { return window->session_idle(); }));
    settle();
    // Start button text, results, picture, handles, identity, QR, busy cursor.
    EXPECT_EQ(std::tuple(ctl<QPushButton>(StartButton)->text(), window->form().results->count(),
                         window->form().video->isVisible(), window->login_handle(), window->live_handle(),
                         ctl<QLabel>(UidValue)->text(), window->form().qr->has_symbol(), QApplication::overrideCursor()),
              std::tuple(t("IDS_START_EXECUTION"), 0, false, -1, -1, QString(), false, nullptr));
    for (int id : kTestControls) EXPECT_FALSE(ctl(id)->isEnabled()) << id;
    EXPECT_FALSE(ctl(PassButton)->isEnabled());
}

TEST_F(StationWindow, ShortVersionIsRefusedAndANetworkErrorOpensNothing) {
    add("AA:BB:CC:DD:EE:01", 2);
    ctl<QLineEdit>(VersionEdit)->setText("1.2");
    emit list()->itemDoubleClicked(list()->topLevelItem(0), 0);
    EXPECT_EQ(messages, (std::vector<Message>{{t("IDS_INSERT_VERSION"), t("IDS_ERROR")}}));
    EXPECT_TRUE(sdk.calls("login").empty());

    sdk.camera.login_result = 17;
    open_row(0);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].text, t("IDS_NETWORK_ERROR"));
    EXPECT_EQ(window->form().results->count(), 0);
    EXPECT_FALSE(window->service_running());
    EXPECT_EQ(ctl<QPushButton>(StartButton)->text(), t("IDS_START_EXECUTION"));
}

} // namespace

namespace {

// The station on an operator's screen, in both languages: no caption cut, PASS and NG always
// reachable, and on a laptop's screen the whole window without scrolling.
TEST(StationLayout, CaptionsShowWholeAndPassAndNgStayReachableAtEverySize) {
    struct Screen {
        QSize size;
        bool whole;  // everything shows without scrolling
    };
    const Screen screens[] = {{{1920, 1080}, true}, {{1366, 768}, true}, {{1024, 700}, false}};
    for (const char* file : {"lumora_en.ini", "lumora_zh_CN.ini"}) {
        FakeStationSdk sdk;
        CIpcTest window(nullptr, DiscoveryConfig{}, sdk);
        window.m_lang_ini = std::string(FLEETSET_SOURCE_DIR "/app/lang/") + file;
        window.show();
        settle();
        for (const Screen& screen : screens) {
            window.resize(screen.size);
            settle();
            const QWidget* canvas = window.form().canvas();
            const QRect viewport = window.form().scroll_area()->viewport()->rect();
            for (const auto& [id, widget] : window.form().controls()) {
                QString text;
                if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) text = button->text();
                if (const auto* label = qobject_cast<const QLabel*>(widget)) text = label->text();
                if (text.isEmpty() || id == UidValue || id == PidValue || id == TfCardValue) continue;
                EXPECT_GE(widget->width(), widget->fontMetrics().horizontalAdvance(text))
                    << file << " " << screen.size.width() << "x" << screen.size.height() << ": \"" << text.toStdString()
                    << "\" is cut";
                EXPECT_TRUE(canvas->rect().contains(widget->geometry())) << id << " lies outside the window";
            }
            for (int id : {PassButton, NgButton}) {
                const QRect place = window.control(id)->geometry();
                EXPECT_TRUE(canvas->rect().contains(place)) << file << " " << id;
                if (screen.whole) {
                    EXPECT_TRUE(viewport.contains(place)) << file << " " << screen.size.width() << " " << id;
                }
            }
        }
    }
}

} // namespace
