#include "SdkTest.h"

#include "devsdk/protocol/FirmwareFile.h"

#include <fstream>

using namespace ovix;

namespace {

class ClientUpgrade : public SdkTest {
protected:
    void make(const TempFile& target, uint64_t image_length, const char* board = FakeDevice::kBoard) {
        ASSERT_EQ(make_firmware_file(target.path(), {board, {1, 2, 3}, image_length, 9, ""}), OVIX_OK);
    }
    // Polls like the batch worker: until 100 or an error.
    int32_t follow(int32_t upgrade, std::vector<int32_t>* seen = nullptr) {
        int32_t result = OVIX_OK;
        EXPECT_TRUE(eventually([&] {
            int32_t percent = -1;
            result = Network_ClientGetUpgradeStatus(upgrade, &percent);
            if (seen && result == OVIX_OK) seen->push_back(percent);
            return result != OVIX_OK || percent == 100;
        }));
        return result;
    }
    TempFile file;
};

} // namespace

TEST_F(ClientUpgrade, RefusalsComeBackBeforeAnyImageByteMoves) {
    int32_t handle = login();
    make(file, 100000);
    int32_t upgrade = 8;

    // The camera's own refusals (version, board) are the simulator's rows; these the client
    // finds in the file, or the device refuses the header it was sent.
    TempFile damaged;
    {
        std::ofstream out(damaged.path(), std::ios::binary);
        out << std::string(600, 'x');
    }
    EXPECT_EQ(Network_ClientStartUpgrade(&upgrade, handle, damaged.path().c_str()), OVIX_ERR_UPGRADE_INVALID);
    TempFile tiny;
    {
        std::ofstream out(tiny.path(), std::ios::binary);
        out << "short";
    }
    EXPECT_EQ(Network_ClientStartUpgrade(&upgrade, handle, tiny.path().c_str()), OVIX_ERR_UPGRADE_INVALID);
    EXPECT_EQ(Network_ClientStartUpgrade(&upgrade, handle, "/nonexistent/fw.update"), OVIX_ERR_FILE);
    EXPECT_EQ(upgrade, -1);

    EXPECT_EQ(device.upgrade_bytes(), 0u);
    // Refused starts leave the login free for the next upgrade.
    ASSERT_EQ(Network_ClientStartUpgrade(&upgrade, handle, file.path().c_str()), OVIX_OK);
    EXPECT_EQ(follow(upgrade), OVIX_OK);
    Network_ClientStopUpgrade(upgrade);
}

TEST_F(ClientUpgrade, TransferRunsInTheBackgroundUpTo100) {
    int32_t handle = login();
    make(file, 3 * 1024 * 1024 + 17);
    int32_t upgrade = -1;
    ASSERT_EQ(Network_ClientStartUpgrade(&upgrade, handle, file.path().c_str()), OVIX_OK);
    ASSERT_GE(upgrade, 0);
    std::vector<int32_t> seen;
    ASSERT_EQ(follow(upgrade, &seen), OVIX_OK);
    EXPECT_EQ(seen.back(), 100);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(device.upgrade_bytes(), 3u * 1024 * 1024 + 17);

    // A second upgrade on the same login waits for the first to be stopped.
    int32_t second = -1;
    EXPECT_EQ(Network_ClientStartUpgrade(&second, handle, file.path().c_str()), OVIX_ERR_BUSY);
    EXPECT_EQ(Network_ClientStopUpgrade(upgrade), OVIX_OK);
    EXPECT_EQ(Network_ClientStopUpgrade(upgrade), OVIX_ERR_BAD_HANDLE);
    EXPECT_TRUE(device.received(Kind::UpgradeAbort).empty());  // it was complete: nothing to abort
}

TEST_F(ClientUpgrade, ImageThatFailsTheDevicesCheckEndsWithItsCode) {
    int32_t handle = login();
    make(file, 50000);
    {
        std::fstream io(file.path(), std::ios::binary | std::ios::in | std::ios::out);
        io.seekp(kFirmwareHeaderSize + 1000);
        io.put('\x55');
    }
    int32_t upgrade = -1;
    ASSERT_EQ(Network_ClientStartUpgrade(&upgrade, handle, file.path().c_str()), OVIX_OK);
    EXPECT_EQ(follow(upgrade), OVIX_ERR_UPGRADE_INVALID);
    Network_ClientStopUpgrade(upgrade);
}

TEST_F(ClientUpgrade, DropAfterACompleteTransferKeeps100) {
    int32_t handle = login();
    make(file, 2 * 1024 * 1024);
    int32_t upgrade = -1;
    ASSERT_EQ(Network_ClientStartUpgrade(&upgrade, handle, file.path().c_str()), OVIX_OK);
    ASSERT_EQ(follow(upgrade), OVIX_OK);
    device.close_all();  // the reboot after a complete transfer
    int32_t percent = 0;
    EXPECT_TRUE(eventually([&] { return Network_ClientDeviceControl(handle, 100, 0, 1, 1) == OVIX_ERR_DISCONNECTED; }));
    EXPECT_EQ(Network_ClientGetUpgradeStatus(upgrade, &percent), OVIX_OK);
    EXPECT_EQ(percent, 100);
    Network_ClientStopUpgrade(upgrade);
}

TEST_F(ClientUpgrade, StoppedTransferTellsTheDevice) {
    int32_t handle = login();
    make(file, 4 * 1024 * 1024);
    // A device that stops reporting progress after the start: the transfer cannot complete.
    device.on(Kind::UpgradeData, [](FakeDevice::Peer&, const Frame&) {});
    int32_t upgrade = -1;
    ASSERT_EQ(Network_ClientStartUpgrade(&upgrade, handle, file.path().c_str()), OVIX_OK);
    int32_t percent = -1;
    EXPECT_EQ(Network_ClientGetUpgradeStatus(upgrade, &percent), OVIX_OK);
    EXPECT_LT(percent, 100);
    EXPECT_EQ(Network_ClientStopUpgrade(upgrade), OVIX_OK);
    EXPECT_TRUE(eventually([&] { return device.received(Kind::UpgradeAbort).size() == 1; }));
}
