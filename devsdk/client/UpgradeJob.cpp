#include "devsdk/client/UpgradeJob.h"

#include "devsdk/ovix_client.h"
#include "devsdk/protocol/Timing.h"
#include "foundation/Clock.h"
#include "foundation/debug_log.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace ovix::client {

namespace {

// Reads up to n bytes at offset; fewer only at the end of the file or on an error.
ssize_t read_at(int fd, uint8_t* out, size_t n, uint64_t offset) {
    size_t got = 0;
    while (got < n) {
        ssize_t r = ::pread(fd, out + got, n - got, static_cast<off_t>(offset + got));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) break;
        got += static_cast<size_t>(r);
    }
    return static_cast<ssize_t>(got);
}

} // namespace

UpgradeJob::UpgradeJob(std::shared_ptr<LoginSession> session, int fd, uint64_t file_size)
    : m_session(std::move(session)), m_fd(fd), m_file_size(file_size) {
    m_last_activity = Clock::now_ms();
}

UpgradeJob::~UpgradeJob() {
    stop();
    if (m_fd >= 0) ::close(m_fd);
}

int32_t UpgradeJob::start(const std::shared_ptr<LoginSession>& session, const std::string& path,
                          std::shared_ptr<UpgradeJob>& out) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        DEBUG_LOCATION("ovix_client", "UpgradeJob::start");
        debug_log("cannot read firmware file %s\n", path.c_str());
        if (fd >= 0) ::close(fd);
        return OVIX_ERR_FILE;
    }
    // A file shorter than a header goes out zero-padded; the device calls it invalid.
    UpgradeStart request;
    request.file_size = static_cast<uint64_t>(info.st_size);
    if (read_at(fd, request.header.data(), request.header.size(), 0) < 0) {
        ::close(fd);
        return OVIX_ERR_FILE;
    }

    std::shared_ptr<UpgradeJob> job(new UpgradeJob(session, fd, request.file_size));
    // Attached before the request, so that no progress report can arrive unseen.
    if (!session->attach_upgrade(job)) {
        job->m_stopped = true;
        return OVIX_ERR_BUSY;
    }
    int32_t result = session->call(Kind::UpgradeStart, encode(request));
    if (result != OVIX_OK) {
        DEBUG_LOCATION("ovix_client", "UpgradeJob::start");
        debug_log("upgrade with %s refused, result %d\n", path.c_str(), result);
        session->detach_upgrade(job.get());
        job->m_stopped = true;
        return result;
    }
    job->note_activity();
    try {
        job->m_sender = std::thread(&UpgradeJob::send_image, job.get());
    } catch (const std::system_error&) {
        job->stop();
        return OVIX_ERR_RESOURCES;
    }
    out = std::move(job);
    return OVIX_OK;
}

void UpgradeJob::send_image() {
    // The file is read a block at a time, and a block's chunks go out in one write while the
    // device takes them without holding the sender up: fewer and larger system calls on both
    // ends. Once the link makes it wait, it is one chunk per write again, so that other
    // requests on the login get their turn between chunks. Two chunks a block give most of
    // what larger blocks give, at 64 KiB a transfer when a hundred run at once.
    constexpr size_t kChunksPerBlock = 2;
    static_assert(kChunksPerBlock <= FrameStream::kMaxBatchFrames);
    Bytes block(kChunksPerBlock * kUpgradeChunkBytes);
    size_t batch = 1;
    uint64_t offset = kFirmwareHeaderSize;
    while (offset < m_file_size && !m_stop) {
        const uint64_t left = m_file_size - offset;
        const size_t n = left < block.size() ? static_cast<size_t>(left) : block.size();
        const ssize_t got = read_at(m_fd, block.data(), n, offset);
        if (got <= 0) {
            fail(OVIX_ERR_FILE);
            return;
        }
        ByteView chunks[kChunksPerBlock];
        size_t count = 0;
        for (size_t at = 0; at < static_cast<size_t>(got); at += kUpgradeChunkBytes)
            chunks[count++] = ByteView(block.data() + at, std::min<size_t>(static_cast<size_t>(got) - at, kUpgradeChunkBytes));
        for (size_t next = 0; next < count && !m_stop;) {
            const size_t take = std::min(batch, count - next);
            bool waited = false;
            const int32_t result = m_session->send_batch(Kind::UpgradeData, std::span(chunks + next, take), waited);
            if (result != OVIX_OK) {
                fail(result);
                return;
            }
            for (size_t i = next; i < next + take; ++i) offset += chunks[i].size();
            next += take;
            batch = waited ? 1 : std::min(2 * batch, kChunksPerBlock);
            note_activity();
        }
    }
}

void UpgradeJob::note_activity() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_last_activity = Clock::now_ms();
}

void UpgradeJob::fail(int32_t error) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_complete && m_error == 0) m_error = error;
}

int32_t UpgradeJob::status(int32_t& percent) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_complete) {
        percent = 100;
        return OVIX_OK;
    }
    uint64_t shown = m_file_size ? m_received * 100 / m_file_size : 0;
    percent = static_cast<int32_t>(shown > 99 ? 99 : shown);
    if (m_error == 0 && Clock::now_ms() - m_last_activity > kUpgradeStallMs) m_error = OVIX_ERR_TIMEOUT;
    return m_error;
}

void UpgradeJob::on_progress(const UpgradeProgress& progress) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_complete || m_error != 0) return;
    m_last_activity = Clock::now_ms();
    if (progress.state == kUpgradeComplete) {
        m_complete = true;
        m_received = m_file_size;
    } else if (progress.state != kUpgradeReceiving) {
        m_error = progress.state > 0 ? progress.state : OVIX_ERR_FAILED;
    } else {
        m_received = progress.received < m_file_size ? progress.received : m_file_size;
    }
}

void UpgradeJob::on_connection_lost() {
    fail(OVIX_ERR_DISCONNECTED);
}

void UpgradeJob::stop() {
    m_stop = true;
    if (m_sender.joinable()) m_sender.join();
    bool tell_device;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopped) return;
        m_stopped = true;
        tell_device = !m_complete;
    }
    if (tell_device && m_session->alive()) m_session->send(Kind::UpgradeAbort, {});
    m_session->detach_upgrade(this);
}

} // namespace ovix::client
