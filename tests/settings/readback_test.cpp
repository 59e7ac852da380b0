// The camera's parameters read back into the dialog: the full readback of every setting, the
// figure readback of the 24 region, exclude-region and line slots.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <iterator>
#include <sstream>

#include "settings/settings_fixture.h"

namespace settings_test {
namespace {

using Kind = Fault::Kind;
using Json = nlohmann::json;

constexpr char kEmptyFull[] = R"({"figure":null,"label":"","showOnCamera":false})";
constexpr char kEmpty[] = R"({"figure":null})";
const std::string kSize = "AIX_OBJECT_DETECTION_SIZE";

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

/** A reported figure with its points as camera units "x,y,...", or "-" when not reported. */
std::string shape(const Values& reported, const std::string& name) {
    const auto it = reported.find(name);
    if (it == reported.end())
        return "-";
    Json value = Json::parse(it->second, nullptr, false);
    if (value.contains("figure") && value["figure"].is_object()) {
        std::string text;
        for (const auto& point : value["figure"]["points"]) {
            for (const auto& number : point) {
                text += (text.empty() ? "" : ",") +
                        std::to_string(std::lround(number.get<double>() * 1000));
            }
        }
        value["figure"]["points"] = text;
    }
    return value.dump();
}

/** The shape() of a drawn figure; `show` is "true", "false" or "" for none. */
std::string drawn(const std::string& points, const std::string& show,
                  const std::string& direction = "") {
    Json value{{"figure", {{"points", points}}}};
    if (!direction.empty())
        value["figure"]["direction"] = direction;
    if (!show.empty())
        value["showOnCamera"] = show == "true";
    return value.dump();
}

Json fractions(float x, float y, float width, float height) {
    return Json::array({static_cast<double>(x / width), static_cast<double>(y / height)});
}

class FullReadback : public SettingsRoadTest {
protected:
    FullReadback() : SettingsRoadTest(34) {}
};

TEST_F(FullReadback, WholeModelComesBackInTheDialogsFormsWithOneReadPerSetting) {
    // Camera parameter, its value there, the dialog's setting and what the dialog shows; "-" for
    // a value that does not convert and costs its setting alone.
    const std::vector<std::array<std::string, 4>> onCamera{
        {"AIX_TAMPERING_ENABLE", "0", "AIX_TAMPERING_ENABLE", "false"},
        {"AIX_REGION_ENABLE0", "7", "AIX_REGION_ENABLE1", "true"},
        {"AIX_REGION_ENABLE1", "on", "AIX_REGION_ENABLE2", "-"},
        {"AIX_LINE_ENABLE0", "99999999999", "AIX_LINE_ENABLE1", "-"},
        {"AIX_EXCLUDE_REGION_TYPE0", "1", "AIX_EXCLUDE_REGION_TYPE1", "Spot"},
        {"AIX_EXCLUDE_REGION_TYPE1", "2", "AIX_EXCLUDE_REGION_TYPE2", "-"},
        {"AIX_LINE_COUNTOSD_STRING0", "\xff\xfe Gate", "AIX_LINE_COUNTOSD_STRING1",
         "\xff\xfe Gate"},
        {"AIX_BICYCLE_DISPLAY_TYPE", "0", "AIX_BICYCLE_DISPLAY_TYPE", "0"}};
    // Calibration and highlight stay in the plugin; display types that the camera shows as the
    // plugin already does are not reported; a reply without "=" reads as 0.
    Values expected{{"TS_CALIBRATION", "-"},          {"HL_DURATION", "-"},
                    {"AIX_PERSON_DISPLAY_TYPE", "-"}, {"AIX_BICYCLE_DISPLAY_TYPE", "-"},
                    {"AIX_CAR_DISPLAY_TYPE", "-"},    {"AIX_OBJECT_DETECTION_ENABLE", "false"}};
    for (const auto& [parameter, value, name, shown] : onCamera) {
        set(parameter, value);
        expected[name] = shown;
    }
    camera->addFault(Fault(Kind::noEqualSign, "AIX_OBJECT_DETECTION_ENABLE"));
    set(kSize, "192,108,12,12,1728,972,1920,540");
    pushVideo(1920, 1080);
    Values settings = modelDefaults(/*underTest*/ true);
    settings["VENDOR_NOTE"] = "x";
    settings["AIX_LINE_COUNT_RESET1"] = "true";
    settings["TS_CALIBRATION"] = "fast";
    settings["HL_DURATION"] = "60";

    const Answer answer = adopt(settings);

    ASSERT_TRUE(answer.hasResponse);
    std::map<std::string, size_t> reads;
    for (const auto& [parameter, value] : served("/httpapi/ReadParam"))
        ++reads[parameter];
    size_t reported = 0, readable = 0;
    for (const auto& [name, modelDefault] : modelDefaults(/*underTest*/ true)) {
        SCOPED_TRACE(name);
        std::string want = modelDefault;  // A camera at its defaults shows the dialog's.
        if (expected.count(name) != 0)
            want = expected.at(name);
        else if (contains(name, "POSITION"))
            want = kEmptyFull;
        else if (contains(name, "COUNTOSD_STRING"))
            want = "%L" + name.substr(name.size() - 1) + "%";  // The model's "#" is the slot.
        else if (name == kSize)
            want = valueOr(answer.values, name);  // Below, in fractions.
        EXPECT_EQ(want, valueOr(answer.values, name));
        reported += want != "-";
        readable += name.rfind("AIX", 0) == 0 && !contains(name, "COUNT_RESET");
    }
    EXPECT_EQ(reported, answer.values.size());
    // One read per setting that needs the camera, under the camera's name: slots from 0, and of a
    // figure its current position.
    EXPECT_EQ(readable, reads.size());
    for (const auto& [parameter, count] : reads) {
        EXPECT_EQ(1u, count) << parameter;
        EXPECT_NE('8', parameter.back()) << parameter << ": the camera has no slot 8";
        EXPECT_FALSE(contains(parameter, "COUNT_RESET")) << parameter;
        EXPECT_TRUE(!contains(parameter, "POSITION") || contains(parameter, "CURRENT_POSITION"))
            << parameter;
    }
    for (const char* parameter :
         {"AIX_REGION_CURRENT_POSITION0", "AIX_EXCLUDE_REGION_CURRENT_POSITION1",
          "AIX_LINE_CURRENT_POSITION0", "AIX_REGION_ENABLE0", "AIX_REGION_EVENT_CAR_EXIT1",
          "AIX_LINE_COUNTOSD_STRING0", "AIX_LINE_COUNTOSD_COLOR1", "AIX_PERSON_SENSITIVITY",
          "AIX_OBJECT_DETECTION_SIZE", "AIX_LINE_DAILYRESET_MIN"})
        EXPECT_EQ(1u, reads.count(parameter)) << parameter;
    EXPECT_TRUE(writeTexts().empty());

    const Json size = Json::parse(answer.values.at(kSize));
    EXPECT_EQ(Json::array({fractions(192, 108, 1920, 1080), fractions(1728, 972, 1920, 1080)}),
              size["positions"]);
    EXPECT_EQ(fractions(12, 12, 1920, 1080), size["minimum"]);
    EXPECT_EQ(Json::array({1.0, 0.5}), size["maximum"]);
    EXPECT_EQ(0, agent().timestampOffset());
    EXPECT_EQ(60, agent().highlightDuration());
    EXPECT_FALSE(agent().isSettingsRefreshNeeded());
    const Values known = agent().knownSettingsCopy();
    for (const auto& [name, value] : answer.values)
        EXPECT_EQ(value, known.at(name)) << name;
    EXPECT_EQ("fast", known.at("TS_CALIBRATION"));
}

// One figure slot on the camera and what each readback reports for it. Camera values: "" leaves
// the default, "refused" refuses every read of it. The current position's reply: "" for the stored
// figure, "Ok", "no=" for a reply without "=", or parts separated by blanks. Expected: the shape()
// of the figure and the enable checkbox, "-" when not reported, "?" when either is right.
struct SlotCase {
    std::string setting, stored, current, enable, display, direction;
    std::string full, fullEnable, figures, figuresEnable;
    std::string camera;  // The camera's name of the slot's parameters, with @ for the parameter.
};

const std::string kSquare = "100,100,500,100,500,500,100,500";
const std::string kLine = "100,200,500,600,900,200";
const std::string kJoinedExclude =
    "0,300,0,100,300,100,300,300,0,300,0,600,0,800,0,600,300,600,300,800,0,800,0,999,500,999,600,"
    "999,600,900,500,999,999,999";
const std::string kJoinedLine = "500,200,999,300,999,0,500,0,600,400";

const SlotCase kSlots[] = {
    // Enabled, not displayed: the full readback wants both, the figure readback the enable.
    {"AIX_REGION_POSITION1", kSquare, "", "1", "0", "", drawn(kSquare, "false"), "true",
     drawn(kSquare, "true"), "true", "AIX_REGION_@0"},
    // Disabled though displayed: the full readback switches the display off.
    {"AIX_REGION_POSITION3", kSquare, "", "0", "1", "", drawn(kSquare, "false"), "false",
     drawn(kSquare, "false"), "false", "AIX_REGION_@2"},
    // Where the enable is lost the display decides.
    {"AIX_REGION_POSITION5", kSquare, "", "refused", "1", "", drawn(kSquare, "true"), "-",
     drawn(kSquare, "true"), "-", "AIX_REGION_@4"},
    // Older firmware: the full readback falls back to the stored figure, the other leaves it out.
    {"AIX_REGION_POSITION7", kSquare, "Ok", "", "", "", drawn(kSquare, "false"), "false", "-", "-",
     "AIX_REGION_@6"},
    {"AIX_REGION_POSITION8", kSquare, "no=", "", "", "", kEmptyFull, "-", kEmpty, "-",
     "AIX_REGION_@7"},
    {"AIX_EXCLUDE_REGION_POSITION1", "",
     "0,100,300,100,300,300,0,300 0,600,300,600,300,800,0,800 500,999,600,999,600,900", "", "", "",
     drawn(kJoinedExclude, "false"), "false", drawn(kJoinedExclude, "false"), "false",
     "AIX_EXCLUDE_REGION_@0"},
    // Numbers that do not convert cost the slot; its enable is read before its points.
    {"AIX_EXCLUDE_REGION_POSITION4", "", "abc,def", "", "", "", "-", "?", "-", "false",
     "AIX_EXCLUDE_REGION_@3"},
    // Any direction but 0 is left; the figure readback reads none.
    {"AIX_LINE_POSITION1", kLine, "", "1", "", "2", drawn(kLine, "false", "left"), "true",
     drawn(kLine, "true"), "true", "AIX_LINE_@0"},
    {"AIX_LINE_POSITION2", "", "500,200,999,300 500,0,600,400", "1", "1", "",
     drawn(kJoinedLine, "true", "right"), "true", drawn(kJoinedLine, "true"), "true",
     "AIX_LINE_@1"},
};

std::string parameter(const SlotCase& slot, const std::string& part) {
    std::string name = slot.camera;
    return name.replace(name.find('@'), 1, part);
}

// A count without its part is a broken reply: the dialog keeps what it shows rather than an
// empty slot, in both readbacks.
TEST_F(FullReadback, CurrentPositionOfACountWithoutItsPartIsNeitherReportedNorStored) {
    const std::string drawn =
        R"({"figure":{"points":[[0.1,0.1],[0.5,0.1],[0.5,0.5]]},"showOnCamera":true})";
    const Values shown{{"AIX_REGION_POSITION2", drawn},
                       {"AIX_EXCLUDE_REGION_POSITION3", drawn},
                       {"AIX_LINE_POSITION4", drawn}};
    for (const char* current :
         {"AIX_REGION_CURRENT_POSITION1", "AIX_EXCLUDE_REGION_CURRENT_POSITION2",
          "AIX_LINE_CURRENT_POSITION3"}) {
        camera->parameters().reportVerbatim(current, "1");
    }
    const Answer full = adopt(shown);
    EXPECT_EQ(ErrorCode::noError, full.code);
    const Answer figures = pluginSide();
    for (const auto& [name, value] : shown) {
        EXPECT_EQ("-", valueOr(full.values, name)) << name;
        EXPECT_EQ("-", valueOr(figures.values, name)) << name;
        EXPECT_EQ(drawn, valueOr(agent().knownSettingsCopy(), name)) << name;
    }
    EXPECT_EQ(kEmpty, valueOr(figures.values, "AIX_REGION_POSITION1")) << "the others as usual";
}

TEST_F(FullReadback, FigureSlotsComeBackAsTheCameraHoldsThemInBothReadbacks) {
    Texts displaysOff;  // A disabled figure is not drawn on the camera's picture either.
    for (const SlotCase& slot : kSlots) {
        for (const auto& [part, value] : Values{{"ENABLE", slot.enable},
                                                {"DISPLAY_ENABLE", slot.display},
                                                {"DIRECTION", slot.direction}}) {
            if (value == "refused")
                camera->addFault(Fault(Kind::wrongCredentials, parameter(slot, part)));
            else if (!value.empty())
                set(parameter(slot, part), value);
        }
        const std::string stored = parameter(slot, "POSITION");
        if (!slot.stored.empty()) {
            ASSERT_EQ(lumo_camera::ParameterTable::WriteResult::ok,
                      camera->parameters().write(stored + stored.back(), slot.stored));
        }
        const std::string current = parameter(slot, "CURRENT_POSITION");
        if (slot.current == "Ok" || slot.current == "no=") {
            camera->addFault(
                Fault(slot.current == "Ok" ? Kind::okReply : Kind::noEqualSign, current));
        } else if (!slot.current.empty()) {
            std::istringstream parts(slot.current);
            camera->parameters().reportInParts(current,
                                               {std::istream_iterator<std::string>(parts), {}});
        }
        if (slot.fullEnable == "false")
            displaysOff.push_back(parameter(slot, "DISPLAY_ENABLE") + "=0");
    }
    // Every slot as kSlots has it, else empty; besides only enables.
    const auto expectSlots = [&](const Answer& answer, bool full) {
        Values want, got;
        for (const char* kind : {"AIX_REGION_", "AIX_EXCLUDE_REGION_", "AIX_LINE_"}) {
            for (int n = 1; n <= 8; ++n) {
                const std::string name = kind + ("POSITION" + std::to_string(n));
                const std::string enable = kind + ("ENABLE" + std::to_string(n));
                got[name] = shape(answer.values, name);
                got[enable] = valueOr(answer.values, enable);
                want[name] = full ? kEmptyFull : kEmpty;
                want[enable] = "-";
                for (const SlotCase& slot : kSlots) {
                    if (slot.setting != name)
                        continue;
                    want[name] = full ? slot.full : slot.figures;
                    want[enable] = full ? slot.fullEnable : slot.figuresEnable;
                    want[enable] = want[enable] == "?" ? got[enable] : want[enable];
                }
            }
        }
        EXPECT_EQ(want, got);
        size_t reported = 0;
        for (const auto& [name, value] : got)
            reported += value != "-";
        EXPECT_EQ(reported, answer.values.size());
    };

    expectSlots(pluginSide(), /*full*/ false);
    EXPECT_TRUE(writeTexts().empty());
    EXPECT_EQ(0u, readsOf("AIX_REGION_POSITION6")) << "no fallback to the stored position";
    EXPECT_EQ(0u, readsOf("AIX_EXCLUDE_REGION_ENABLE7")) << "an empty slot ends at its position";

    camera->clearRequests();
    Values positions;
    for (const auto& [name, value] : modelDefaults()) {
        if (contains(name, "POSITION"))
            positions[name] = kEmptyFull;
    }
    expectSlots(adopt(positions), /*full*/ true);
    Texts written = writeTexts();
    std::sort(written.begin(), written.end());
    std::sort(displaysOff.begin(), displaysOff.end());
    EXPECT_EQ(displaysOff, written);
    EXPECT_EQ(1u, readsOf("AIX_REGION_POSITION6"));
    EXPECT_EQ(0u, readsOf("AIX_REGION_ENABLE7")) << "a reply without \"=\" is an empty slot";
    EXPECT_EQ(0u, readsOf("AIX_EXCLUDE_REGION_ENABLE7") + readsOf("AIX_LINE_DIRECTION7"));
}

}  // namespace
}  // namespace settings_test
