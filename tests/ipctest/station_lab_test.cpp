// The test window against a simulated camera through the real SDK: the watch, the live
// picture and sound, and closing the window while a timed test and the stream run.
#include "sim/FleetGenerator.h"
#include "sim/SimFleet.h"
#include "support/TempFile.h"
#include "support/WindowTest.h"
#include "ui/ipctest/CIpcTest.h"
#include "ui/ipctest/IpcTestForm.h"
#include "ui/ipctest/IpcTestIds.h"
#include "ui/ipctest/MicPlayer.h"
#include "ui/ipctest/VideoFrameView.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace ipctest_ids;
using namespace ui_test;

namespace {

TEST(StationLab, StartShowsTheLivePictureAndClosingMidTestEndsTheTestAndTheStream) {
    Clock::set_speed(10);
    FleetConfig config;
    config.cameras = generate_cameras(1);
    config.cameras[0].device_type = 200;
    config.cameras[0].device.users = {{"Admin", "tevoq"}};
    SimFleet fleet(config);
    ASSERT_TRUE(fleet.start());
    SimCamera& camera = fleet.camera_at(0);

    support::TempDir dir;
    DiscoveryConfig discovery;
    discovery.trace_directory = dir.path();
    auto window = std::make_unique<CIpcTest>(nullptr, discovery);
    window->m_lang_ini = kLangIni;
    window->set_message_box([](QWidget*, const QString& text, const QString&, QMessageBox::Icon) {
        ADD_FAILURE() << text.toStdString();
    });
    window->show();
    // Auto show is on and the window idle: the camera is listed and the watch ends.
    ASSERT_TRUE(wait_for([&] { return window->form().devlist->topLevelItemCount() == 1; }));
    window->control_as<QLineEdit>(VersionEdit)->setText("2.4.1");
    window->control_as<QPushButton>(StartButton)->click();
    ASSERT_TRUE(wait_for([&] { return window->form().video->frames_drawn() >= 3; }));
    EXPECT_EQ(window->form().results->item(4)->text(), t("IDS_LIVE_NORMAL"));

    window->control_as<QPushButton>(MicButton)->click();
    ASSERT_TRUE(wait_for([&] { return window->mic_player().samples_received() > 0; }));
    EXPECT_TRUE(camera.device_state().microphone_open);
    window->close();
    // The timed test was cut short but still closed the microphone, then the stream ended.
    EXPECT_FALSE(camera.device_state().microphone_open);
    const DeviceRecord record = camera.device_record();
    ASSERT_FALSE(record.live.empty());
    EXPECT_EQ(record.live.back().command, -1);
    EXPECT_EQ(window->live_handle(), -1);
    window.reset();
    fleet.stop();
    Clock::set_speed(1);
}

} // namespace
