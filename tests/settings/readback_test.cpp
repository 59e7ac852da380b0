// The camera's parameters read back into the dialog: the full readback of every setting, the
// figure readback of the 24 region, exclude-region and line slots, figures drawn in the dialog
// coming back from the camera, and the calibration turned while the user watches.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <iterator>

#include "settings/settings_fixture.h"

namespace settings_test {
namespace {

using Kind = Fault::Kind;
using Json = nlohmann::json;

constexpr char kEmptyFull[] = R"({"figure":null,"label":"","showOnCamera":false})";
constexpr char kEmpty[] = R"({"figure":null})";
const std::string kSize = "AIX_OBJECT_DETECTION_SIZE";
const char* const kFigureKinds[] = {"AIX_REGION_POSITION", "AIX_EXCLUDE_REGION_POSITION",
                                    "AIX_LINE_POSITION"};

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

/** The name under the slot digit one up or down: the dialog counts slots from 1, the camera 0. */
std::string shifted(std::string name, int by) {
    if (!name.empty() && name.back() >= '0' && name.back() <= '9')
        name.back() = static_cast<char>(name.back() + by);
    return name;
}

/** The setting of the same figure slot, `part` in place of "POSITION". */
std::string renamed(std::string name, const std::string& part) {
    const size_t at = name.find("POSITION");
    return at == std::string::npos ? name : name.replace(at, 8, part);
}

std::string cameraName(const std::string& setting, const std::string& part = "POSITION") {
    return shifted(renamed(setting, part), -1);
}

/**
 * The reported value of a figure setting with its points as camera units ("x,y,..."; "~" marks a
 * coordinate that is no whole camera unit), or "-" when it was not reported.
 */
inline std::string shape(const Values& reported, const std::string& name) {
    const auto it = reported.find(name);
    if (it == reported.end())
        return "-";
    nlohmann::json value = nlohmann::json::parse(it->second, nullptr, false);
    const nlohmann::json::json_pointer points("/figure/points");
    if (value.contains(points) && value[points].is_array()) {
        std::string text;
        for (const auto& point : value[points]) {
            for (const auto& number : point) {
                const double units = number.get<double>() * 1000;
                text += (text.empty() ? "" : ",") + std::to_string(std::lround(units)) +
                        (std::abs(units - std::round(units)) > 1e-3 ? "~" : "");
            }
        }
        value[points] = text;
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
    // Camera parameter, its value there, and what the dialog shows under its own slot number;
    // "-" for a value that does not convert and costs its setting alone.
    const std::vector<std::array<std::string, 3>> onCamera{
        {"AIX_TAMPERING_ENABLE", "0", "false"},
        {"AIX_REGION_ENABLE0", "7", "true"},
        {"AIX_REGION_ENABLE1", "on", "-"},
        {"AIX_LINE_ENABLE0", "99999999999", "-"},
        {"AIX_PERSON_SENSITIVITY", "3", "3"},
        {"AIX_EXCLUDE_REGION_TYPE0", "1", "Spot"},
        {"AIX_EXCLUDE_REGION_TYPE1", "2", "-"},
        {"AIX_REGION_EVENT_STAYDURATION0", "600", "600"},
        {"AIX_REGION_EVENT_CAR_EXIT1", "1", "true"},
        {"AIX_LINE_COUNTOSD_STRING0", "\xff\xfe Gate", "\xff\xfe Gate"},
        {"AIX_LINE_DAILYRESET_MIN", "45", "45"}};
    // Calibration and highlight stay in the plugin; display types that the camera shows as the
    // plugin already does are not reported.
    Values expected{{"TS_CALIBRATION", "-"},          {"HL_DURATION", "-"},
                    {"AIX_PERSON_DISPLAY_TYPE", "-"}, {"AIX_BICYCLE_DISPLAY_TYPE", "-"},
                    {"AIX_CAR_DISPLAY_TYPE", "-"},    {"AIX_OBJECT_DETECTION_ENABLE", "false"}};
    for (const auto& [parameter, value, shown] : onCamera) {
        set(parameter, value);
        expected[shifted(parameter, 1)] = shown;
    }
    camera->addFault(Fault(Kind::noEqualSign, "AIX_OBJECT_DETECTION_ENABLE"));  // Reads as 0.
    Values settings = modelUnderTest();
    settings["VENDOR_NOTE"] = "x";
    settings["AIX_LINE_COUNT_RESET1"] = "true";
    settings["TS_CALIBRATION"] = "fast";
    settings["HL_DURATION"] = "60";

    const Answer answer = adopt(settings);

    ASSERT_TRUE(answer.hasResponse);
    size_t reported = 0;
    size_t reads = 0;
    std::map<std::string, size_t> counts;
    for (const auto& [parameter, value] : served("/httpapi/ReadParam"))
        ++counts[parameter];
    for (const auto& [name, modelDefault] : modelUnderTest()) {
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

        // One read per setting, of a figure its current position; none for what needs no camera.
        if (name.rfind("AIX", 0) == 0 && !contains(name, "COUNT_RESET")) {
            const std::string parameter = cameraName(name, "CURRENT_POSITION");
            EXPECT_EQ(1u, counts.count(parameter) != 0 ? counts.at(parameter) : size_t{0});
            ++reads;
        }
    }
    EXPECT_EQ(reported, answer.values.size());
    for (const auto& [parameter, count] : counts)
        reads -= count;
    EXPECT_EQ(0u, reads) << "nothing else is read";
    EXPECT_TRUE(writeTexts().empty());

    const Json size = Json::parse(answer.values.at(kSize));
    EXPECT_EQ(Json::parse("[[0.0,0.0],[1.0,1.0]]"), size["positions"]);
    EXPECT_EQ(fractions(23, 21, 3840, 2160), size["minimum"]) << "a frame is 4K until video says";
    EXPECT_EQ(0, agent().timestampOffset());
    EXPECT_EQ(60, agent().highlightDuration());
    EXPECT_FALSE(agent().isSettingsRefreshNeeded());
    const Values known = agent().knownSettingsCopy();
    for (const auto& [name, value] : answer.values)
        EXPECT_EQ(value, known.at(name)) << name;
    EXPECT_EQ("fast", known.at("TS_CALIBRATION"));
}

TEST_F(FullReadback, ObjectSizeComesBackAsFractionsOfTheFrameOnlyFromEightNumbers) {
    set(kSize, "192,108,12,12,1728,972,1920,540");
    pushVideo(1920, 1080);

    const Json size = Json::parse(adopt(defaultsOf({kSize})).values.at(kSize));

    EXPECT_EQ(Json::array({fractions(192, 108, 1920, 1080), fractions(1728, 972, 1920, 1080)}),
              size["positions"]);
    EXPECT_EQ(fractions(12, 12, 1920, 1080), size["minimum"]);
    EXPECT_EQ(Json::array({1.0, 0.5}), size["maximum"]);
    int32_t width = 1920;
    for (const char* unusable :
         {"192,108,12,12,1728,972,1920,540,1", "inf,0,12,12,1e50,0,1920,1080"}) {
        set(kSize, unusable);
        pushVideo(width = 3200 - width, 720);  // A new frame asks for a full readback.
        EXPECT_TRUE(pluginSide().values.empty()) << unusable;
    }
}

TEST_F(FullReadback, DisplayTypeIsReportedWhereItDiffersFromTheClassSwitch) {
    set("AIX_BICYCLE_DISPLAY_TYPE", "0");
    EXPECT_EQ((Values{{"AIX_BICYCLE_DISPLAY_TYPE", "0"}}),
              adopt(defaultsOf({"AIX_BICYCLE_DISPLAY_TYPE", "AIX_CAR_DISPLAY_TYPE",
                                "AIX_PERSON_DISPLAY_TYPE"}))
                  .values);
    EXPECT_EQ((Texts{"AIX_CAR_DISPLAY_TYPE=0", "AIX_PERSON_DISPLAY_TYPE=1"}),
              writesOf({{"AIX_CAR_DISPLAY_TYPE", "0"}, {"AIX_PERSON_DISPLAY_TYPE", "2"}}));

    set("AIX_BICYCLE_DISPLAY_TYPE", "1");
    set("AIX_CAR_DISPLAY_TYPE", "1");
    pushVideo(1920, 1080);
    EXPECT_EQ((Values{{"AIX_BICYCLE_DISPLAY_TYPE", "1"}, {"AIX_CAR_DISPLAY_TYPE", "1"}}),
              pluginSide().values)
        << "bicycles and cars were switched off, persons not";
    pushVideo(1280, 720);
    EXPECT_TRUE(pluginSide().values.empty()) << "every class is shown already";
}

TEST_F(FullReadback, TurnedCalibrationTakesEffectAtOnceAndNothingElseDoes) {
    turnActiveSetting("TS_CALIBRATION", {{"TS_CALIBRATION", "-4"}, {"HL_DURATION", "10"}});
    EXPECT_EQ(-200000, agent().timestampOffset());
    EXPECT_EQ(5, agent().highlightDuration()) << "only the calibration is taken";
    turnActiveSetting("TS_CALIBRATION", {{"TS_CALIBRATION", "20"}});
    EXPECT_EQ(1000000, agent().timestampOffset());

    turnActiveSetting("HL_DURATION", {{"TS_CALIBRATION", "7"}});
    turnActiveSetting("TS_CALIBRATION", {{"HL_DURATION", "1"}});
    for (const char* unusable : {"", "later", "99999999999", "50000", "-50000"})
        turnActiveSetting("TS_CALIBRATION", {{"TS_CALIBRATION", unusable}});
    EXPECT_EQ(1000000, agent().timestampOffset());
    EXPECT_TRUE(camera->requests().empty());
}

// One figure slot on the camera and what each readback reports for it. Camera values: "" leaves
// the default, "refused" refuses every read of it. The current position's reply: "" for the stored
// figure, "Ok", "no=" for a reply without "=", or parts separated by blanks. Expected: the shape()
// of the figure and the enable checkbox, "-" when not reported, "?" when either is right.
struct SlotCase {
    std::string setting, stored, current, enable, display, direction;
    std::string full, fullEnable, figures, figuresEnable;
};

const std::string kSquare = "100,100,500,100,500,500,100,500";
const std::string kDiagonal = "100,100,900,900";
const std::string kLine = "100,200,500,600,900,200";
const std::string kJoinedExclude =
    "0,300,0,100,300,100,300,300,0,300,0,600,0,800,0,600,300,600,300,800,0,800,0,999,500,999,600,"
    "999,600,900,500,999,999,999";
const std::string kJoinedLine = "500,200,999,300,999,0,500,0,600,400";

const SlotCase kSlots[] = {
    // Enabled, not displayed: the full readback wants both, the figure readback the enable.
    {"AIX_REGION_POSITION1", kSquare, "", "1", "0", "", drawn(kSquare, "false"), "true",
     drawn(kSquare, "true"), "true"},
    // Disabled though displayed: the full readback switches the display off.
    {"AIX_REGION_POSITION3", kSquare, "", "0", "1", "", drawn(kSquare, "false"), "false",
     drawn(kSquare, "false"), "false"},
    // Where the enable is lost the display decides.
    {"AIX_REGION_POSITION5", kSquare, "", "refused", "1", "", drawn(kSquare, "true"), "-",
     drawn(kSquare, "true"), "-"},
    // Older firmware: the full readback falls back to the stored figure, the other leaves it out.
    {"AIX_REGION_POSITION7", kSquare, "Ok", "", "", "", drawn(kSquare, "false"), "false", "-", "-"},
    {"AIX_REGION_POSITION8", kSquare, "no=", "", "", "", kEmptyFull, "-", kEmpty, "-"},
    {"AIX_EXCLUDE_REGION_POSITION1", "",
     "0,100,300,100,300,300,0,300 0,600,300,600,300,800,0,800 500,999,600,999,600,900", "", "", "",
     drawn(kJoinedExclude, "false"), "false", drawn(kJoinedExclude, "false"), "false"},
    // Regions that cannot be joined: empty, or a shape without points.
    {"AIX_EXCLUDE_REGION_POSITION2", "", "100,100,200,200 300,300,400,400", "", "", "", kEmptyFull,
     "-", drawn("", "false"), "false"},
    // Numbers that do not convert cost the slot; its enable is read before its points.
    {"AIX_EXCLUDE_REGION_POSITION4", "", "abc,def", "", "", "", "-", "?", "-", "false"},
    // Any direction but 0 is left; the figure readback reads none.
    {"AIX_LINE_POSITION1", kLine, "", "1", "", "2", drawn(kLine, "false", "left"), "true",
     drawn(kLine, "true"), "true"},
    {"AIX_LINE_POSITION2", "", "500,200,999,300 500,0,600,400", "1", "1", "",
     drawn(kJoinedLine, "true", "right"), "true", drawn(kJoinedLine, "true"), "true"},
    // A lost direction is left out; a direction or display that is no number costs the slot.
    {"AIX_LINE_POSITION4", kDiagonal, "", "refused", "1", "refused", drawn(kDiagonal, "true"), "-",
     drawn(kDiagonal, "true"), "-"},
    {"AIX_LINE_POSITION5", kDiagonal, "", "1", "", "west", "-", "-", drawn(kDiagonal, "true"),
     "true"},
    {"AIX_LINE_POSITION6", kDiagonal, "", "refused", "yes", "", "-", "-", "-", "-"},
    // The stored line reads its direction too.
    {"AIX_LINE_POSITION7", kDiagonal, "Ok", "", "", "", drawn(kDiagonal, "false", "right"), "false",
     "-", "-"},
    // Segments of fewer than four numbers.
    {"AIX_LINE_POSITION8", "", "1,2,3 4,5,6,7", "", "", "", kEmptyFull, "-", drawn("", "false"),
     "false"},
};

class FigureReadback : public FullReadback {
protected:
    /** Every slot as kSlots has it, else empty; besides only enables; all of it now known. */
    void expectSlots(const Answer& answer, bool full) {
        Values want;
        Values got;
        for (const char* kind : kFigureKinds) {
            for (int n = 1; n <= 8; ++n) {
                const std::string name = kind + std::to_string(n);
                const std::string enable = renamed(name, "ENABLE");
                want[name] = full ? kEmptyFull : kEmpty;
                got[name] = shape(answer.values, name);
                got[enable] = valueOr(answer.values, enable);
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
        EXPECT_EQ(answer.values.size(),
                  static_cast<size_t>(std::count_if(
                      got.begin(), got.end(), [](const auto& kv) { return kv.second != "-"; })));
        const Values known = agent().knownSettingsCopy();
        for (const auto& [name, value] : answer.values)
            EXPECT_EQ(value, known.at(name)) << name;
    }
};

TEST_F(FigureReadback, SlotsComeBackAsTheCameraHoldsThemInBothReadbacks) {
    Values positions;
    Texts displaysOff;  // A disabled figure is not drawn on the camera's picture either.
    for (const SlotCase& slot : kSlots) {
        for (const auto& [part, value] : Values{{"ENABLE", slot.enable},
                                                {"DISPLAY_ENABLE", slot.display},
                                                {"DIRECTION", slot.direction}}) {
            if (value == "refused")
                camera->addFault(Fault(Kind::wrongCredentials, cameraName(slot.setting, part)));
            else if (!value.empty())
                set(cameraName(slot.setting, part), value);
        }
        if (!slot.stored.empty()) {
            ASSERT_EQ(lumo_camera::ParameterTable::WriteResult::ok,
                      camera->parameters().write(
                          cameraName(slot.setting) + cameraName(slot.setting).back(), slot.stored));
        }
        const std::string current = cameraName(slot.setting, "CURRENT_POSITION");
        if (slot.current == "Ok" || slot.current == "no=") {
            camera->addFault(
                Fault(slot.current == "Ok" ? Kind::okReply : Kind::noEqualSign, current));
        } else if (!slot.current.empty()) {
            std::istringstream parts(slot.current);
            camera->parameters().reportInParts(current,
                                               {std::istream_iterator<std::string>(parts), {}});
        }
        if (slot.fullEnable == "false")
            displaysOff.push_back(cameraName(slot.setting, "DISPLAY_ENABLE") + "=0");
    }

    expectSlots(pluginSide(), /*full*/ false);
    EXPECT_TRUE(writeTexts().empty());
    EXPECT_EQ(0u, readsOf("AIX_LINE_DIRECTION0"));
    EXPECT_EQ(0u, readsOf("AIX_REGION_POSITION6")) << "no fallback to the stored position";
    EXPECT_EQ(0u, readsOf("AIX_EXCLUDE_REGION_ENABLE7")) << "an empty slot ends at its position";

    camera->clearRequests();
    for (const char* kind : kFigureKinds) {
        for (int n = 1; n <= 8; ++n)
            positions[kind + std::to_string(n)] = kEmptyFull;
    }
    expectSlots(adopt(positions), /*full*/ true);
    Texts written = writeTexts();
    std::sort(written.begin(), written.end());
    std::sort(displaysOff.begin(), displaysOff.end());
    EXPECT_EQ(displaysOff, written);
    EXPECT_EQ(1u, readsOf("AIX_LINE_DIRECTION0"));
    EXPECT_EQ(2u, readsOf("AIX_REGION_POSITION6") + readsOf("AIX_LINE_POSITION6"));
    EXPECT_EQ(0u, readsOf("AIX_REGION_ENABLE7")) << "a reply without \"=\" is an empty slot";
    EXPECT_EQ(0u, readsOf("AIX_EXCLUDE_REGION_ENABLE7") + readsOf("AIX_LINE_DIRECTION7"));
}

TEST_F(FigureReadback, DrawnFiguresComeBackClockwiseAndClearedOnesEmpty) {
    // Drawn counter-clockwise; clockwise from a point not the nearest to the top left; a line.
    const Values drawnInDialog{
        {"AIX_REGION_POSITION1",
         figureJson({{0.1, 0.1}, {0.1, 0.5}, {0.5, 0.5}, {0.5, 0.1}}, true)},
        {"AIX_REGION_POSITION2",
         figureJson({{0.6, 0.2}, {0.9, 0.4}, {0.8, 0.8}, {0.4, 0.8}, {0.3333, 0.4}}, true)},
        {"AIX_EXCLUDE_REGION_POSITION3", figureJson({{0.2, 0.6}, {0.4, 0.9}, {0.6, 0.6}}, true)},
        {"AIX_LINE_POSITION5",
         figureJson({{0.95, 0.5}, {0.5, 0.45}, {0.05, 0.5}, {0.0, 1.0}}, true, "left")}};
    std::vector<std::string> settings;
    Values enabled;
    for (const auto& [name, value] : drawnInDialog) {
        settings.insert(settings.end(), {name, renamed(name, "ENABLE")});
        enabled[settings.back()] = "true";
    }
    start(settings);
    writesOf(enabled);
    writesOf(drawnInDialog);

    const Answer figures = pluginSide();
    pushVideo(1920, 1080);
    const Answer full = pluginSide();
    for (const auto& [name, points] :
         Values{{"AIX_REGION_POSITION1", kSquare},
                {"AIX_REGION_POSITION2", "600,200,900,400,800,800,400,800,333,400"},
                {"AIX_EXCLUDE_REGION_POSITION3", "200,600,600,600,400,900"},
                {"AIX_LINE_POSITION5", "950,500,500,450,50,500,0,1000"}}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(drawn(points, "true"), shape(figures.values, name));
        EXPECT_EQ(drawn(points, "true", contains(name, "LINE") ? "left" : ""),
                  shape(full.values, name));
    }

    writesOf({{"AIX_REGION_POSITION2", kEmpty}});
    EXPECT_EQ(kEmpty, pluginSide().values.at("AIX_REGION_POSITION2"));
    pushVideo(1280, 720);
    EXPECT_EQ(kEmptyFull, pluginSide().values.at("AIX_REGION_POSITION2"));
}

}  // namespace
}  // namespace settings_test
