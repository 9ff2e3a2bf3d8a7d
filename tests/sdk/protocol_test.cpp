#include "devsdk/ovix_client.h"
#include "devsdk/protocol/Frame.h"
#include "devsdk/protocol/FrameStream.h"
#include "devsdk/protocol/LoginProof.h"
#include "devsdk/protocol/Messages.h"
#include "devsdk/protocol/VideoCodec.h"
#include "foundation/Clock.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace ovix;

namespace {

// Every payload shorter than the encoding is refused, the full one decodes.
template <class T>
void expect_prefixes_refused(const T& message) {
    Bytes full = encode(message);
    T out;
    EXPECT_TRUE(decode(full, out));
    for (size_t n = 0; n < full.size(); ++n) {
        T partial;
        EXPECT_FALSE(decode(ByteView(full.data(), n), partial)) << "accepted " << n << " of " << full.size();
    }
}

} // namespace

// Header and payload round trips, and which lengths end a stream, are the messages and
// frames fuzz targets' promises; the bytes on the wire are not.
TEST(ProtocolFrame, HeaderStartsWithOVAndTakesTheLargestPayload) {
    uint8_t raw[kFrameHeaderSize];
    encode_frame_header({static_cast<uint16_t>(Kind::UpgradeData), 0x01020304, kMaxPayload}, raw);
    EXPECT_EQ(raw[0], 'O');
    EXPECT_EQ(raw[1], 'V');
    FrameHeader back;
    EXPECT_EQ(decode_frame_header(raw, back), HeaderCheck::Ok);
}

// A fixed-size message cut short is the messages fuzz target's: it compares the whole
// re-encoding with the input, which would read past a short one.
TEST(ProtocolMessages, ShortPayloadsAreRefusedLongerOnesAccepted) {
    expect_prefixes_refused(LoginRequest{1, 0, "Admin", {}, {}});
    expect_prefixes_refused(DeviceEvent{0x20001, 1, 2, "motion"});

    // A later minor version may append fields.
    Bytes longer = encode(CodeValue{1043, 5});
    longer.insert(longer.end(), {1, 2, 3});
    CodeValue back;
    ASSERT_TRUE(decode(longer, back));
    EXPECT_EQ(std::pair(back.code, back.value), std::pair(1043, 5));
}

TEST(ProtocolLogin, ProofDependsOnEveryInput) {
    Nonce device = random_nonce();
    Nonce client = random_nonce();
    Proof proof = login_proof("Admin", "tevoq", device, client);
    EXPECT_TRUE(proof_matches(proof, login_proof("Admin", "tevoq", device, client)));
    EXPECT_FALSE(proof_matches(proof, login_proof("Admin", "tevoQ", device, client)));
    EXPECT_FALSE(proof_matches(proof, login_proof("admin", "tevoq", device, client)));
    EXPECT_FALSE(proof_matches(proof, login_proof("Admin", "tevoq", random_nonce(), client)));
    EXPECT_FALSE(proof_matches(proof, login_proof("Admin", "tevoq", device, random_nonce())));
    EXPECT_FALSE(proof_matches(login_proof("Admin", "", device, client), login_proof("Admin", "x", device, client)));
    EXPECT_NE(device, random_nonce());
}

TEST(ProtocolVideo, OneColourIsOneRunAndBrokenPicturesAreRefused) {
    const uint16_t w = 4, h = 2;
    std::vector<uint32_t> out(size_t{w} * h, 0x123456);
    EXPECT_EQ(encode_rle32(out.data(), w, h).size(), 6u);
    const auto run = [](uint16_t count) {  // of one colour
        Bytes bytes;
        ByteWriter(bytes).u16(count);
        ByteWriter(bytes).u32(1);
        return bytes;
    };
    EXPECT_FALSE(decode_picture(kCodecRle32, run(9), w, h, out.data())) << "too long";
    EXPECT_FALSE(decode_picture(kCodecRle32, run(0), w, h, out.data()));
    Bytes short_runs = run(7);
    EXPECT_FALSE(decode_picture(kCodecRle32, short_runs, w, h, out.data()));
    short_runs.pop_back();
    EXPECT_FALSE(decode_picture(kCodecRle32, short_runs, w, h, out.data()));
    EXPECT_FALSE(decode_picture(kCodecRaw32, Bytes(w * h * 4 - 1), w, h, out.data()));
    EXPECT_FALSE(decode_picture(99, Bytes(w * h * 4), w, h, out.data()));
    EXPECT_FALSE(decode_picture(kCodecRle32, {}, 0, h, out.data()));
    EXPECT_FALSE(decode_picture(kCodecRle32, {}, kMaxVideoWidth + 1, 1, out.data()));
}

// Channels and the sample bytes that fit them are the messages fuzz target's promise.
TEST(ProtocolAudio, HeadersOfNoRateOrFormatWeKnowAreRefused) {
    const auto frame = [](const AudioFrameHeader& header, size_t sample_bytes) {
        Bytes payload = encode(header);
        payload.resize(payload.size() + sample_bytes);
        return payload;
    };
    AudioFrameHeader back;
    ByteView samples;
    EXPECT_TRUE(decode(frame({7, 9, 0, 8000, 2, kAudioS16le}, kMaxAudioBytes), back, samples)) << "the limit itself";
    EXPECT_FALSE(decode(frame({7, 9, 0, 0, 1, kAudioS16le}, 8), back, samples)) << "rate 0";
    EXPECT_FALSE(decode(frame({7, 9, 0, kMaxAudioSampleRate + 1, 1, kAudioS16le}, 8), back, samples)) << "rate too high";
    EXPECT_FALSE(decode(frame({7, 9, 0, 8000, 1, 2}, 8), back, samples)) << "unknown format";
}

class ProtocolStream : public ::testing::Test {
protected:
    void SetUp() override {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds), 0);
        reader = std::make_unique<FrameStream>(fds[0]);
        writer_fd = fds[1];
    }
    void TearDown() override { ::close(writer_fd); }
    std::unique_ptr<FrameStream> reader;
    int writer_fd = -1;
};

// Reading frames in whatever pieces they come, garbage and cut frames, is the frames fuzz
// target's promise; the batch writer is not fuzzed.
TEST_F(ProtocolStream, ABatchIsReadAsTheFramesItHoldsAndOneBeyondTheBoundSendsNothing) {
    const std::vector<Bytes> payloads = {Bytes(40000, 1), Bytes(5, 2), {}, Bytes(20000, 3)};
    FrameStream writer(::dup(writer_fd));
    const std::vector<ByteView> batch(payloads.begin(), payloads.end());
    bool waited = true;
    ASSERT_EQ(writer.write_frames(0x21, batch, 1000, waited), Io::Ok);
    EXPECT_FALSE(waited);
    const std::vector<ByteView> too_many(FrameStream::kMaxBatchFrames + 1, ByteView(payloads[1]));
    EXPECT_EQ(writer.write_frames(0x21, too_many, 1000, waited), Io::Failed);
    EXPECT_FALSE(writer.broken());
    Frame frame;
    for (const Bytes& payload : payloads) {
        ASSERT_EQ(reader->read(frame, Clock::now_ms() + 1000), Io::Ok);
        EXPECT_EQ(frame.kind, 0x21);
        EXPECT_EQ(frame.payload, payload);
    }
    EXPECT_EQ(reader->read(frame, Clock::now_ms()), Io::Timeout);
}
