#pragma once
#include "devsdk/protocol/FirmwareHeader.h"

#include <cstdint>
#include <memory>

// The device's side of one image transfer after an accepted upgrade start: counts the
// image bytes, hashes them as they come, and says when a progress report is due (the percent
// changed, or the image is whole). The fields stay public for devices that script their own
// handling of upgrade data.
namespace ovix {

struct UpgradeReceiver {
    bool upgrading = false;
    uint64_t expected = 0;  // image bytes the header announced
    uint64_t received = 0;  // image bytes taken so far

    void begin(const FirmwareInfo& info);
    void abort() { upgrading = false; }

    // Takes the next image bytes. True when a progress report should go out now; `out` is
    // then the report, with the final state once the image is whole (kUpgradeComplete, or
    // 10 when it is longer than announced or its digest is wrong). Nothing while not upgrading.
    bool take(ByteView data, UpgradeProgress& out);
    UpgradeProgress progress() const;  // the current report, state receiving
    int32_t percent() const;

private:
    std::unique_ptr<ImageDigest> m_digest;
    Digest m_wanted{};
};

} // namespace ovix
