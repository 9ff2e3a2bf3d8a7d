// Firmware transfer through the device SDK, measured against a plain TCP copy of the same file
// over loopback, and 100 upgrades at once with the client's peak memory. Everything runs on
// 127.0.0.1, so no network lab is needed:
//     build/default/bench/sdk_upgrade_bench [--short]
//
// --short moves a 32 MiB file twice each way and runs the 100 upgrades once, for CI.
// The devices and the plain receiver live in a forked child process: their CPU is theirs, and
// this process's VmHWM is the client's alone. The devices count bytes and skip the image
// digest, so that the device side does not set the pace. Completion is stamped by the child
// when the last byte arrives (CLOCK_MONOTONIC is shared by both processes): the client polls
// its status every 200 ms as the batch tool does, and that granularity would otherwise
// dominate a transfer that takes a fraction of a second. The polled figures are reported too.
#include "devsdk/ovix_client.h"
#include "devsdk/protocol/FirmwareFile.h"
#include "devsdk/protocol/Timing.h"
#include "BenchMain.h"
#include "support/FakeDevice.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <new>
#include <string>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace ovix;

namespace {

constexpr uint64_t kBigImage = 256ull << 20;
constexpr uint64_t kShortBigImage = 32ull << 20;
constexpr uint64_t kSmallImage = 16ull << 20;
constexpr int kParallelUpgrades = 100;
// What the batch tool waits between two status queries.
constexpr auto kPollInterval = std::chrono::milliseconds(200);
// Only keeps a broken build from hanging the run.
constexpr int64_t kGiveUpNs = 60'000'000'000;

int64_t now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Written by the child, read by the parent: lives in a shared anonymous mapping.
struct SinkStats {
    std::atomic<uint32_t> upgrades_done{0};
    std::atomic<int64_t> last_upgrade_done_ns{0};
    std::atomic<uint64_t> plain_expected{0};
    std::atomic<int64_t> plain_done_ns{0};
};
static_assert(std::atomic<int64_t>::is_always_lock_free && std::atomic<uint64_t>::is_always_lock_free,
              "the counters are shared between processes");

struct Environment {
    SinkStats* stats = nullptr;
    pid_t child = -1;
    uint16_t device_port = 0;
    uint16_t plain_port = 0;
    std::filesystem::path dir;
    std::string big_file;
    std::string small_file;
};
Environment g_env;

void store_max(std::atomic<int64_t>& target, int64_t value) {
    int64_t seen = target.load();
    while (seen < value && !target.compare_exchange_weak(seen, value)) {
    }
}

int32_t percent_of(uint64_t received, uint64_t expected) {
    return static_cast<int32_t>((kFirmwareHeaderSize + received) * 100 / (kFirmwareHeaderSize + expected));
}

// ---- The child: devices and the plain receiver ----------------------------------------------

// Upgrades are checked as a device would check them, then only counted. Progress goes out when
// the percent changes, the least the protocol asks for.
void accept_upgrades(FakeDevice& device, SinkStats* stats) {
    device.on(Kind::UpgradeStart, [](FakeDevice::Peer& peer, const Frame& frame) {
        UpgradeStart start;
        FirmwareInfo info;
        int32_t result = decode(frame.payload, start) ? check_upgrade_start(start, FakeDevice::kBoard, info)
                                                      : OVIX_ERR_BAD_REQUEST;
        if (result == OVIX_OK) {
            peer.upgrading = true;
            peer.expected = info.image_length;
            peer.received = 0;
        }
        peer.answer(frame, result);
    });
    device.on(Kind::UpgradeData, [stats](FakeDevice::Peer& peer, const Frame& frame) {
        if (!peer.upgrading) return;
        const int32_t before = percent_of(peer.received, peer.expected);
        peer.received += frame.payload.size();
        UpgradeProgress progress{kFirmwareHeaderSize + peer.received, kFirmwareHeaderSize + peer.expected,
                                 kUpgradeReceiving};
        if (peer.received >= peer.expected) {
            store_max(stats->last_upgrade_done_ns, now_ns());
            stats->upgrades_done.fetch_add(1);
            peer.upgrading = false;
            progress.state = peer.received == peer.expected ? kUpgradeComplete : OVIX_ERR_UPGRADE_INVALID;
        } else if (percent_of(peer.received, peer.expected) == before) {
            return;
        }
        peer.push(Kind::UpgradeProgress, encode(progress));
    });
}

int listen_plain(uint16_t& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), len) != 0 || ::listen(fd, 8) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &len) != 0)
        return -1;
    port = ntohs(address.sin_port);
    return fd;
}

// One connection at a time: read and count until the sender closes.
void receive_plain(int listen_fd, SinkStats* stats) {
    std::vector<uint8_t> buffer(kUpgradeChunkBytes);
    for (;;) {
        int fd = ::accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0 && (errno == EINTR || errno == ECONNABORTED)) continue;
        if (fd < 0) return;
        uint64_t received = 0;
        const uint64_t expected = stats->plain_expected.load();
        for (;;) {
            ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (n <= 0) break;
            received += static_cast<uint64_t>(n);
            if (received == expected) stats->plain_done_ns = now_ns();
        }
        ::close(fd);
    }
}

[[noreturn]] void run_sinks(SinkStats* stats, int report_fd, pid_t parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(0);
    FakeDevice device;
    accept_upgrades(device, stats);
    uint16_t ports[2] = {device.port(), 0};
    int plain_fd = listen_plain(ports[1]);
    if (plain_fd < 0) ports[1] = 0;
    if (::write(report_fd, ports, sizeof ports) != static_cast<ssize_t>(sizeof ports)) ::_exit(1);
    ::close(report_fd);
    if (plain_fd >= 0) std::thread(receive_plain, plain_fd, stats).detach();
    for (;;) ::pause();
}

bool start_sinks() {
    void* shared = ::mmap(nullptr, sizeof(SinkStats), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) return false;
    g_env.stats = new (shared) SinkStats;
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return false;
    const pid_t parent = ::getpid();
    g_env.child = ::fork();
    if (g_env.child < 0) return false;
    if (g_env.child == 0) {
        ::close(report[0]);
        run_sinks(g_env.stats, report[1], parent);
    }
    ::close(report[1]);
    uint16_t ports[2] = {0, 0};
    bool ok = ::read(report[0], ports, sizeof ports) == static_cast<ssize_t>(sizeof ports) && ports[0] && ports[1];
    ::close(report[0]);
    g_env.device_port = ports[0];
    g_env.plain_port = ports[1];
    return ok;
}

void stop_sinks() {
    if (g_env.child <= 0) return;
    ::kill(g_env.child, SIGKILL);
    ::waitpid(g_env.child, nullptr, 0);
    g_env.child = -1;
}

// ---- The parent: the client side ------------------------------------------------------------

uint64_t file_size(const std::string& path) {
    return static_cast<uint64_t>(std::filesystem::file_size(path));
}

// CPU time of a whole process, its finished threads included.
int64_t cpu_ns(pid_t pid) {
    clockid_t clock;
    timespec t{};
    if (::clock_getcpuclockid(pid, &clock) != 0 || ::clock_gettime(clock, &t) != 0) return 0;
    return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// CPU seconds that each side spent on one transfer.
struct CpuUse {
    double sender = 0;
    double receiver = 0;
};

class CpuMeter {
public:
    CpuMeter() : m_self(cpu_ns(::getpid())), m_child(cpu_ns(g_env.child)) {}
    void add_to(CpuUse& use) const {
        use.sender += static_cast<double>(cpu_ns(::getpid()) - m_self) / 1e9;
        use.receiver += static_cast<double>(cpu_ns(g_env.child) - m_child) / 1e9;
    }

private:
    int64_t m_self;
    int64_t m_child;
};

// kB from /proc/self/status, e.g. "VmHWM".
int64_t status_kb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t len = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, len, field) == 0 && line.size() > len && line[len] == ':')
            return std::strtoll(line.c_str() + len + 1, nullptr, 10);
    return -1;
}

// Sets VmHWM back to the current resident size, so that a peak belongs to what follows.
bool reset_peak_memory() {
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    out.flush();
    return static_cast<bool>(out);
}

bool wait_for(const std::function<bool()>& done) {
    const int64_t deadline = now_ns() + kGiveUpNs;
    while (!done()) {
        if (now_ns() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The file read in upgrade-sized chunks and written to a socket. Seconds from the first read
// to the receiver holding every byte; negative on failure.
double plain_copy(const std::string& path) {
    SinkStats& stats = *g_env.stats;
    const uint64_t size = file_size(path);
    stats.plain_done_ns = 0;
    stats.plain_expected = size;

    int sock = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(g_env.plain_port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int one = 1;
    ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);  // as the SDK's sockets
    int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (sock < 0 || file < 0 || ::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (sock >= 0) ::close(sock);
        if (file >= 0) ::close(file);
        return -1;
    }

    std::vector<uint8_t> chunk(kUpgradeChunkBytes);
    const int64_t start = now_ns();
    bool ok = true;
    for (;;) {
        ssize_t got = ::read(file, chunk.data(), chunk.size());
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        for (ssize_t sent = 0; ok && sent < got;) {
            ssize_t n = ::send(sock, chunk.data() + sent, static_cast<size_t>(got - sent), MSG_NOSIGNAL);
            if (n > 0)
                sent += n;
            else if (n < 0 && errno != EINTR)
                ok = false;
        }
        if (!ok) break;
    }
    ok = ok && wait_for([&] { return stats.plain_done_ns.load() != 0; });
    ::close(file);
    ::close(sock);
    return ok ? static_cast<double>(stats.plain_done_ns.load() - start) / 1e9 : -1;
}

int32_t login_to_device(int32_t& handle) {
    return Network_ClientLogin(&handle, "127.0.0.1", g_env.device_port, "Admin", "tevoq");
}

struct Transfer {
    double device_s = 0;  // start to the devices holding every byte
    double polled_s = 0;  // start to the client's status saying 100 everywhere
    std::string error;
};

// Starts one upgrade per login and polls them all like the batch tool until each says 100.
Transfer upgrade_all(const std::vector<int32_t>& logins, const std::string& path) {
    Transfer out;
    SinkStats& stats = *g_env.stats;
    stats.upgrades_done = 0;
    stats.last_upgrade_done_ns = 0;

    std::vector<int32_t> upgrades(logins.size(), -1);
    const int64_t start = now_ns();
    for (size_t i = 0; i < logins.size() && out.error.empty(); ++i) {
        int32_t result = Network_ClientStartUpgrade(&upgrades[i], logins[i], path.c_str());
        if (result != OVIX_OK) out.error = "StartUpgrade returned " + std::to_string(result);
    }
    size_t complete = 0;
    std::vector<bool> done(logins.size(), false);
    while (out.error.empty() && complete < logins.size()) {
        std::this_thread::sleep_for(kPollInterval);
        for (size_t i = 0; i < upgrades.size() && out.error.empty(); ++i) {
            if (done[i]) continue;
            int32_t percent = -1;
            int32_t result = Network_ClientGetUpgradeStatus(upgrades[i], &percent);
            if (result != OVIX_OK)
                out.error = "GetUpgradeStatus returned " + std::to_string(result);
            else if (percent == 100) {
                done[i] = true;
                ++complete;
            }
        }
        if (now_ns() - start > kGiveUpNs) out.error = "the upgrades did not complete";
    }
    out.polled_s = static_cast<double>(now_ns() - start) / 1e9;
    if (out.error.empty() && !wait_for([&] { return stats.upgrades_done.load() >= logins.size(); }))
        out.error = "the devices did not report every byte";
    out.device_s = static_cast<double>(stats.last_upgrade_done_ns.load() - start) / 1e9;
    for (int32_t upgrade : upgrades)
        if (upgrade >= 0) Network_ClientStopUpgrade(upgrade);
    return out;
}

// Each iteration moves the file once each way, alternating which goes first.
void BM_UpgradeVersusPlainCopy(benchmark::State& state) {
    const std::string& path = g_env.big_file;
    const double bytes = static_cast<double>(file_size(path));
    double sdk_total = 0, polled_total = 0, plain_total = 0;
    CpuUse sdk_cpu, plain_cpu;
    std::vector<double> ratios;  // paired per iteration, less swayed by other load on the machine
    int64_t iteration = 0;
    for (auto _ : state) {
        const bool plain_first = iteration++ % 2 == 0;
        double plain = 0;
        auto copy_plain = [&] {
            CpuMeter meter;
            plain = plain_copy(path);
            meter.add_to(plain_cpu);
        };
        if (plain_first) copy_plain();

        int32_t login = -1;
        int32_t result = login_to_device(login);
        if (result != OVIX_OK) {
            bench::fail(state, "login returned " + std::to_string(result));
            break;
        }
        CpuMeter meter;
        Transfer transfer = upgrade_all({login}, path);
        meter.add_to(sdk_cpu);
        Network_ClientLogout(login);
        if (!transfer.error.empty()) {
            bench::fail(state, transfer.error);
            break;
        }

        if (!plain_first) copy_plain();
        if (plain <= 0) {
            bench::fail(state, "the plain copy failed");
            break;
        }
        state.SetIterationTime(transfer.device_s);
        sdk_total += transfer.device_s;
        polled_total += transfer.polled_s;
        plain_total += plain;
        ratios.push_back(plain / transfer.device_s);
    }
    if (sdk_total <= 0 || plain_total <= 0) return;
    const double n = static_cast<double>(state.iterations());
    const double gib = n * bytes / (1 << 30);
    state.counters["file_MB"] = bytes / (1 << 20);
    state.counters["sdk_MB/s"] = n * bytes / sdk_total / (1 << 20);
    state.counters["plain_MB/s"] = n * bytes / plain_total / (1 << 20);
    state.counters["ratio"] = plain_total / sdk_total;
    std::sort(ratios.begin(), ratios.end());
    state.counters["ratio_median"] = ratios.size() % 2 ? ratios[ratios.size() / 2]
                                                       : (ratios[ratios.size() / 2 - 1] + ratios[ratios.size() / 2]) / 2;
    state.counters["sdk_polled_MB/s"] = n * bytes / polled_total / (1 << 20);
    // CPU seconds per GiB moved, on each side.
    state.counters["cpu_sdk_client"] = sdk_cpu.sender / gib;
    state.counters["cpu_sdk_device"] = sdk_cpu.receiver / gib;
    state.counters["cpu_plain_sender"] = plain_cpu.sender / gib;
    state.counters["cpu_plain_sink"] = plain_cpu.receiver / gib;
}

// 100 logins to the device, one upgrade on each at once. Memory is the client's: the devices
// run in the child process.
void BM_HundredUpgradesAtOnce(benchmark::State& state) {
    const std::string& path = g_env.small_file;
    const double bytes = static_cast<double>(file_size(path)) * kParallelUpgrades;
    double device_total = 0, polled_total = 0;
    int64_t baseline_kb = 0, peak_kb = 0, peak_delta_kb = 0;
    for (auto _ : state) {
        if (!reset_peak_memory()) {
            bench::fail(state, "cannot reset VmHWM through /proc/self/clear_refs");
            break;
        }
        const int64_t before_kb = status_kb("VmHWM");

        std::vector<int32_t> logins;
        std::string error;
        for (int i = 0; i < kParallelUpgrades && error.empty(); ++i) {
            int32_t login = -1;
            int32_t result = login_to_device(login);
            if (result == OVIX_OK)
                logins.push_back(login);
            else
                error = "login returned " + std::to_string(result);
        }
        Transfer transfer;
        if (error.empty()) transfer = upgrade_all(logins, path);
        for (int32_t login : logins) Network_ClientLogout(login);
        if (error.empty()) error = transfer.error;
        if (!error.empty()) {
            bench::fail(state, error);
            break;
        }

        const int64_t after_kb = status_kb("VmHWM");
        baseline_kb = std::max(baseline_kb, before_kb);
        peak_kb = std::max(peak_kb, after_kb);
        peak_delta_kb = std::max(peak_delta_kb, after_kb - before_kb);
        state.SetIterationTime(transfer.device_s);
        device_total += transfer.device_s;
        polled_total += transfer.polled_s;
    }
    if (device_total <= 0) return;
    const double n = static_cast<double>(state.iterations());
    state.counters["upgrades"] = kParallelUpgrades;
    state.counters["aggregate_MB/s"] = n * bytes / device_total / (1 << 20);
    state.counters["polled_MB/s"] = n * bytes / polled_total / (1 << 20);
    state.counters["VmHWM_before_MB"] = static_cast<double>(baseline_kb) / 1024;
    state.counters["VmHWM_peak_MB"] = static_cast<double>(peak_kb) / 1024;
    state.counters["VmHWM_delta_MB"] = static_cast<double>(peak_delta_kb) / 1024;
}

} // namespace

int main(int argc, char** argv) {
    // Before any thread exists in this process, so that the child starts clean.
    if (!start_sinks()) {
        stop_sinks();
        return bench::give_up("sdk_upgrade_bench", "cannot start the devices on 127.0.0.1");
    }
    const bool short_run = bench::take_flag(argc, argv, "--short");
    benchmark::RegisterBenchmark("BM_UpgradeVersusPlainCopy", BM_UpgradeVersusPlainCopy)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(short_run ? 2 : 10);
    benchmark::RegisterBenchmark("BM_HundredUpgradesAtOnce", BM_HundredUpgradesAtOnce)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(short_run ? 1 : 5);

    std::error_code ec;
    std::string dir_template = (std::filesystem::temp_directory_path(ec) / "sdk_upgrade_bench.XXXXXX").string();
    const char* dir = ::mkdtemp(dir_template.data());
    int status = 1;
    if (!dir) {
        bench::give_up("sdk_upgrade_bench", "cannot make a directory in %s", dir_template.c_str());
    } else {
        g_env.dir = dir;
        g_env.big_file = (g_env.dir / "big.update").string();
        g_env.small_file = (g_env.dir / "small.update").string();
        const uint64_t big = short_run ? kShortBigImage : kBigImage;
        bool files = make_firmware_file(g_env.big_file, {FakeDevice::kBoard, {2, 0, 1}, big, 7, "bench"}) == OVIX_OK &&
                     make_firmware_file(g_env.small_file, {FakeDevice::kBoard, {2, 0, 1}, kSmallImage, 8, "bench"}) ==
                         OVIX_OK;
        if (!files) {
            bench::give_up("sdk_upgrade_bench", "cannot write the firmware files in %s", dir);
        } else if (const int32_t init = Network_ClientInit(); init != OVIX_OK) {
            bench::give_up("sdk_upgrade_bench", "the device SDK did not start (%d)", init);
        } else {
            status = bench::run_benchmarks("sdk_upgrade_bench", argc, argv);
            Network_ClientUnInit();
        }
        std::filesystem::remove_all(g_env.dir, ec);
    }
    stop_sinks();
    return status;
}
