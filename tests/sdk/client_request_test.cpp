#include "SdkTest.h"

#include <cstring>
#include <vector>

using namespace ovix;

using ClientRequest = SdkTest;

// What a record or control does on a camera, and its refusals, are the simulator's device
// tests; here what the client alone does with an answer.
TEST_F(ClientRequest, ShortAnswersComeBackZeroFilledLongOnesCut) {
    int32_t handle = login();
    // The fake answers (command + i) for byte i, and only 72 of the 100 bytes asked for.
    device.on(Kind::GetConfig, [](FakeDevice::Peer& peer, const Frame& request) {
        ConfigGet get;
        decode(request.payload, get);
        Bytes data(72);
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(get.command + static_cast<int>(i));
        peer.answer(request, OVIX_OK, data);
    });
    uint8_t buffer[100];
    std::memset(buffer, 0xEE, sizeof buffer);
    ASSERT_EQ(Network_ClientGetDeviceConfig(handle, OVIX_CMD_GET_CLOCK, 0, buffer, sizeof buffer), OVIX_OK);
    EXPECT_EQ((std::vector<int>{buffer[0], buffer[71], buffer[72], buffer[99]}),
              (std::vector<int>{1000 & 0xFF, (1000 + 71) & 0xFF, 0, 0}));
    // More than asked for is cut to the buffer.
    ASSERT_EQ(Network_ClientGetDeviceConfig(handle, OVIX_CMD_GET_CLOCK, 0, buffer, 8), OVIX_OK);
    EXPECT_EQ(buffer[8], static_cast<uint8_t>((1000 + 8) & 0xFF));  // from the previous call, untouched
}

TEST_F(ClientRequest, AnswersFindTheirRequestWhenManyThreadsShareALogin) {
    int32_t handle = login();
    // Each answer echoes the asked length, so a mix-up shows in the data.
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) {
                int32_t length = 1 + t * 100 + i;
                std::vector<uint8_t> buffer(static_cast<size_t>(length));
                if (Network_ClientGetDeviceConfig(handle, 2000 + t, 0, buffer.data(), length) != OVIX_OK ||
                    buffer[0] != static_cast<uint8_t>(2000 + t))
                    ++wrong;
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong, 0);
}
