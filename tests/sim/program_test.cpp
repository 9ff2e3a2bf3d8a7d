// fleetset-sim as a program: flags, the start line, a clean exit on a stop signal, the
// record file, and the firmware files it makes.
#include "devsdk/ovix_client.h"
#include "devsdk/protocol/FirmwareFile.h"
#include "support/ChildProcess.h"
#include "support/Eventually.h"
#include "support/LabSocket.h"
#include "support/TempFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

using support::eventually;

namespace {

// fleetset-sim in a directory of its own.
struct Program {
    explicit Program(const std::vector<std::string>& arguments) : process(FLEETSET_SIM_PATH, arguments, dir.path()) {}
    // Whether its output or errors hold `text`, waiting while it runs.
    bool said(const std::string& text) {
        const auto holds = [&] { return (process.output() + process.errors()).find(text) != std::string::npos; };
        eventually([&] { return holds() || !process.running(); });
        return holds();
    }
    std::optional<int> stop(int signal_number) {
        process.signal(signal_number);
        return process.wait();
    }
    support::TempDir dir{"fleetset-sim-program"};
    support::ChildProcess process;
};

} // namespace

TEST(Program, AnswersUntilAStopSignalThenExitsCleanly) {
    lab::Tool tool(12345, lab::kToolAddress);
    for (int stop_signal : {SIGTERM, SIGINT}) {
        Program sim({"--count", "3", "--reply", "unicast"});
        EXPECT_TRUE(sim.said("3 cameras answering on UDP 13000"));
        tool.request_devices(12345);
        EXPECT_EQ(tool.receive_many(3).size(), 3u);
        EXPECT_EQ(sim.stop(stop_signal), 0);
    }
}

TEST(Program, BadFlagsAndConfigurationsExitWith2AndTheReason) {
    const std::string path = testing::TempDir() + "/bad-fleet.json";
    std::ofstream(path) << R"({"cameras": [{"mac_address": "A", "ip_address": "10.77.1"}]})";
    const struct {
        std::vector<std::string> arguments;
        std::string reason;
    } rows[] = {
        {{"--config", path}, path + ": cameras[0].ip_address: expected a dotted IPv4 address"},
        {{}, "the fleet has no cameras"},
        {{"--reply", "sideways"}, "--reply: sideways not in {broadcast,unicast}"},
        {{"mkfw", "--out", testing::TempDir() + "/never.update", "--version", "2.5"}, "--version: expected major.minor.build"},
    };
    for (const auto& row : rows) {
        Program sim(row.arguments);
        EXPECT_TRUE(sim.said(row.reason)) << row.reason;
        EXPECT_EQ(sim.process.wait(), 2) << row.reason;
    }
}

TEST(Program, MkfwWritesAFirmwareFileTheCamerasAccept) {
    const std::string path = testing::TempDir() + "/fw-2.5.0.update";
    Program mkfw({"mkfw", "--out", path, "--version", "2.5.0", "--board-type", "0x3516", "--size", "64K"});
    EXPECT_TRUE(mkfw.said("firmware 2.5.0 for board 0x3516, image 65536 bytes"));
    EXPECT_EQ(mkfw.process.wait(), 0);
    ovix::FirmwareInfo info;
    ASSERT_EQ(ovix::read_firmware_header(path, info), OVIX_OK);
    EXPECT_EQ(std::tuple(info.version, info.board_type, info.image_length),
              std::tuple(ovix::FirmwareVersion{2, 5, 0}, "0x3516", uint64_t{65536}));
    EXPECT_EQ(std::filesystem::file_size(path), 456u + 65536u);
}

TEST(Program, RecordFileIsWrittenOnRequestAndAtExit) {
    const std::string path = testing::TempDir() + "/record.json";
    std::filesystem::remove(path);
    Program sim({"--count", "1", "--admin-password", "tevoq", "--record-file", path});
    ASSERT_TRUE(sim.said("1 camera answering"));
    ASSERT_EQ(Network_ClientInit(), OVIX_OK);
    int32_t handle = -1;
    ASSERT_EQ(Network_ClientLogin(&handle, "10.77.1.1", 6001, "Admin", "tevoq"), OVIX_OK);
    char command[OVIX_SHELL_COMMAND_SIZE] = "echo UID-7 >/config/tuya.cfg";
    ASSERT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_SHELL, 0, command, sizeof command), OVIX_OK);
    const auto read_record = [&] { return support::file_text(path); };
    sim.process.signal(SIGUSR1);
    ASSERT_TRUE(support::eventually([&] { return read_record().find("UID-7") != std::string::npos; }));
    Network_ClientLogout(handle);
    Network_ClientUnInit();
    EXPECT_EQ(sim.stop(SIGTERM), 0);

    const auto record = nlohmann::json::parse(read_record());
    const auto& camera = record["cameras"][0];
    EXPECT_EQ(std::tuple(camera["mac_address"], camera["cloud_uid"], camera["received"]["logins_accepted"]),
              std::tuple("00:1A:2B:00:00:01", "UID-7", 1));
    EXPECT_EQ(camera["received"]["shell_commands"][0], "echo UID-7 >/config/tuya.cfg");
    EXPECT_EQ(camera["active_logins"], 0) << "the record at exit comes after the logout";
}
