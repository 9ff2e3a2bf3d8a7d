// Writes the fuzz targets' seeds into tests/fuzz/corpus from the project's own encoders, the
// simulator's replies, the shipped language and fleet files and the documentation's example:
//   build/fuzz/tests/fuzz/fuzz_make_seeds SOURCE_DIR
// Run it again after a message changes; it replaces only the files it names.
#include "devsdk/ovix_client.h"
#include "devsdk/protocol/FirmwareHeader.h"
#include "devsdk/protocol/Frame.h"
#include "devsdk/protocol/LoginProof.h"
#include "devsdk/protocol/Messages.h"
#include "devsdk/protocol/VideoCodec.h"
#include "discovery/DiscoveryMessages.h"
#include "sim/ReplyBuilder.h"

#include <iconv.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace ovix;

namespace {

std::string g_source;

void write_seed(const std::string& target, const std::string& name, const Bytes& bytes) {
    const std::string path = g_source + "/tests/fuzz/corpus/" + target + "/" + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes bytes_of(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

std::string read_source(const std::string& relative) {
    std::ifstream in(g_source + "/" + relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <class Record>
Bytes plain_bytes(const Record& record) {
    const auto* p = reinterpret_cast<const uint8_t*>(&record);
    return Bytes(p, p + sizeof record);
}

Bytes frame(Kind kind, uint32_t id, const Bytes& payload) {
    Bytes out(kFrameHeaderSize);
    encode_frame_header({static_cast<uint16_t>(kind), id, static_cast<uint32_t>(payload.size())}, out.data());
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

Bytes joined(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

CameraConfig camera(const char* mac, const char* ip) {
    CameraConfig config;
    config.mac_address = mac;
    config.ip_address = ip;
    return config;
}

Bytes reply(const CameraConfig& config) {
    ReplyDatagram datagram;
    if (!build_reply(config, 13000, datagram)) return {};
    return Bytes(datagram.bytes.begin(), datagram.bytes.begin() + static_cast<std::ptrdiff_t>(datagram.length));
}

template <class Message, class Record>
Bytes datagram(uint32_t command, const Record& record) {
    Message message;
    unsigned char buffer[kSendBufferSize];
    const size_t length = encode_datagram(message, command, &record, buffer);
    return Bytes(buffer, buffer + length);
}

void discovery_seeds() {
    CameraConfig plain = camera("00:12:41:00:00:01", "10.77.2.10");
    write_seed("discovery_reply", "reply", reply(plain));
    CameraConfig other = camera("00:1A:2B:10:00:02", "10.77.5.2");
    other.device_type = 19;
    other.board_type = 0x3518;
    other.cmd_port = 34567;
    other.software_ver = "V5.5.3.2_build20231101";
    write_seed("discovery_reply", "reply-long-texts", reply(other));
    CameraConfig malformed = plain;
    malformed.faults.malformed_reply = true;
    write_seed("discovery_reply", "reply-malformed", reply(malformed));
    CameraConfig truncated = plain;
    truncated.faults.truncated_reply = true;
    write_seed("discovery_reply", "reply-truncated", reply(truncated));

    REQUEST_DEVICE_INFO request{};
    std::snprintf(request.server_ip, sizeof request.server_ip, "10.77.0.1");
    request.server_port = 12000;
    request.connection_type = 2;
    const Bytes ask = datagram<MSG_REQUEST_DEVICE_INFO>(kCmdRequestDeviceInfo, request);
    write_seed("sim_discovery", "request", ask);
    write_seed("sim_discovery", "request-header-only", Bytes(ask.begin(), ask.begin() + kDiscoveryHeaderSize));
    NETWORK_INFO_REQUEST change{};
    std::snprintf(change.dev_mac, sizeof change.dev_mac, "00:12:41:00:00:01");
    std::snprintf(change.new_dev_ip, sizeof change.new_dev_ip, "10.77.3.20");
    std::snprintf(change.new_dev_submask, sizeof change.new_dev_submask, "255.255.0.0");
    std::snprintf(change.new_dev_gateway, sizeof change.new_dev_gateway, "10.77.0.254");
    change.new_dev_cmdport = 6001;
    change.new_dev_mediaport = 6002;
    change.new_dev_mobileport = 6003;
    change.new_dev_httpport = 80;
    write_seed("sim_discovery", "change", datagram<MSG_NETWORK_INFO_REQUEST>(kCmdNetworkInfoRequest, change));

    // The XML path functions: flags, path, attribute name and value (each after its length),
    // then a document.
    auto xml_seed = [](uint8_t flags, std::string_view path, std::string_view name, std::string_view value, std::string_view doc) {
        Bytes out{flags};
        for (std::string_view part : {path, name, value}) {
            out.push_back(static_cast<uint8_t>(part.size()));
            out.insert(out.end(), part.begin(), part.end());
        }
        out.insert(out.end(), doc.begin(), doc.end());
        return out;
    };
    const Bytes reply_bytes = reply(plain);
    const std::string_view reply_text(reinterpret_cast<const char*>(reply_bytes.data()) + kDiscoveryHeaderSize,
                                      reply_bytes.size() - kDiscoveryHeaderSize);
    write_seed("xml_path", "reply-attribute",
               xml_seed(0x7F, "Message.Header.MSG_DEV_INFO_REPLY", "mac_address", "00:12:41:00:00:09", reply_text));
    write_seed("xml_path", "version-text", xml_seed(0x20, "Message", "Version", " -42", "<Message Version=\"1\">text</Message>"));
    write_seed("xml_path", "new-path", xml_seed(0xFF, "A.B.C.D", "x", "a<b>\"c\"", ""));
}

Hello hello_message() {
    Hello hello{kProtocolMajor, kProtocolMinor, {}};
    for (size_t i = 0; i < hello.nonce.size(); ++i) hello.nonce[i] = static_cast<uint8_t>(i * 7);
    return hello;
}

Bytes picture_payload(uint16_t codec) {
    constexpr uint16_t w = 4, h = 2;
    const uint32_t pixels[w * h] = {0x102030, 0x102030, 0x102030, 0xFFFFFF, 0, 0, 0, 0x0000FF};
    Bytes out = encode(VideoFrameHeader{1, 7, 1700000000000, w, h, codec});
    const Bytes picture = codec == kCodecRaw32 ? encode_raw32(pixels, w, h) : encode_rle32(pixels, w, h);
    out.insert(out.end(), picture.begin(), picture.end());
    return out;
}

Bytes sound_payload() {
    Bytes out = encode(AudioFrameHeader{1, 3, 1700000000040, 8000, 1, kAudioS16le});
    for (int i = 0; i < 32; ++i) ByteWriter(out).u16(static_cast<uint16_t>(i * 1000));
    return out;
}

FirmwareHeaderBytes firmware_header(const char* board, uint64_t image_length, const Bytes& image) {
    FirmwareInfo info;
    info.board_type = board;
    info.version = {2, 5, 0};
    info.image_length = image_length;
    ImageDigest digest;
    digest.update(image);
    info.image_digest = digest.finish();
    info.description = "fleetset test image";
    return encode_firmware_header(info);
}

void device_sdk_seeds() {
    const Hello hello = hello_message();
    LoginRequest login{kProtocolMajor, kProtocolMinor, "Admin", {}, {}};
    login.client_nonce = hello.nonce;
    login.proof = login_proof("Admin", "tevoq", Nonce{}, login.client_nonce);
    ovix_clock clock{};
    clock.profile = 1;
    clock.year = 2024;
    clock.month = 5;
    clock.day = 17;
    clock.hour = 12;
    const Bytes image(64, 0xA5);
    const UpgradeStart start{kFirmwareHeaderSize + image.size(), firmware_header("0x3516", image.size(), image)};

    // messages: a selector byte, then the payload.
    const std::vector<std::pair<const char*, Bytes>> payloads = {
        {"hello", encode(hello)},
        {"answer", encode(Answer{0, {1, 2, 3, 4}})},
        {"event", encode(DeviceEvent{3, 1, 0, "motion detected"})},
        {"progress", encode(UpgradeProgress{4096, 16384, kUpgradeReceiving})},
        {"picture-rle", picture_payload(kCodecRle32)},
        {"sound", sound_payload()},
        {"login", encode(login)},
        {"config-get", encode(ConfigGet{OVIX_CMD_DEVICE_INFO, 0, sizeof(ovix_device_info)})},
        {"config-set-clock", encode(ConfigSet{OVIX_CMD_SET_CLOCK, 0, plain_bytes(clock)})},
        {"device-control", encode(DeviceControl{OVIX_CTRL_LAMP, 0, 1, 1})},
        {"ldr", encode(CodeValue{OVIX_LDR_LAMP, 4})},
        {"ptz", encode(PtzRequest{0, 1, 2, 5})},
        {"upgrade-start", encode(start)},
        {"live-start", encode(LiveStart{0, 1})},
        {"live-zoom", encode(LiveControl{1, OVIX_LIVE_ZOOM, plain_bytes(ovix_zoom{400, 10, 10})})},
        {"word", encode_u32(1)},
        {"frame-header", frame(Kind::Ping, 9, {})},
    };
    for (size_t i = 0; i < payloads.size(); ++i) {
        Bytes seed{static_cast<uint8_t>(i)};
        seed.insert(seed.end(), payloads[i].second.begin(), payloads[i].second.end());
        write_seed("messages", payloads[i].first, seed);
    }
    Bytes raw{4};
    const Bytes raw_picture = picture_payload(kCodecRaw32);
    raw.insert(raw.end(), raw_picture.begin(), raw_picture.end());
    write_seed("messages", "picture-raw", raw);

    // frames: read buffer size, piece size, then the stream.
    const Bytes from_camera = joined({frame(Kind::Hello, 0, encode(hello)), frame(Kind::Result, 1, encode(Answer{0, {}})),
                                      frame(Kind::VideoFrame, 0, picture_payload(kCodecRle32)),
                                      frame(Kind::AudioFrame, 0, sound_payload())});
    write_seed("frames", "camera-stream", joined({{16, 7}, from_camera}));
    write_seed("frames", "whole-stream", joined({{255, 255}, from_camera}));
    write_seed("frames", "garbage-after-frame", joined({{0, 3}, frame(Kind::Ping, 5, {}), bytes_of("GET / HTTP/1.0\r\n")}));

    // firmware: file size, header, then pieces of the image, each after its size less one.
    Bytes upgrade = encode(start);
    for (size_t at = 0; at < image.size(); at += 32) {
        upgrade.push_back(31);
        upgrade.insert(upgrade.end(), image.begin() + static_cast<std::ptrdiff_t>(at), image.begin() + static_cast<std::ptrdiff_t>(at + 32));
    }
    write_seed("firmware", "whole-upgrade", upgrade);
    write_seed("firmware", "other-board", encode(UpgradeStart{start.file_size, firmware_header("0x3518", image.size(), image)}));
    Bytes lying = encode(UpgradeStart{kFirmwareHeaderSize + 10, start.header});
    write_seed("firmware", "wrong-size", lying);

    // sim_session: 1 (the target logs in) or 0, then the client's frames.
    const Bytes shell = bytes_of("echo OVX5A1B2C3D4E5F60001 > /config/tuya.cfg");
    customer_cfg settings{};
    settings.apply_time_zone = 1;
    settings.time_zone = 28800;
    settings.apply_password = 1;
    std::snprintf(settings.password, sizeof settings.password, "n3w");
    Bytes logo_length;
    ByteWriter(logo_length).i32(6);
    const Bytes requests = joined({
        frame(Kind::Ping, 2, {}),
        frame(Kind::GetConfig, 3, encode(ConfigGet{OVIX_CMD_DEVICE_INFO, 0, sizeof(ovix_device_info)})),
        frame(Kind::GetConfig, 4, encode(ConfigGet{OVIX_CMD_GET_CLOCK, 0, sizeof(ovix_clock)})),
        frame(Kind::SetConfig, 5, encode(ConfigSet{OVIX_CMD_SET_CLOCK, 0, plain_bytes(clock)})),
        frame(Kind::SetConfig, 6, encode(ConfigSet{OVIX_CMD_SHELL, 0, shell})),
        frame(Kind::SetConfig, 7, encode(ConfigSet{OVIX_CMD_CUSTOMER_CFG, 0, plain_bytes(settings)})),
        frame(Kind::SetConfig, 8, encode(ConfigSet{OVIX_CMD_LOGO_START, 0, logo_length})),
        frame(Kind::SetConfig, 9, encode(ConfigSet{OVIX_CMD_LOGO_DATA, 0, bytes_of("PNGPNG")})),
        frame(Kind::SetConfig, 10, encode(ConfigSet{OVIX_CMD_LOGO_FINISH, 0, {}})),
        frame(Kind::DeviceControl, 11, encode(DeviceControl{OVIX_CTRL_LAMP, 0, 1, 1})),
        frame(Kind::LdrControl, 12, encode(CodeValue{OVIX_LDR_LAMP, 5})),
        frame(Kind::IrcutControl, 13, encode_i32(0)),
        frame(Kind::PtzControl, 14, encode(PtzRequest{0, 1, 2, 5})),
        frame(Kind::PlayVoice, 15, encode_i32(1)),
        frame(Kind::GetCapability, 16, encode_i32(0)),
    });
    write_seed("sim_session", "requests", joined({{1}, requests}));
    const Bytes live = joined({
        frame(Kind::LiveStart, 2, encode(LiveStart{0, 2})),
        frame(Kind::LiveControl, 3, encode(LiveControl{1, OVIX_LIVE_MIC_OPEN, {}})),
        frame(Kind::LiveControl, 4, encode(LiveControl{1, OVIX_LIVE_FRAME_RATE, encode_i32(25)})),
        frame(Kind::LiveControl, 5, encode(LiveControl{1, OVIX_LIVE_ZOOM, plain_bytes(ovix_zoom{400, 0, 0})})),
        frame(Kind::LiveStop, 6, encode_u32(1)),
        frame(Kind::Logout, 0, {}),
    });
    write_seed("sim_session", "live", joined({{1}, live}));
    const Bytes upgrade_frames = joined({
        frame(Kind::UpgradeStart, 2, encode(start)),
        frame(Kind::UpgradeData, 0, Bytes(image.begin(), image.begin() + 40)),
        frame(Kind::UpgradeData, 0, Bytes(image.begin() + 40, image.end())),
        frame(Kind::UpgradeStart, 3, encode(start)),
    });
    write_seed("sim_session", "upgrade", joined({{1}, upgrade_frames}));
    write_seed("sim_session", "upgrade-aborted",
               joined({{1}, frame(Kind::UpgradeStart, 2, encode(start)), frame(Kind::UpgradeData, 0, Bytes(10, 1)),
                       frame(Kind::UpgradeAbort, 0, {})}));
    write_seed("sim_session", "login-refused", joined({{0}, frame(Kind::Login, 1, encode(login)), frame(Kind::Ping, 2, {})}));
}

// The head of a language file, cut at a line end.
std::string head_of(const std::string& text, size_t bytes) {
    const size_t end = text.rfind('\n', bytes);
    return text.substr(0, end == std::string::npos ? bytes : end + 1);
}

std::string utf16le(const std::string& utf8) {
    iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
    std::string out(utf8.size() * 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t in_left = utf8.size();
    char* dst = out.data();
    size_t dst_left = out.size();
    iconv(cd, &in, &in_left, &dst, &dst_left);
    iconv_close(cd);
    out.resize(out.size() - dst_left);
    return "\xFF\xFE" + out;
}

void file_seeds() {
    const std::string english = head_of(read_source("app/lang/lumora_en.ini"), 1800);
    const std::string chinese = head_of(read_source("app/lang/lumora_zh_CN.ini"), 1200);
    write_seed("lang_file", "english", bytes_of(english));
    write_seed("lang_file", "chinese-utf8-bom", bytes_of("\xEF\xBB\xBF" + chinese));
    write_seed("lang_file", "chinese-utf16le", bytes_of(utf16le(chinese)));

    write_seed("fleet_file", "test-station", bytes_of(read_source("sim/fleets/test-station.json")));
    const std::string doc = read_source("docs/simulator.md");
    const size_t start = doc.find("```json\n");
    const size_t end = start == std::string::npos ? start : doc.find("```", start + 8);
    if (end != std::string::npos) write_seed("fleet_file", "documented", bytes_of(doc.substr(start + 8, end - start - 8)));
    write_seed("fleet_file", "generated", bytes_of(R"({"count": 3, "demo_mix": true, "reply": "unicast"})"));

    write_seed("record_name", "mac", bytes_of("\x01" "00:12:41:00:00:01"));
    ovix_device_info info{};
    std::snprintf(info.board_name, sizeof info.board_name, "IPC-S3516");
    info.board_id = 0x3516;
    std::snprintf(info.mac, sizeof info.mac, "00:1A:2B:10:00:01");
    std::snprintf(info.software_version, sizeof info.software_version, "2.4.1");
    Bytes record{0};
    const Bytes info_bytes = plain_bytes(info);
    record.insert(record.end(), info_bytes.begin(), info_bytes.end());
    write_seed("record_name", "device-info", record);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SOURCE_DIR\n", argv[0]);
        return 2;
    }
    g_source = argv[1];
    crypto_ready();
    discovery_seeds();
    device_sdk_seeds();
    file_seeds();
    return 0;
}
