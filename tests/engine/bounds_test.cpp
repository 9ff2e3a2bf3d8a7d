// What discovery keeps of replies anyone on the LAN can send: the device table, its trace
// files and the texts they show stay bounded and harmless, while a real fleet is kept whole.
#include "discovery/HeardDevices.h"
#include "discovery/PrintableText.h"
#include "discovery/TraceFile.h"
#include "support/DeviceRecord.h"
#include "support/TempFile.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

DEV_INFO made_up(int n) {
    char mac[32];
    std::snprintf(mac, sizeof mac, "FA:KE:%08d", n);
    return make_device_record(mac, "10.77.9.9");
}

} // namespace

TEST(HeardDevices, ACameraHeardAgainOutlivesMadeUpEntriesThatMissedTheSweep) {
    HeardDevices table(3);
    const DEV_INFO camera = make_device_record(numbered_mac(1), "10.77.1.1");
    using M = HeardDevices::Merge;
    // Rebooting, the camera misses the sweep at 20. Entries heard once go first, oldest first,
    // and the table keeps its order; the camera goes when nothing else missed the sweep, and
    // once every entry has answered it newcomers are refused.
    EXPECT_EQ((std::vector<M>{table.merge(camera, 10, 0), table.merge(made_up(1), 11, 0), table.merge(camera, 12, 0),
                              table.merge(made_up(2), 13, 0), table.merge(made_up(3), 21, 20),
                              table.merge(made_up(4), 22, 20)}),
              (std::vector<M>{M::New, M::New, M::Unchanged, M::New, M::New, M::New}));
    std::vector<DEV_INFO> list;
    table.append_to(list);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_STREQ(list[0].mac_address, camera.mac_address);
    EXPECT_STREQ(list[2].mac_address, made_up(4).mac_address);
    EXPECT_EQ(table.merge(made_up(5), 23, 20), M::New);
    EXPECT_EQ(table.find(camera.mac_address), nullptr);
    EXPECT_EQ(table.merge(made_up(6), 24, 20), M::Refused);
    EXPECT_EQ(std::pair(table.dropped(), table.refused()), std::pair(uint64_t{3}, uint64_t{1}));
}

TEST(TraceFile, RotatesAtItsLimitAndStartsEachRunAfresh) {
    support::TempDir dir("fleetset-trace");
    const std::string path = dir.path() + "/recv.txt";
    const std::string line(100, 'x');
    {
        TraceFile file("recv.txt", 1000);
        ASSERT_TRUE(file.open(dir.path()));
        for (int i = 0; i < 25; ++i) file.write(line);
    }
    // 25 lines of 100 bytes: two full files were written, the older kept as .1.
    EXPECT_EQ(std::filesystem::file_size(path), 500u);
    EXPECT_EQ(std::filesystem::file_size(path + ".1"), 1000u);
    TraceFile again("recv.txt", 1000);
    ASSERT_TRUE(again.open(dir.path()));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    EXPECT_FALSE(std::filesystem::exists(path + ".1"));
}

TEST(PrintableText, EscapesWhatCouldDriveATerminalOrSplitALine) {
    struct Case { std::string_view text, shown; };
    const Case cases[] = {
        {"00:1A:2B:00:00:01", "00:1A:2B:00:00:01"},
        {"\x1b]0;owned\x07", "\\x1b]0;owned\\x07"},
        {"a\nmac = forged\r", "a\\x0amac = forged\\x0d"},
        {std::string_view("a\0b", 3), "a\\x00b"},
        {"\x7f", "\\x7f"},
        {"C:\\x1b", "C:\\\\x1b"},                 // a backslash cannot fake an escape
        {"Kamera \xc3\xbc \xe2\x82\xac", "Kamera \xc3\xbc \xe2\x82\xac"},  // UTF-8 passes
        {"\xc2\x9b" "2J", "\\xc2\\x9b2J"},          // C1 CSI
        {"\x9b" "2J", "\\x9b2J"},                   // the same, 8-bit
        {"\xc0\xaf \xed\xa0\x80 \xe2\x82", "\\xc0\\xaf \\xed\\xa0\\x80 \\xe2\\x82"},  // overlong, surrogate, cut short
    };
    for (const auto& c : cases) EXPECT_EQ(printable_text(c.text), c.shown) << c.shown;
}
