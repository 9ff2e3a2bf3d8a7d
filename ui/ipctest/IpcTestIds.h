#pragma once

// The test window's controls by their numeric ids (each widget's object name is its id).
namespace ipctest_ids {

enum : int {
    IrcutOpenButton = 1009,
    SpeakerButton = 1010,
    WhiteLightButton = 1011,
    IrcutCloseButton = 1012,
    MicButton = 1013,
    InfraredLampButton = 1014,
    SearchButton = 1015,
    StartButton = 1016,
    Zoom1xButton = 1017,
    Zoom5xButton = 1018,
    ZoomResetButton = 1019,
    PtzUpButton = 1020,
    PtzLeftButton = 1021,
    PtzDownButton = 1022,
    PtzRightButton = 1023,
    PassButton = 1024,
    NgButton = 1025,
    ConfigButton = 1033,
    NetworkCardCombo = 1035,
    DeviceList = 1094,
    VideoFrame = 1096,
    TestItemGroup = 1103,
    AutoTestGroup = 1104,
    AutoTestItemGroup = 1105,
    ConfigItemGroup = 1106,
    AutoShowCheck = 1107,
    VersionCheckBox = 1108,
    ResultList = 1109,
    VersionEdit = 1115,
    FormatHintLabel = 1117,
    NetworkCardLabel = 1118,
    LightModeCombo = 1119,
    LampCombo = 1120,
    DirectionCombo = 1121,
    TfCardLabel = 1122,
    TfCardValue = 1123,
    MicConfigCheck = 1124,
    SpeakerConfigCheck = 1125,
    AutoConfigCheck = 1126,
    UidLabel = 1127,
    UidValue = 1128,
    PidLabel = 1129,
    PidValue = 1130,
    QrCodeLabel = 1131,
    QrCodeFrame = 1132,
};

// The test controls that a session enables and disables as a group, in the order in which
// they are always disabled.
inline constexpr int kTestControls[13] = {
    IrcutOpenButton, IrcutCloseButton, SpeakerButton, MicButton, WhiteLightButton, InfraredLampButton,
    Zoom1xButton, Zoom5xButton, ZoomResetButton, PtzUpButton, PtzLeftButton, PtzRightButton, PtzDownButton,
};

} // namespace ipctest_ids
