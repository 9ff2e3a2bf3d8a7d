// The logo upload over our own SDK: start with the size, the file in chunks, then finish.
#include "batch/OwnProtocolPort.h"

#include "foundation/Clock.h"
#include "foundation/debug_log.h"

#include <climits>
#include <cstdio>
#include <memory>
#include <vector>

namespace {
constexpr const char* kJobFile = "fleetsetDlg";
constexpr int32_t kAfterChunkMs = 1;
struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
} // namespace

StepOutcome OwnProtocolPort::send_logo(const std::string& path) {
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        // Nothing is sent for a picture that cannot be read.
        DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
        debug_log("the logo file %s cannot be opened\n", path.c_str());
        return StepOutcome::Failed;
    }
    if (int ret = std::fseek(file.get(), 0, SEEK_END); ret != 0) {
        DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
        debug_log("fseek  SEEK_END  error !!!! ret=%d", ret);
    }
    const long end = std::ftell(file.get());
    if (int ret = std::fseek(file.get(), 0, SEEK_SET); ret != 0) {
        DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
        debug_log("fseek  SEEK_SET  error !!!! ret=%d", ret);
    }
    if (end < 0 || end > INT32_MAX) {
        DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
        debug_log("the logo file %s has no usable size\n", path.c_str());
        return StepOutcome::Failed;
    }
    int32_t total_length = static_cast<int32_t>(end);
    DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
    debug_log("current offset = %d total_length = %d, file = %p\n", static_cast<int>(std::ftell(file.get())),
              total_length, static_cast<void*>(file.get()));

    int32_t ret = Network_ClientSetDeviceConfig(device_handle, OVIX_CMD_LOGO_START, 0, &total_length,
                                                sizeof total_length);
    DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
    debug_log("-------------Network_ClientSetDeviceConfig  ----------NETWORK_CMD_LOGO_START------ nRet=%d "
              "total_length=%d  device_handle=%d\n",
              ret, total_length, device_handle);
    if (ret != OVIX_OK) {
        DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
        return outcome_of(ret);
    }

    std::vector<char> buffer(OVIX_LOGO_CHUNK_MAX);
    int32_t remaining = total_length;
    // A stopped job stops sending; the finish still goes out.
    while (remaining > 0 && m_context.running()) {
        const int32_t n = remaining < OVIX_LOGO_CHUNK_MAX ? remaining : OVIX_LOGO_CHUNK_MAX;
        const size_t got = std::fread(buffer.data(), 1, static_cast<size_t>(n), file.get());
        if (got == 0) {
            DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
            debug_log("\n----fread-FAILED!!!----  readsize=%d \n", static_cast<int>(got));
            break;
        }
        // Only what was read goes out: a file that shrank since it was measured must not
        // send stale bytes.
        ret = Network_ClientSetDeviceConfig(device_handle, OVIX_CMD_LOGO_DATA, 0, buffer.data(),
                                            static_cast<int32_t>(got));
        if (ret != OVIX_OK) {
            DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
            debug_log("-----FAILED!!!-----NETWORK_CMD_LOGO_DATA---- nRet=%d \n", ret);
            break;
        }
        remaining -= n;
        Clock::sleep_ms(kAfterChunkMs);
    }
    // The finish goes out even after a failed chunk, and its answer decides.
    ret = Network_ClientSetDeviceConfig(device_handle, OVIX_CMD_LOGO_FINISH, 0, buffer.data(), 0);
    if (ret != OVIX_OK) {
        DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
        debug_log("-----FAILED!!!-----NETWORK_CMD_LOGO_FINISH---- nRet=%d \n", ret);
    }
    return outcome_of(ret);
}
