// Hostile discovery datagrams against the live programs inside the lab, as anyone on the
// camera LAN could send them: `fleetset-cli discover` on the tool's side and fleetset-sim's
// discovery responder on the cameras' side. After each group the genuine fleet must still be
// listed and answer, nothing may crash or hang, and what the programs keep (device table,
// output, trace files) stays within its bounds.
#include "discovery/DiscoveryConfig.h"
#include "support/ChildProcess.h"
#include "support/DeviceRecord.h"
#include "support/Eventually.h"
#include "support/LabSocket.h"
#include "support/TempFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <arpa/inet.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <set>

using lab::Bytes;
using support::ChildProcess;
using support::eventually;

namespace {

constexpr int kFleet = 20;
constexpr size_t kSenders = 1000;     // source addresses of a flood
constexpr size_t kFloodMacs = 40000;  // made-up MACs, as many as the probe that found the fault sent
const DiscoveryConfig kBounds;        // the programs' own limits

// Another build (an installed package, say) can be put to the same test.
std::string program(const char* variable, const char* built) {
    const char* other = std::getenv(variable);
    return other && *other ? other : built;
}

std::set<std::string> genuine_macs() {
    std::set<std::string> macs;
    for (int n = 1; n <= kFleet; ++n) macs.insert(numbered_mac(n));
    return macs;
}

// A reply as a camera writes it, with the given values put in as raw bytes, nothing escaped.
std::string reply_text(const std::string& mac, const std::string& version = "2.4.1") {
    return "<Message Version=\"1\"><Header><MSG_DEV_INFO_REPLY mac_address=\"" + mac +
           "\" ip_address=\"10.77.100.50\" cmd_port=\"6001\" media_port=\"6002\" http_port=\"80\" phone_port=\"6003\" ipc_type=\"1\" board_type=\"13590\" device_type=\"1\" "
           "subnet_mask=\"255.255.0.0\" gateway=\"10.77.0.254\" software_ver=\"" + version + "\" /></Header></Message>\n";
}

template <class... Fields>
Bytes reply(const Fields&... fields) {
    return lab::datagram(kCmdDevInfoReply, reply_text(fields...));
}

std::string request_text(const std::string& attributes, const char* element = "MSG_REQUEST_DEVICE_INFO") {
    return std::string("<?xml version=\"1.0\" ?>\n<Message Version=\"1\"><Header><") + element + " " + attributes +
           " /></Header></Message>\n";
}

// Header word `index` rewritten, in network order.
Bytes with_word(Bytes datagram, size_t index, uint32_t value) {
    const uint32_t network = htonl(value);
    std::memcpy(datagram.data() + 4 * index, &network, 4);
    return datagram;
}

std::string repeat(const std::string& text, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i) out += text;
    return out;
}

// Everything the header and the XML allow to go wrong, around a message (`command`, `body`)
// that would be valid as it stands: sizes, lengths that lie, commands, and texts that are no
// XML, nested ten thousand deep or too big for any receive buffer.
std::vector<Bytes> broken_datagrams(uint32_t command, const std::string& body) {
    const Bytes valid = lab::datagram(command, body);
    std::vector<Bytes> out = {{}, {0xFF}, Bytes(valid.begin(), valid.begin() + kDiscoveryHeaderSize - 1),
                              lab::datagram(command, ""), with_word(valid, 0, 0x1234FEFF),
                              with_word(valid, 7, 0xFFFFFFFF), with_word(valid, 7, static_cast<uint32_t>(body.size() + 1)),
                              lab::datagram(command, body + std::string(65507 - kDiscoveryHeaderSize - body.size(), ' ')),
                              lab::datagram(command, "<<<>>>&&&\"\"\"<Message"), lab::datagram(command, std::string(1400, '\xff')),
                              lab::datagram(command, repeat("<a>", 10000) + body)};
    for (uint32_t other : {0u, 0x1004u, 0xFFFFFFFFu}) out.push_back(with_word(valid, 2, other));
    return out;
}

// Sockets on source addresses of their own, apart from the fleet (10.77.1.x) and the tool.
class Senders {
public:
    explicit Senders(size_t count) {
        for (size_t n = 0; n < count; ++n)
            m_sockets.push_back(std::make_unique<lab::Socket>(
                "10.77." + std::to_string(100 + n / 200) + "." + std::to_string(50 + n % 200), 0));
    }
    void send(size_t n, const Bytes& bytes, const std::string& to, uint16_t port) const {
        m_sockets[n % m_sockets.size()]->send(bytes, to, port);
    }

private:
    std::vector<std::unique_ptr<lab::Socket>> m_sockets;
};

// The entries the tool traced to recv.txt in `directory`, the rolled-over file included (it
// rolls over at most once in a run here).
size_t traced_entries(const std::string& directory) {
    size_t lines = 0;
    for (const char* name : {"/recv.txt.1", "/recv.txt"}) {
        std::ifstream file(directory + name);
        for (std::string line; std::getline(file, line);) lines += line.rfind("mac = ", 0) == 0;
    }
    return lines;
}

// Nothing a terminal could act on, nor a line break of a device's: the texts sent here are
// ASCII or not text at all, so everything shown must be printable ASCII in lines.
bool printable_lines(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == '\n' || (c >= 0x20 && c < 0x7F); });
}

// One run of `fleetset-cli discover` in a directory of its own: started, its sweep heard and
// the fleet's answers in its table, then ended by Ctrl-C, which lists what it found.
class DiscoverRun {
public:
    DiscoverRun(const std::string& directory, const char* format)
        : m_directory(directory) {
        std::filesystem::create_directories(directory);
        lab::FakeCamera sweep_listener("10.77.99.1");
        m_cli = std::make_unique<ChildProcess>(program("FLEETSET_SMOKE_CLI", FLEETSET_CLI_PATH),
                                               std::vector<std::string>{"discover", "--seconds", "3600", "--format", format},
                                               directory);
        m_heard_sweep = sweep_listener.receive(kCmdRequestDeviceInfo).has_value();
        m_fleet_in = m_heard_sweep && eventually([&] { return entries() >= kFleet; });
    }

    bool ready() const { return m_heard_sweep && m_fleet_in; }
    // Entries added to the table since the start, as the trace file tells.
    size_t entries() const { return traced_entries(m_directory); }
    // Waits until `count` entries are in, calling `again` whenever none came since the last
    // look (a flood can overrun the socket, which then loses datagrams as any would).
    bool await_entries(size_t count, const std::function<void()>& again = {}) {
        size_t seen = entries();
        return eventually([&] {
            const size_t now = entries();
            if (now >= count) return true;
            if (now == seen && again) again();
            seen = now;
            return false;
        });
    }
    // Ctrl-C, then the exit code; the listing is in output().
    std::optional<int> finish() {
        m_cli->signal(SIGINT);
        return m_cli->wait();
    }
    std::string output() const { return m_cli->output(); }
    std::string trace(const char* name) const { return support::file_text(m_directory + "/" + name); }
    std::string path(const char* name) const { return m_directory + "/" + name; }
    long peak_memory_kb() const { return m_cli->peak_memory_kb(); }

private:
    std::string m_directory;
    std::unique_ptr<ChildProcess> m_cli;
    bool m_heard_sweep = false;
    bool m_fleet_in = false;
};

std::set<std::string> listed_macs(const std::string& json) {
    std::set<std::string> macs;
    for (const auto& device : nlohmann::json::parse(json)) macs.insert(device["mac"].get<std::string>());
    return macs;
}

class DiscoverySmoke : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_STREQ(std::getenv("FLEETSET_IN_LAB"), "1") << "run inside scripts/netlab.sh";
        ASSERT_FALSE(work.path().empty());
    }
    void TearDown() override {
        // A stop signal must end the simulator cleanly, whatever it went through.
        if (!m_sim) return;
        EXPECT_TRUE(m_sim->running()) << "the simulator ended by itself: " << m_sim->errors();
        m_sim->signal(SIGTERM);
        EXPECT_EQ(m_sim->wait(), 0) << m_sim->errors();
    }

    void start_fleet(const std::vector<std::string>& extra = {}) {
        if (m_sim) TearDown();
        std::vector<std::string> arguments = {"--count", std::to_string(kFleet)};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        // Files of its own: the first line of an earlier simulator must not pass for its.
        const std::string name = "sim-" + std::to_string(++m_sims);
        m_sim = std::make_unique<ChildProcess>(program("FLEETSET_SMOKE_SIM", FLEETSET_SIM_PATH), arguments,
                                               work.path(), name + ".out", name + ".err");
        ASSERT_TRUE(eventually([&] { return m_sim->output().find(" cameras answering") != std::string::npos || !m_sim->running(); }));
        ASSERT_TRUE(m_sim->running()) << m_sim->errors();
    }

    // The genuine tool's request is answered by every camera; asked again while it is not,
    // since a flood may have used up what the simulator answers for a while.
    bool fleet_answers() {
        const lab::Tool tool;
        const std::set<std::string> fleet = genuine_macs();
        std::set<std::string> heard;
        return eventually([&] {
            tool.request_devices();
            while (const auto d = tool.receive(200))
                if (const auto device = d->device()) heard.insert(device->mac_address);
            return std::includes(heard.begin(), heard.end(), fleet.begin(), fleet.end());
        });
    }

    support::TempDir work{"fleetset-smoke"};
    std::unique_ptr<ChildProcess> m_sim;
    int m_sims = 0;
};

// How each broken datagram decodes is the codec's table and the discovery_reply fuzz
// target's, how each control character is shown the printable-text table's; here that after
// them the tool still lists the whole fleet and neither its table nor its trace is forged.
TEST_F(DiscoverySmoke, HostileRepliesLeaveTheListingWholeAndPrintable) {
    ASSERT_NO_FATAL_FAILURE(start_fleet());
    DiscoverRun run(work.path() + "/texts", "table");
    ASSERT_TRUE(run.ready());
    const Senders sender(1);
    for (const Bytes& d : broken_datagrams(kCmdDevInfoReply, reply_text("BROKEN:HEADER")))
        sender.send(0, d, lab::kToolAddress, lab::kToolPort);
    const std::vector<Bytes> texts = {
        reply("\x1b]0;owned\x07"), reply("AA\nmac = forged, ip = 6.6.6.6"), reply("\r\x1b[2J\x1b[H"),
        reply("\xc2\x9b" "31m\x9b" "2J"), reply(std::string("NUL\0HIDDEN", 10)), reply("RED:VERSION", "\x1b[31mred\n")};
    for (const Bytes& d : texts) sender.send(0, d, lab::kToolAddress, lab::kToolPort);
    ASSERT_TRUE(run.await_entries(kFleet + texts.size()));

    ASSERT_EQ(run.finish(), 0);
    const std::string table = run.output();
    EXPECT_TRUE(printable_lines(table)) << table;
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), static_cast<long>(kFleet + texts.size() + 2)) << table;
    EXPECT_NE(table.find("AA\\x0amac = forged"), std::string::npos) << table;
    for (const std::string& mac : genuine_macs()) EXPECT_NE(table.find(mac), std::string::npos) << mac;

    const std::string recv = run.trace("recv.txt");
    EXPECT_TRUE(printable_lines(recv)) << recv;
    EXPECT_EQ(run.entries(), kFleet + texts.size()) << "one line for each, none forged: " << recv;
    EXPECT_TRUE(fleet_answers());
}

// The probe that found the unbounded table: tens of thousands of made-up MACs from a
// thousand source addresses, once the fleet has answered.
TEST_F(DiscoverySmoke, AFloodOfMadeUpMacsKeepsTheTableAndTraceFilesBounded) {
    ASSERT_NO_FATAL_FAILURE(start_fleet());
    DiscoverRun run(work.path() + "/flood", "json");
    ASSERT_TRUE(run.ready());
    const Senders senders(kSenders);
    const auto flood = [&](size_t from, size_t to) {
        for (size_t n = from; n < to; ++n) {
            char mac[32];
            std::snprintf(mac, sizeof mac, "FA:KE:%02zu:%03zu:%03zu", n / 1000000, n / 1000 % 1000, n % 1000);
            senders.send(n, reply(std::string(mac)), lab::kToolAddress, lab::kToolPort);
        }
    };
    // Until the table is full every new MAC makes a trace line; a batch the socket partly lost
    // is sent again. After that the rest is refused, and leaves no line to wait for.
    constexpr size_t kBatch = 500;
    for (size_t n = 0; n < kFloodMacs; n += kBatch) {
        const size_t end = std::min(n + kBatch, kFloodMacs);
        flood(n, end);
        const size_t expected = std::min(kBounds.device_limit, kFleet + end);
        if (run.entries() < kBounds.device_limit) {
            ASSERT_TRUE(run.await_entries(expected, [&] { flood(n, end); }));
        }
    }
    EXPECT_EQ(run.entries(), kBounds.device_limit);

    ASSERT_EQ(run.finish(), 0);
    const auto macs = listed_macs(run.output());
    EXPECT_EQ(macs.size(), kBounds.device_limit);
    for (const std::string& mac : genuine_macs()) EXPECT_TRUE(macs.count(mac)) << mac;
    // More lines than one file may hold: rotated once, neither past its limit.
    for (const char* name : {"recv.txt", "recv.txt.1"})
        EXPECT_LE(std::filesystem::file_size(run.path(name)), kBounds.trace_file_limit) << name;
    RecordProperty("tool_peak_memory_kb", std::to_string(run.peak_memory_kb()));
    EXPECT_TRUE(fleet_answers());
}

TEST_F(DiscoverySmoke, TheSimulatorGoesOnAnsweringThroughHostileRequests) {
    ASSERT_NO_FATAL_FAILURE(start_fleet());
    ASSERT_TRUE(fleet_answers());
    const long memory_before = m_sim->peak_memory_kb();
    const Senders senders(kSenders);
    const std::string server = "server_ip=\"10.77.0.1\" server_port=\"12000\" connection_type=\"2\"";
    // How each request decodes and which a camera answers is the simulator's request table and
    // the sim_discovery fuzz target's; here a group of them, broadcast and to one camera.
    std::vector<Bytes> hostile = broken_datagrams(kCmdRequestDeviceInfo, request_text(server));
    for (Bytes& d : broken_datagrams(kCmdNetworkInfoRequest, request_text("dev_mac=\"FF:FF:FF:FF:FF:FF\" new_dev_ip=\"300.1.2.3\"",
                                                                           "MSG_NETWORK_INFO_REQUEST")))
        hostile.push_back(std::move(d));
    for (const Bytes& d : hostile) {
        senders.send(0, d, lab::kBroadcast, lab::kDevicePort);
        senders.send(1, d, "10.77.1.1", lab::kDevicePort);
    }
    ASSERT_TRUE(fleet_answers());
    // A flood of genuine-looking requests from a thousand addresses.
    const Bytes request = lab::datagram(kCmdRequestDeviceInfo, request_text(server));
    for (size_t n = 0; n < 2 * kSenders; ++n) senders.send(n, request, n % 2 ? lab::kBroadcast : "10.77.1.2", lab::kDevicePort);
    EXPECT_TRUE(fleet_answers());
    // What the simulator keeps of requests is bounded: a few MB at most, whatever came. (The
    // sanitizers keep freed memory and shadow pages, so only a plain build's figure says so.)
    RecordProperty("sim_memory_growth_kb", std::to_string(m_sim->peak_memory_kb() - memory_before));
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    EXPECT_LT(m_sim->peak_memory_kb() - memory_before, 64 * 1024);
#endif
    EXPECT_LT(m_sim->errors().size(), 64u * 1024) << "the simulator's log grows with what it is sent";
}

} // namespace
