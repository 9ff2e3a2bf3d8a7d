#include "cli/DeviceListFormat.h"
#include "support/DeviceRecord.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>

namespace {

DEV_INFO device(const char* mac, const char* ip, const char* version) {
    DEV_INFO d = make_device_record(mac, ip, version);
    d.cmd_port = 5000;
    d.media_port = 5001;
    d.phone_port = 5002;
    d.ipc_type = 3;
    d.device_type = 200;
    return d;
}

} // namespace

TEST(DeviceListFormat, JsonHasEveryKeyWithNumbersAsNumbers) {
    auto out = format_device_list({device("00:1A:2B:00:00:01", "10.77.1.1", "2.4.1"),
                                    device("00:1A:2B:00:00:02", "10.77.1.2", "2.4.2")},
                                   DeviceListFormat::Json);
    auto j = nlohmann::json::parse(out);
    ASSERT_TRUE(j.is_array());
    ASSERT_EQ(j.size(), 2u);
    EXPECT_EQ(j[1]["mac"], "00:1A:2B:00:00:02");  // table order kept
    const auto& first = j[0];
    EXPECT_EQ(first.size(), 12u);
    EXPECT_EQ(first["ip"], "10.77.1.1");
    EXPECT_EQ(first["cmd_port"], 5000);
    EXPECT_EQ(first["media_port"], 5001);
    EXPECT_EQ(first["http_port"], 80);
    EXPECT_EQ(first["phone_port"], 5002);
    EXPECT_EQ(first["ipc_type"], 3);
    EXPECT_EQ(first["board_type"], 0x3516);
    EXPECT_EQ(first["device_type"], 200);
    EXPECT_EQ(first["subnet_mask"], "255.255.0.0");
    EXPECT_EQ(first["gateway"], "10.77.0.254");
    EXPECT_EQ(first["software_ver"], "2.4.1");
}

TEST(DeviceListFormat, EmptyTableIsAnEmptyArrayOrJustTheHeader) {
    EXPECT_EQ(nlohmann::json::parse(format_device_list({}, DeviceListFormat::Json)), nlohmann::json::array());
    EXPECT_EQ(format_device_list({}, DeviceListFormat::Csv),
              "mac,ip,cmd_port,media_port,http_port,phone_port,ipc_type,board_type,device_type,subnet_mask,gateway,software_ver\r\n");
}

TEST(DeviceListFormat, TextFieldsFilledToTheLastByteAreNotOverread) {
    DEV_INFO d = device("m", "10.77.1.1", "x");
    std::memset(d.software_ver, 'v', sizeof d.software_ver);  // no terminator in the field
    auto j = nlohmann::json::parse(format_device_list({d}, DeviceListFormat::Json));
    EXPECT_EQ(j[0]["software_ver"], std::string(32, 'v'));
}

TEST(DeviceListFormat, InvalidUtf8FromADeviceDoesNotBreakJson) {
    auto out = format_device_list({device("m", "10.77.1.1", "\xff\xfe")}, DeviceListFormat::Json);
    EXPECT_TRUE(nlohmann::json::accept(out));
}

TEST(DeviceListFormat, TableShowsBoardTypeInHexAndACount) {
    auto out = format_device_list({device("00:1A:2B:00:00:01", "10.77.1.1", "2.4.1")}, DeviceListFormat::Table);
    EXPECT_NE(out.find("0x3516"), std::string::npos);
    EXPECT_NE(out.find("1 device\n"), std::string::npos);
}

// A MAC holding an escape sequence must not retitle the terminal, nor one holding a line
// break add a row; the JSON carries the text exactly, in its own escapes.
TEST(DeviceListFormat, TableShowsControlCharactersEscapedJsonKeepsThem) {
    const std::vector<DEV_INFO> devices = {device("\x1b]0;owned\x07", "10.77.1.1", "2.4.1"),
                                           device("AA\n00:1A:2B:00:00:09", "10.77.1.2", "2.4.1")};
    const auto table = format_device_list(devices, DeviceListFormat::Table);
    EXPECT_EQ(table.find('\x1b'), std::string::npos);
    EXPECT_NE(table.find("\\x1b]0;owned\\x07"), std::string::npos) << table;
    EXPECT_NE(table.find("AA\\x0a00:1A:2B:00:00:09"), std::string::npos) << table;
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 4);  // header, two rows, count
    auto j = nlohmann::json::parse(format_device_list(devices, DeviceListFormat::Json));
    EXPECT_EQ(j[0]["mac"], "\x1b]0;owned\x07");
    EXPECT_EQ(j[1]["mac"], "AA\n00:1A:2B:00:00:09");
}
