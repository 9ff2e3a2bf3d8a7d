// The ONVIF port against a scripted device service (no network): what each answer makes of
// a login, a step and an upgrade.
#include "batch/OnvifPort.h"
#include "support/JobLab.h"
#include "support/ScriptedCamera.h"
#include "support/TempFile.h"

#include <gtest/gtest.h>

#include <ctime>

using namespace support;
using onvif::HttpResponse;
using Step = std::function<StepOutcome(OnvifPort&)>;

namespace {

struct Finder : CameraFinder {
    std::atomic<bool>* stop = nullptr;  // the job is stopped once the camera goes down
    void watch(const std::string&) override {
        if (stop) *stop = false;
    }
    std::string find(const std::string&, const std::string&, const std::function<bool()>&) override { return "http://10.0.0.9/x"; }
};

struct PortTest : ::testing::Test, StepReporter {
    void report(StatusCode code) override { codes.push_back(code); }
    void send(StatusCode code) override { codes.push_back(code); }
    void progress(int) override {}
    PortTest() { devices.update_dev_find_list(DEV_INFO{}, true, ""); }

    // A fresh camera with these answers, logged in to when it lets us; the version is what
    // a front end expects when the file has no header of ours.
    OnvifPort& port(std::map<std::string, std::deque<HttpResponse>> answers, const char* address = "") {
        camera = std::make_shared<ScriptedCamera>();
        running = true;
        answers.try_emplace("GetDeviceInformation", std::deque{version("1.0.0")});
        camera->answers = std::move(answers);
        context = {0, 0, "", "", 80, false, "", false, file.path(), "Admin", "", &inputs, &running};
        auto finder = std::make_unique<Finder>();
        finder->stop = stop_at_watch ? &running : nullptr;
        made = std::make_unique<OnvifPort>(devices, context, *this, OnvifTarget{"urn:uuid:1", "http://10.0.0.1/x", "2.5.0"},
                                           std::move(finder), [this] { return camera->transport(); });
        refusal = made->login(address).refusal;
        return *made;
    }
    bool asked(const std::string& call) const {
        return std::find(camera->calls.begin(), camera->calls.end(), call) != camera->calls.end();
    }
    static HttpResponse reply(const std::string& element) { return ScriptedCamera::reply(element); }
    static HttpResponse version(const char* v) { return reply(onvif::device_information_response({"", "", v, "", ""})); }
    static HttpResponse clock(int64_t utc) { return reply(onvif::system_date_and_time_response({false, false, "", utc})); }

    std::shared_ptr<ScriptedCamera> camera;
    TempFile file{"no header of ours"};
    DeviceTable devices;
    PlainInputs inputs;
    std::atomic<bool> running{true};
    bool stop_at_watch = false;
    WorkerContext context;
    std::unique_ptr<OnvifPort> made;
    LoginRefusal refusal = LoginRefusal::None;
    std::vector<uint32_t> codes;
};

TEST_F(PortTest, RefusedCredentialsEndTheDeviceABusyOrSilentCameraIsTriedAgain) {
    const std::pair<HttpResponse, LoginRefusal> rows[] = {{ScriptedCamera::fault(400, "NotAuthorized"), LoginRefusal::WrongUser},
                                                          {ScriptedCamera::fault(503, "Busy"), LoginRefusal::None},
                                                          {HttpResponse{}, LoginRefusal::None}};
    for (const auto& [answer, expected] : rows) {
        EXPECT_FALSE(port({{"GetDeviceInformation", {answer}}}, "10.0.0.2").logged_in());
        EXPECT_EQ(refusal, expected);
    }
    EXPECT_TRUE(port({}, "10.0.0.2").logged_in() && asked("GetDeviceInformation@10.0.0.2"));
}

TEST_F(PortTest, StepsOnvifCannotDoAreUnsupportedBusyRepeatsAndTheClockIsReadBack) {
    const auto settings = [](DeviceSettings s) { return Step([s](OnvifPort& p) { return p.apply_settings(s); }); };
    const HttpResponse admin = reply(onvif::users_response({{"Admin", "Administrator"}}));
    const HttpResponse nic = reply(onvif::network_interfaces_response({{"eth0", "", "", true, true, false, {{"10.0.0.1", 16}}, {}, {}}}));
    const struct { const char* name; std::map<std::string, std::deque<HttpResponse>> answers; Step step; StepOutcome outcome; const char* sent; } rows[] = {
        {"password reset", {}, [](OnvifPort& p) { return p.reset_password(); }, StepOutcome::Unsupported, nullptr},
        {"zone and language", {}, settings({{}, 28800, {}, {}, 3, {}, {}, {}, true}), StepOutcome::Unsupported, "SetSystemDateAndTime@10.0.0.1"},
        {"busy zone", {{"SetSystemDateAndTime", {ScriptedCamera::fault(503, "Busy")}}}, settings({{}, 28800, {}, {}, {}, {}, {}, {}, true}), StepOutcome::Busy, nullptr},
        {"dhcp", {{"GetNetworkInterfaces", {nic}}, {"SetNetworkInterfaces", {reply(onvif::set_network_interfaces_response(true))}}},
         settings({{}, {}, {}, 1, {}, {}, {}, {}, true}), StepOutcome::Done, "SystemReboot@10.0.0.1"},
        {"password proved by a login", {{"GetUsers", {admin}}}, settings({{}, {}, {}, {}, {}, "n3w", {}, {}, true}), StepOutcome::Done, "SetUser@10.0.0.1"},
        {"password refused at its proof",
         {{"GetUsers", {admin}}, {"GetDeviceInformation", {version("1.0.0"), ScriptedCamera::fault(400, "NotAuthorized")}}},
         settings({{}, {}, {}, 1, {}, "n3w", {}, {}, true}), StepOutcome::Failed, nullptr},
        {"nothing settable, no login", {{"GetDeviceInformation", {HttpResponse{}}}}, settings({1, {}, {}, {}, {}, {}, {}, {}, true}),
         StepOutcome::Unsupported, nullptr},
        {"factory", {{"SetSystemFactoryDefault", {ScriptedCamera::fault(500, "ActionNotSupported")}}}, [](OnvifPort& p) { return p.factory_reset(); }, StepOutcome::Unsupported, nullptr},
        {"clock off", {{"GetSystemDateAndTime", {clock(std::time(nullptr) - 10)}}}, [](OnvifPort& p) { return p.sync_clock(); }, StepOutcome::Failed, nullptr},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.step(port(row.answers)), row.outcome) << row.name;
        EXPECT_TRUE(!row.sent || asked(row.sent)) << row.name;
    }
}

TEST_F(PortTest, UpgradeFindsTheCameraByItsUuidChecksTheVersionExpectedAndEndsOnAStop) {
    const onvif::UploadResult busy{onvif::UploadStatus::refused, 503, 0, 0, "", {}}, damaged{onvif::UploadStatus::refused, 415, 0, 0, "", {}};
    const struct { onvif::UploadResult upload; bool complete; int32_t passes; std::vector<uint32_t> codes; } rows[] = {
        {busy, false, 5, {ST_IS_UPGRADE, ST_UPGRADE_FAIL_RETRY_LATER}},
        {damaged, false, 0, {ST_IS_UPGRADE, ST_INVALID_UPGRADE_FILE}},
        {{}, true, 5, {ST_IS_UPGRADE, ST_WAIT_REBOOT, ST_UPGRADE_OK}},
    };
    onvif::DeviceServiceCapabilities upload_offered{};
    upload_offered.http_firmware_upgrade = true;
    const auto upgrade = [&](onvif::UploadResult upload, int down_s) {
        codes.clear();
        OnvifPort& p = port({{"GetServiceCapabilities", {reply(onvif::service_capabilities_response(upload_offered))}},
                             {"StartFirmwareUpgrade", {reply(onvif::start_firmware_upgrade_response("/fw", 0, down_s))}},
                             {"GetDeviceInformation", {version("1.0.0"), version("2.5.0-b7")}}});
        camera->upload_result = upload;
        int32_t passes = 5;
        p.upgrade(passes);
        return std::make_tuple(p.upgrade_complete(), passes, codes);
    };
    for (const auto& row : rows) EXPECT_EQ(upgrade(row.upload, 0), std::make_tuple(row.complete, row.passes, row.codes));
    EXPECT_TRUE(asked("upload@10.0.0.1") && asked("GetDeviceInformation@10.0.0.9")) << "back at another address";
    EXPECT_EQ(devices.cell(0, COL_IP) + " " + devices.cell(0, COL_VERSION), "10.0.0.9 2.5.0-b7");
    stop_at_watch = true;  // an hour's down time, and a stop: the wait ends there
    EXPECT_EQ(upgrade({}, 3600), std::make_tuple(true, 5, std::vector<uint32_t>{ST_IS_UPGRADE, ST_WAIT_REBOOT}));
    EXPECT_FALSE(asked("GetDeviceInformation@10.0.0.9"));

    // Neither our header nor a version given: nothing to check the camera against, not begun.
    codes.clear();
    camera->calls.clear();
    running = true;
    OnvifPort unsure(devices, context, *this, OnvifTarget{"urn:uuid:1", "http://10.0.0.1/x", ""}, std::make_unique<Finder>(),
                     [this] { return camera->transport(); });
    int32_t passes = 5;
    unsure.upgrade(passes);
    EXPECT_EQ(std::tuple(passes, codes, camera->calls.size()), std::tuple(0, std::vector<uint32_t>{ST_INVALID_UPGRADE_FILE}, 0u));
}

// A camera without the upload, or whose StartFirmwareUpgrade is not supported, gets the image
// attached to UpgradeSystemFirmware; the camera's faults end the device or ask for the pass
// again as the upload's HTTP answers do.
TEST_F(PortTest, WithoutTheUploadTheImageGoesAttachedAndItsFaultsEndAsTheUploads) {
    const auto refused = [](int status, const char* subcode) {
        onvif::UploadResult result;
        result.status = onvif::UploadStatus::refused;
        result.http_status = status;
        result.answer = onvif::build_fault(status == 400 ? "Sender" : "Receiver", subcode, "scripted");
        return result;
    };
    const struct { bool offered; onvif::UploadResult upload; int32_t passes; std::vector<uint32_t> codes; } rows[] = {
        {false, refused(500, "InvalidFirmware"), 0, {ST_IS_UPGRADE, ST_INVALID_UPGRADE_FILE}},
        {false, refused(503, ""), 5, {ST_IS_UPGRADE, ST_UPGRADE_FAIL_RETRY_LATER}},
        {false, refused(400, "NotAuthorized"), 0, {ST_IS_UPGRADE, ST_USER_NAME_NOT_EXIST}},
        {false, refused(500, "ActionNotSupported"), 0, {ST_IS_UPGRADE}},
        {true, refused(500, "InvalidFirmware"), 0, {ST_IS_UPGRADE, ST_INVALID_UPGRADE_FILE}},
    };
    for (const auto& row : rows) {
        codes.clear();
        onvif::DeviceServiceCapabilities caps{};
        caps.http_firmware_upgrade = row.offered;
        OnvifPort& p = port({{"GetServiceCapabilities", {reply(onvif::service_capabilities_response(caps))}},
                             {"StartFirmwareUpgrade", {ScriptedCamera::fault(500, "ActionNotSupported")}}});
        camera->upload_result = row.upload;
        int32_t passes = 5;
        p.upgrade(passes);
        EXPECT_EQ(std::make_tuple(p.upgrade_complete(), passes, codes), std::make_tuple(false, row.passes, row.codes));
        EXPECT_TRUE(asked("upload@10.0.0.1"));
    }
}

} // namespace
