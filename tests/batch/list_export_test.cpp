// The device list written out as an installer's job report, and the file it goes to.
#include "batch/CsvText.h"
#include "batch/ListExport.h"
#include "batch/StatusMarks.h"
#include "foundation/AtomicFile.h"
#include "support/TempFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>

namespace {

const std::vector<std::string> kHeaders = {"No.", "MAC", "IP", "Port", "Version", "Board", "IP change",
                                           "Upgrade", "Logo", "Command", "Time", "Settings", "Message"};

DeviceRow finished_row() {
    DeviceRow row{"01", "00:1A:2B:00:00:01", "10.77.1.1", "6001", "2.4.1", "0x3516",
                  {kMarkFailed, kMarkDone, kMarkSkipped, kMarkBlank, kMarkDone, kMarkFailed},
                  "Login failed, \"admin\"\nretry"};
    row.checked = true;
    return row;
}

TEST(ListExport, CsvQuotesDeviceTextsAndKeepsMarksForSpreadsheets) {
    EXPECT_EQ(export_device_list({finished_row()}, kHeaders, ListExportFormat::Csv),
              "\xEF\xBB\xBFNo.,MAC,IP,Port,Version,Board,IP change,Upgrade,Logo,Command,Time,Settings,Message,checked\r\n"
              "01,00:1A:2B:00:00:01,10.77.1.1,6001,2.4.1,0x3516,\xC3\x97,\xE2\x88\x9A,\xE2\x80\x94,,\xE2\x88\x9A,\xC3\x97,"
              "\"Login failed, \"\"admin\"\"\nretry\",1\r\n");

    DeviceRow hostile = finished_row();
    hostile.mac = "=HYPERLINK(\"http://x\")", hostile.version = "-2+3", hostile.message = "@SUM(A1)";
    hostile.checked = false;
    const std::string csv = export_device_list({hostile}, kHeaders, ListExportFormat::Csv);
    EXPECT_NE(csv.find("\r\n01,\"'=HYPERLINK(\"\"http://x\"\")\",10.77.1.1,6001,'-2+3,0x3516,"
                       "\xC3\x97,\xE2\x88\x9A,\xE2\x80\x94,,\xE2\x88\x9A,\xC3\x97,'@SUM(A1),0\r\n"),
              std::string::npos)
        << csv;
}

// The same writer serves the command line's lists and reports: no BOM for a pipe, and a
// number that merely starts with a sign is no formula.
TEST(ListExport, TheOneCsvWriterServesPipesToo) {
    EXPECT_EQ(csv_document({"zone", "note"}, {{"-5", "-5+1"}, {"+3.5", "a\"b"}}, false),
              "zone,note\r\n-5,'-5+1\r\n+3.5,\"a\"\"b\"\r\n");
}

TEST(ListExport, JsonHasEnglishKeysAndTheRunReportsMarkWords) {
    DeviceRow row = finished_row();
    row.message = "bad\x01text";
    row.is_type1 = true;
    const std::string text = export_device_list({row}, kHeaders, ListExportFormat::Json);
    EXPECT_NE(text.find("bad\\u0001text"), std::string::npos);
    const auto device = nlohmann::ordered_json::parse(text).at(0);
    std::vector<std::string> keys;
    for (const auto& item : device.items()) keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"index", "mac", "ip", "port", "version", "board", "marks", "message",
                                              "checked", "family1"}));
    EXPECT_EQ(device["marks"], nlohmann::ordered_json::parse(R"({"change_ip":"failed","upgrade":"ok","logo":"skipped",
        "command":"","time_sync":"ok","settings":"failed"})"));
    EXPECT_EQ(device["message"], "bad\x01text");
    EXPECT_TRUE(device["checked"] == true && device["family1"] == true);
}

TEST(ListExport, FileIsReplacedWholeAndAMissingDirectoryIsReported) {
    support::TempDir dir;
    const std::string path = dir.write("report.csv", "old report");
    std::string error;
    ASSERT_TRUE(write_file_atomically(path, "new report\r\n", &error)) << error;
    EXPECT_EQ(support::file_text(path), "new report\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);  // no temporary left

    EXPECT_FALSE(write_file_atomically(dir.path() + "/missing/report.csv", "x", &error));
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
}

} // namespace
