// fleetset-sim as a program: flags, the start line, a clean exit on a stop signal, the
// record file, and the firmware files it makes.
#include "devsdk/ovix_client.h"
#include "devsdk/protocol/FirmwareFile.h"
#include "support/Eventually.h"
#include "support/LabSocket.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <sys/wait.h>

using ::testing::HasSubstr;

namespace {

// Runs fleetset-sim with its standard output and error on one pipe.
struct Program {
    explicit Program(std::vector<std::string> arguments) {
        int out[2];
        if (pipe(out) != 0) throw std::runtime_error("pipe");
        pid = fork();
        if (pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            dup2(out[1], STDERR_FILENO);
            std::vector<char*> argv{const_cast<char*>(FLEETSET_SIM_PATH)};
            for (auto& argument : arguments) argv.push_back(argument.data());
            argv.push_back(nullptr);
            execv(FLEETSET_SIM_PATH, argv.data());
            _exit(127);
        }
        close(out[1]);
        output = out[0];
    }
    ~Program() { close(output); }

    // Output up to the first line break, or all of it once the program has ended.
    std::string line() const {
        std::string text;
        for (char c; read(output, &c, 1) == 1 && c != '\n';) text += c;
        return text;
    }
    // The exit status after the signal, -1 for anything but a normal exit.
    int stop(int signal_number = 0) const {
        if (signal_number) kill(pid, signal_number);
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    pid_t pid;
    int output;
};

} // namespace

TEST(Program, AnswersUntilAStopSignalThenExitsCleanly) {
    lab::Tool tool(12345, lab::kToolAddress);
    for (int stop_signal : {SIGTERM, SIGINT}) {
        Program sim({"--count", "3", "--reply", "unicast"});
        EXPECT_THAT(sim.line(), HasSubstr("3 cameras answering on UDP 13000"));
        tool.request_devices(12345);
        const auto replies = tool.receive_many(3);
        EXPECT_EQ(replies.size(), 3u);
        EXPECT_EQ(sim.stop(stop_signal), 0);
    }
}

TEST(Program, BadConfigurationExitsWithTheReason) {
    const std::string path = testing::TempDir() + "/bad-fleet.json";
    std::ofstream(path) << R"({"cameras": [{"mac_address": "A", "ip_address": "10.77.1"}]})";
    Program bad_file({"--config", path});
    EXPECT_THAT(bad_file.line(), HasSubstr(path + ": cameras[0].ip_address: expected a dotted IPv4 address"));
    EXPECT_EQ(bad_file.stop(), 2);
    Program no_fleet({});
    EXPECT_THAT(no_fleet.line(), HasSubstr("the fleet has no cameras"));
    EXPECT_EQ(no_fleet.stop(), 2);
    Program bad_flag({"--reply", "sideways"});
    EXPECT_THAT(bad_flag.line(), HasSubstr("--reply: sideways not in {broadcast,unicast}"));
    EXPECT_EQ(bad_flag.stop(), 2);
}

TEST(Program, MkfwWritesAFirmwareFileTheCamerasAccept) {
    const std::string path = testing::TempDir() + "/fw-2.5.0.update";
    Program mkfw({"mkfw", "--out", path, "--version", "2.5.0", "--board-type", "0x3516", "--size", "64K"});
    EXPECT_THAT(mkfw.line(), HasSubstr("firmware 2.5.0 for board 0x3516, image 65536 bytes"));
    EXPECT_EQ(mkfw.stop(), 0);
    ovix::FirmwareInfo info;
    ASSERT_EQ(ovix::read_firmware_header(path, info), OVIX_OK);
    EXPECT_EQ(info.version, (ovix::FirmwareVersion{2, 5, 0}));
    EXPECT_EQ(info.board_type, "0x3516");
    EXPECT_EQ(info.image_length, 65536u);
    EXPECT_EQ(std::filesystem::file_size(path), 456u + 65536u);

    Program bad_version({"mkfw", "--out", path, "--version", "2.5"});
    EXPECT_THAT(bad_version.line(), HasSubstr("--version: expected major.minor.build"));
    EXPECT_EQ(bad_version.stop(), 2);
}

TEST(Program, RecordFileIsWrittenOnRequestAndAtExit) {
    const std::string path = testing::TempDir() + "/record.json";
    std::filesystem::remove(path);
    Program sim({"--count", "1", "--admin-password", "tevoq", "--record-file", path});
    ASSERT_THAT(sim.line(), HasSubstr("1 camera answering"));
    ASSERT_EQ(Network_ClientInit(), OVIX_OK);
    int32_t handle = -1;
    ASSERT_EQ(Network_ClientLogin(&handle, "10.77.1.1", 6001, "Admin", "tevoq"), OVIX_OK);
    char command[OVIX_SHELL_COMMAND_SIZE] = "echo UID-7 >/config/tuya.cfg";
    ASSERT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_SHELL, 0, command, sizeof command), OVIX_OK);
    const auto read_record = [&] {
        std::stringstream text;
        text << std::ifstream(path).rdbuf();
        return text.str();
    };
    kill(sim.pid, SIGUSR1);
    ASSERT_TRUE(support::eventually([&] { return read_record().find("UID-7") != std::string::npos; }));
    Network_ClientLogout(handle);
    Network_ClientUnInit();
    EXPECT_EQ(sim.stop(SIGTERM), 0);

    const auto record = nlohmann::json::parse(read_record());
    const auto& camera = record["cameras"][0];
    EXPECT_EQ(camera["mac_address"], "00:1A:2B:00:00:01");
    EXPECT_EQ(camera["cloud_uid"], "UID-7");
    EXPECT_EQ(camera["received"]["logins_accepted"], 1);
    EXPECT_EQ(camera["received"]["shell_commands"][0], "echo UID-7 >/config/tuya.cfg");
    EXPECT_EQ(camera["active_logins"], 0) << "the record at exit comes after the logout";
}
