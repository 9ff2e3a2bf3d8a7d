#include "devsdk/protocol/UpgradeReceiver.h"

#include "devsdk/ovix_client.h"

namespace ovix {

void UpgradeReceiver::begin(const FirmwareInfo& info) {
    upgrading = true;
    expected = info.image_length;
    received = 0;
    m_digest = std::make_unique<ImageDigest>();
    m_wanted = info.image_digest;
}

UpgradeProgress UpgradeReceiver::progress() const {
    return UpgradeProgress{kFirmwareHeaderSize + received, kFirmwareHeaderSize + expected, kUpgradeReceiving};
}

int32_t UpgradeReceiver::percent() const {
    const uint64_t total = kFirmwareHeaderSize + expected;
    return static_cast<int32_t>((kFirmwareHeaderSize + received) * 100 / total);
}

bool UpgradeReceiver::take(ByteView data, UpgradeProgress& out) {
    if (!upgrading) return false;
    const int32_t before = percent();
    received += data.size();
    if (m_digest) m_digest->update(data);
    out = progress();
    if (received >= expected) {
        upgrading = false;
        const bool whole = received == expected && m_digest && m_digest->finish() == m_wanted;
        m_digest.reset();
        out.state = whole ? kUpgradeComplete : OVIX_ERR_UPGRADE_INVALID;
        return true;
    }
    return percent() != before;
}

} // namespace ovix
