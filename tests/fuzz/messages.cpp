// Every payload decoder of the device SDK, both directions: what the camera decodes from a
// client (login, requests, upgrade data) and what the client decodes from a camera (hello,
// answers, events, progress, pictures, sound). A decoded message encodes to a payload that
// decodes to the same message; where a message has no text, that payload is the input itself.
#include "devsdk/ovix_client.h"
#include "devsdk/protocol/DeviceLogin.h"
#include "devsdk/protocol/Frame.h"
#include "devsdk/protocol/LoginProof.h"
#include "devsdk/protocol/Messages.h"
#include "devsdk/protocol/VideoCodec.h"
#include "tests/fuzz/FuzzSupport.h"

#include <optional>
#include <vector>

using namespace ovix;

namespace {

// Decodes; when that succeeds, the encoding decodes again and encodes the same. `exact` is the
// number of input bytes the encoding must reproduce (0: texts may be cut or tidied).
template <class Message>
void check(ByteView in, size_t exact) {
    Message m;
    if (!decode(in, m)) return;
    const Bytes once = encode(m);
    Message again;
    FUZZ_CHECK(decode(once, again));
    FUZZ_CHECK(encode(again) == once);
    if (exact > 0) {
        FUZZ_CHECK(once.size() == exact);
        FUZZ_CHECK(std::equal(once.begin(), once.end(), in.begin()));
    }
}

// Whole input: the messages whose last field takes the rest of the payload.
template <class Message>
void check_whole(ByteView in) {
    Message m;
    if (!decode(in, m)) return;
    const Bytes once = encode(m);
    FUZZ_CHECK(once.size() == in.size() && std::equal(once.begin(), once.end(), in.begin()));
}

// A picture the client would show: decoded into a frame of its size, then coded both ways
// and decoded again to the same pixels.
void check_picture(ByteView in) {
    VideoFrameHeader header;
    ByteView picture;
    if (!decode(in, header, picture)) return;
    Bytes again = encode(header);
    again.insert(again.end(), picture.begin(), picture.end());
    Bytes reserved_cleared(in.begin(), in.end());
    reserved_cleared[22] = reserved_cleared[23] = 0;
    FUZZ_CHECK(again == reserved_cleared);

    if (!picture_size_ok(header.width, header.height)) return;
    const size_t count = size_t{header.width} * header.height;
    std::vector<uint32_t> pixels(count);
    if (!decode_picture(header.codec, picture, header.width, header.height, pixels.data())) return;
    for (uint32_t pixel : pixels) FUZZ_CHECK((pixel & 0xFF000000u) == 0xFF000000u);
    if (count > 64 * 1024) return;  // large pictures cost more than they find
    std::vector<uint32_t> decoded(count);
    for (uint16_t codec : {kCodecRaw32, kCodecRle32}) {
        const Bytes coded = codec == kCodecRaw32 ? encode_raw32(pixels.data(), header.width, header.height)
                                                 : encode_rle32(pixels.data(), header.width, header.height);
        FUZZ_CHECK(decode_picture(codec, coded, header.width, header.height, decoded.data()));
        FUZZ_CHECK(decoded == pixels);
    }
}

void check_sound(ByteView in) {
    AudioFrameHeader header;
    ByteView samples;
    if (!decode(in, header, samples)) return;
    FUZZ_CHECK(header.channels >= 1 && header.channels <= kMaxAudioChannels);
    FUZZ_CHECK(!samples.empty() && samples.size() <= kMaxAudioBytes && samples.size() % (2u * header.channels) == 0);
    Bytes again = encode(header);
    again.insert(again.end(), samples.begin(), samples.end());
    FUZZ_CHECK(again.size() == in.size() && std::equal(again.begin(), again.end(), in.begin()));
}

// The camera's check of a login frame: only the documented refusals, and a success only with
// the password's proof.
void check_login(ByteView in) {
    Frame frame;
    frame.kind = static_cast<uint16_t>(Kind::Login);
    frame.id = 1;
    frame.payload.assign(in.begin(), in.end());
    const Nonce nonce{};
    LoginRequest request;
    const int32_t result = verify_login(frame, nonce, [](std::string_view user) -> std::optional<std::string> {
        if (user == "Admin") return std::string("tevoq");
        return std::nullopt;
    }, &request);
    FUZZ_CHECK(result == OVIX_OK || result == OVIX_ERR_BAD_REQUEST || result == OVIX_ERR_VERSION ||
               result == OVIX_ERR_USER_UNKNOWN || result == OVIX_ERR_PASSWORD);
    if (result == OVIX_OK)
        FUZZ_CHECK(request.user == "Admin" && request.proof == login_proof("Admin", "tevoq", nonce, request.client_nonce));
    check<LoginRequest>(in, 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const uint8_t which = input.byte();
    const ByteView in = input.rest();
    switch (which % 20) {
    // From the camera to the client.
    case 0: check<Hello>(in, 36); break;
    case 1: check_whole<Answer>(in); break;
    case 2: check<DeviceEvent>(in, 0); break;
    case 3: check<UpgradeProgress>(in, 20); break;
    case 4: check_picture(in); break;
    case 5: check_sound(in); break;
    // From the client to the camera.
    case 6: check_login(in); break;
    case 7: check<ConfigGet>(in, 12); break;
    case 8: check_whole<ConfigSet>(in); break;
    case 9: check<DeviceControl>(in, 16); break;
    case 10: check<CodeValue>(in, 8); break;
    case 11: check<PtzRequest>(in, 16); break;
    case 12: check<UpgradeStart>(in, 8 + kFirmwareHeaderSize); break;
    case 13: check<LiveStart>(in, 8); break;
    case 14: check_whole<LiveControl>(in); break;
    case 15: {  // ircut, voice, capability, live stop; a live start's answer
        uint32_t u = 0;
        int32_t i = 0;
        if (decode_u32(in, u)) FUZZ_CHECK(encode_u32(u) == Bytes(in.begin(), in.begin() + 4));
        if (decode_i32(in, i)) FUZZ_CHECK(encode_i32(i) == Bytes(in.begin(), in.begin() + 4));
        break;
    }
    default: {  // the frame header itself
        if (in.size() < kFrameHeaderSize) break;
        FrameHeader header;
        if (decode_frame_header(in.data(), header) != HeaderCheck::Ok) break;
        FUZZ_CHECK(header.length <= kMaxPayload);
        uint8_t again[kFrameHeaderSize];
        encode_frame_header(header, again);
        FUZZ_CHECK(std::equal(again, again + kFrameHeaderSize, in.begin()));
        FUZZ_CHECK(kind_name(header.kind) != nullptr);
        break;
    }
    }
    return 0;
}
