// fleetset-sim as a program: flags, the start line, a clean exit on a stop signal.
#include "LabTool.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
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
