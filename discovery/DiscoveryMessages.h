#pragma once
#include "discovery/DiscoveryRecords.h"
#include "discovery/XmlMessage.h"

// The three messages of the discovery protocol. The tool encodes requests and decodes
// replies; the device side (our simulator) does the opposite.

class MSG_REQUEST_DEVICE_INFO : public IXmlMessage {
public:
    MSG_REQUEST_DEVICE_INFO() : IXmlMessage("MSG_REQUEST_DEVICE_INFO") {}
    uint32_t FromMe(const void* record, char* out_text, int* length) override;  // REQUEST_DEVICE_INFO
    uint32_t ToMe(std::string_view text, void* record, size_t record_size) override;
};

class MSG_DEV_INFO_REPLY : public IXmlMessage {
public:
    MSG_DEV_INFO_REPLY() : IXmlMessage("MSG_DEV_INFO_REPLY") {}
    uint32_t FromMe(const void* record, char* out_text, int* length) override;  // DEV_INFO
    // Searches the raw text rather than parsing it; never reads past text.size().
    uint32_t ToMe(std::string_view text, void* record, size_t record_size) override;
};

class MSG_NETWORK_INFO_REQUEST : public IXmlMessage {
public:
    MSG_NETWORK_INFO_REQUEST() : IXmlMessage("MSG_NETWORK_INFO_REQUEST") {}
    uint32_t FromMe(const void* record, char* out_text, int* length) override;  // NETWORK_INFO_REQUEST
    uint32_t ToMe(std::string_view text, void* record, size_t record_size) override;
};

// Builds a whole datagram (header in network order, then the payload) into a zeroed buffer of
// kSendBufferSize bytes. Returns the datagram's length, or 0 when the payload does not fit.
size_t encode_datagram(IXmlMessage& message, uint32_t command, const void* record, unsigned char* buffer);
