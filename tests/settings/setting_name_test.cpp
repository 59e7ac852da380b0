// What each dialog setting is taken for, from its name alone, and how its value crosses to the
// camera and back. Names that hold another kind's word ("MIN", "HOUR", "LINE", "DISPLAY", "TYPE")
// in a different role must not be misread.
#include <gtest/gtest.h>

#include <limits>

#include "lumo/setting_name.h"
#include "lumo/setting_values.h"
#include "lumo/settings_numbers.h"
#include "settings/settings_fixture.h"

namespace settings_test {
namespace {

using namespace qo::vms_server_plugins::analytics::lumo;
using K = SettingKind;

struct NameCase {
    const char* name;
    SettingKind kind;
    const char* camera;  // the camera's parameter; for figures the live shape's
    int slot;
};

const NameCase kNames[] = {
    {"AIX_LINE_DAILYRESET_MIN", K::verbatim, "AIX_LINE_DAILYRESET_MIN", 0},
    {"AIX_LINE_DAILYRESET_HOUR", K::verbatim, "AIX_LINE_DAILYRESET_HOUR", 0},
    {"AIX_MINIMUM_SPEED_ENABLE", K::boolean, "AIX_MINIMUM_SPEED_ENABLE", 0},
    {"AIX_HOURLY_REPORT_ENABLE2", K::boolean, "AIX_HOURLY_REPORT_ENABLE1", 2},
    {"AIX_LINE_ENABLE3", K::boolean, "AIX_LINE_ENABLE2", 3},
    {"AIX_LINE_COUNTOSD_X1", K::verbatim, "AIX_LINE_COUNTOSD_X0", 1},
    {"AIX_LINE_COUNTOSD_DISPLAY_EVENT_TYPE4", K::boolean, "AIX_LINE_COUNTOSD_DISPLAY_EVENT_TYPE3",
     4},
    {"AIX_LINE_COUNTOSD_DISPLAY_TIME", K::verbatim, "AIX_LINE_COUNTOSD_DISPLAY_TIME", 0},
    {"AIX_REGION_EVENT_STAYDURATION8", K::verbatim, "AIX_REGION_EVENT_STAYDURATION7", 8},
    {"AIX_EXCLUDE_REGION_TYPE5", K::regionType, "AIX_EXCLUDE_REGION_TYPE4", 5},
    {"AIX_EXCLUDE_REGION_CAR_ENABLE6", K::boolean, "AIX_EXCLUDE_REGION_CAR_ENABLE5", 6},
    {"AIX_CAR_DISPLAY_TYPE", K::displayType, "AIX_CAR_DISPLAY_TYPE", 0},
    {"AIX_LINE_COUNT_RESET_ALL", K::lineResetAll, "AIX_LINE_COUNT_RESET_ALL", 0},
    {"AIX_LINE_COUNT_RESET8", K::lineReset, "AIX_LINE_COUNT_RESET7", 8},
    {"AIX_REGION_POSITION3", K::figure, "AIX_REGION_CURRENT_POSITION2", 3},
    {"AIX_EXCLUDE_REGION_POSITION2", K::figure, "AIX_EXCLUDE_REGION_CURRENT_POSITION1", 2},
    {"AIX_LINE_POSITION4", K::figure, "AIX_LINE_CURRENT_POSITION3", 4},
    {"AIX_REGION_POSITION&A=1&X1", K::figure, "AIX_REGION_CURRENT_POSITION&A=1&X0", 1},
    {"AIX_OBJECT_DETECTION_SIZE", K::objectSize, "AIX_OBJECT_DETECTION_SIZE", 0},
    // Slots are numbers, not last digits; there is no slot 0.
    {"AIX_REGION_ENABLE10", K::boolean, "AIX_REGION_ENABLE9", 10},
    {"AIX_REGION_ENABLE0", K::boolean, "AIX_REGION_ENABLE0", 0},
    {"TS_CALIBRATION", K::calibration, "TS_CALIBRATION", 0},
    {"HL_DURATION", K::highlight, "HL_DURATION", 0},
    {"VMS_LINE_POSITION1", K::pluginOnly, "VMS_LINE_POSITION0", 1},
};

TEST(SettingName, NamesAreReadForWhatTheyAreNotForTheWordsTheyHold) {
    for (const NameCase& c : kNames) {
        const SettingName setting = parseSettingName(c.name);
        EXPECT_EQ(c.kind, setting.kind) << c.name;
        EXPECT_EQ(c.slot, setting.dialogSlot) << c.name;
        EXPECT_EQ(c.camera,
                  c.kind == K::figure ? setting.currentPositionName() : setting.cameraName())
            << c.name;
    }
    EXPECT_EQ(FigureType::excludeRegion, parseSettingName("AIX_EXCLUDE_REGION_POSITION1").figure);
    EXPECT_EQ(FigureType::line, parseSettingName("AIX_LINE_POSITION1").figure);
    EXPECT_EQ(ShownClass::bicycle, parseSettingName("AIX_BICYCLE_DISPLAY_TYPE").shownClass);
    EXPECT_EQ("AIX_LINE_ENABLE5",
              parseSettingName("AIX_LINE_POSITION5").dialogName("AIX_LINE_ENABLE"));
}

// Each setting of the model by its name without the slot; a setting added to the model fails here
// until it is given a kind.
TEST(SettingName, EverySettingOfTheModelHasItsKind) {
    const std::map<std::string, SettingKind> kModel = {
        {"AIX_BICYCLE_DISPLAY_TYPE", K::displayType},
        {"AIX_CAR_DISPLAY_TYPE", K::displayType},
        {"AIX_PERSON_DISPLAY_TYPE", K::displayType},
        {"AIX_BICYCLE_SENSITIVITY", K::verbatim},
        {"AIX_CAR_SENSITIVITY", K::verbatim},
        {"AIX_PERSON_SENSITIVITY", K::verbatim},
        {"AIX_TAMPERING_SENSITIVITY", K::verbatim},
        {"AIX_TAMPERING_DURATION", K::verbatim},
        {"AIX_REGION_EVENT_LOITERINGDURATION", K::verbatim},
        {"AIX_REGION_EVENT_STAYDURATION", K::verbatim},
        {"AIX_LINE_DAILYRESET_HOUR", K::verbatim},
        {"AIX_LINE_DAILYRESET_MIN", K::verbatim},
        {"AIX_LINE_COUNTOSD_COLOR", K::verbatim},
        {"AIX_LINE_COUNTOSD_DISPLAY_TIME", K::verbatim},
        {"AIX_LINE_COUNTOSD_FONTSIZE", K::verbatim},
        {"AIX_LINE_COUNTOSD_STRING", K::verbatim},
        {"AIX_LINE_COUNTOSD_X", K::verbatim},
        {"AIX_LINE_COUNTOSD_Y", K::verbatim},
        {"AIX_EXCLUDE_REGION_TYPE", K::regionType},
        {"AIX_REGION_POSITION", K::figure},
        {"AIX_EXCLUDE_REGION_POSITION", K::figure},
        {"AIX_LINE_POSITION", K::figure},
        {"AIX_OBJECT_DETECTION_SIZE", K::objectSize},
        {"AIX_LINE_COUNT_RESET", K::lineReset},
        {"AIX_LINE_COUNT_RESET_ALL", K::lineResetAll},
        {"TS_CALIBRATION", K::calibration},
        {"HL_DURATION", K::highlight},
    };
    for (const auto& [name, value] : modelDefaults()) {
        const SettingName setting = parseSettingName(name);
        const auto it = kModel.find(setting.stem);
        const SettingKind expected = it == kModel.end() ? K::boolean : it->second;
        EXPECT_EQ(expected, setting.kind) << name;
        EXPECT_EQ(name.back() >= '1' && name.back() <= '8', setting.hasSlot()) << name;
    }
}

struct ValueCase {
    SettingKind kind;
    const char* dialog;
    const char* camera;
    const char* back;  // the dialog's value for `camera`; "!" when it is an error, "-" quietly none
};

const ValueCase kValues[] = {
    {K::boolean, "true", "1", "true"},        {K::boolean, "false", "0", "false"},
    {K::boolean, "7", "7", "true"},           {K::boolean, "x", "x", "!"},
    {K::verbatim, "true", "1", "1"},          {K::verbatim, "%L1%", "%L1%", "%L1%"},
    {K::regionType, "Region", "0", "Region"}, {K::regionType, "Spot", "1", "Spot"},
    {K::regionType, "2", "2", "-"},           {K::displayType, "0", "0", "0"},
    {K::displayType, "false", "1", "1"},      {K::lineReset, "true", "1", "false"},
    {K::lineReset, "on", "0", "false"},
};

TEST(SettingValues, EachKindCrossesToTheCameraAndBack) {
    for (const ValueCase& c : kValues) {
        const ValueConversion& conversion = valueConversion(c.kind);
        EXPECT_EQ(c.camera, conversion.toCamera(c.dialog)) << c.dialog;
        const auto back = conversion.toDialog(c.camera);
        const std::string shown = back ? *back : (conversion.unconvertibleIsError ? "!" : "-");
        EXPECT_EQ(c.back, shown) << c.camera;
    }
}

TEST(SettingNumbers, NumbersAreReadAsTheCLibraryReadsThemWithoutThrowing) {
    const std::pair<const char*, std::optional<int32_t>> kWhole[] = {
        {"42", 42},
        {" \t+12", 12},
        {"-7x", -7},
        {"+-5", std::nullopt},
        {"", std::nullopt},
        {"x1", std::nullopt},
        {"2147483647", 2147483647},
        {"2147483648", std::nullopt},
        {"-2147483648", std::numeric_limits<int32_t>::min()},
        {"- 1", std::nullopt}};
    for (const auto& [text, expected] : kWhole)
        EXPECT_EQ(expected, parseWholeNumber(text)) << text;
    size_t used = 0;
    EXPECT_EQ(3, parseWholeNumber(" 3;1,2", &used));
    EXPECT_EQ(2u, used);
    EXPECT_EQ(1.5F, parseDecimal(" 1.5,2"));
    EXPECT_EQ(-2.0F, parseDecimal("-2"));
    EXPECT_EQ(std::nullopt, parseDecimal("."));
    EXPECT_EQ(std::nullopt, parseDecimal("1e50"));
    EXPECT_EQ(-150000, calibrationOffsetUs("-3"));
    EXPECT_EQ(std::nullopt, calibrationOffsetUs("50000"));
}

}  // namespace
}  // namespace settings_test
