// The camera's parameters read back into the dialog: the full readback of every setting, the
// figure readback of the 24 region, exclude-region and line slots, and the calibration that the
// dialog turns while the user watches.
#include <gtest/gtest.h>

#include <algorithm>

#include "settings/figure_points.h"
#include "settings/settings_fixture.h"

namespace settings_test {
namespace {

using lumo_camera::Fault;
using qo::sdk::ErrorCode;
using Texts = std::vector<std::string>;

constexpr char kEmptyFull[] = "{\"figure\":null,\"label\":\"\",\"showOnCamera\":false}";
constexpr char kEmpty[] = "{\"figure\":null}";

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

/** The camera parameter of a dialog setting: the slot digit counts from 0. */
std::string cameraName(std::string name) {
    if (!name.empty() && name.back() >= '1' && name.back() <= '9')
        --name.back();
    return name;
}

double quotient(float number, float size) {
    return static_cast<double>(number / size);
}

class ReadbackTest : public SettingsRoadTest {
protected:
    explicit ReadbackTest(int block) : SettingsRoadTest(block) {}

    void set(const std::string& name, const std::string& value) {
        camera->parameters().set(name, value);
    }

    /** Stores a figure as the camera keeps it after a write of its position. */
    void draw(const std::string& positionName, const std::string& text) {
        ASSERT_EQ(lumo_camera::ParameterTable::WriteResult::ok,
                  camera->parameters().write(positionName, text));
    }

    /** A full readback of these settings, as the first settings of a camera bring it. */
    Answer fullReadback(const Values& settings) {
        const Answer answer = adopt(settings);
        settle();
        return answer;
    }
};

class FullReadback : public ReadbackTest {
protected:
    FullReadback() : ReadbackTest(34) {}
};

TEST_F(FullReadback, WholeModelComesBackInTheDialogsForms) {
    set("AIX_TAMPERING_ENABLE", "0");
    set("AIX_PERSON_SENSITIVITY", "3");
    set("AIX_EXCLUDE_REGION_TYPE1", "1");
    set("AIX_REGION_EVENT_STAYDURATION0", "600");
    set("AIX_REGION_EVENT_CAR_EXIT1", "1");
    set("AIX_LINE_COUNTOSD_STRING1", "Door %L2%");
    set("AIX_LINE_COUNTOSD_COLOR0", "9");
    set("AIX_LINE_DAILYRESET_MIN", "45");
    draw("AIX_REGION_POSITION11", "100,100,500,100,500,500,100,500");
    set("AIX_REGION_ENABLE1", "1");
    set("AIX_REGION_DISPLAY_ENABLE1", "1");
    draw("AIX_LINE_POSITION00", "100,200,500,600,900,200");
    set("AIX_LINE_ENABLE0", "1");
    set("AIX_LINE_DIRECTION0", "1");
    camera->parameters().reportInParts(
        "AIX_EXCLUDE_REGION_CURRENT_POSITION1",
        {"0,100,300,100,300,300,0,300", "0,600,300,600,300,800,0,800", "500,999,600,999,600,900"});

    const Answer answer = fullReadback(modelUnderTest());

    EXPECT_EQ(ErrorCode::noError, answer.code);
    ASSERT_TRUE(answer.hasResponse);
    const Values changedOnCamera{
        {"AIX_TAMPERING_ENABLE", "false"},      {"AIX_PERSON_SENSITIVITY", "3"},
        {"AIX_EXCLUDE_REGION_TYPE2", "Spot"},   {"AIX_REGION_EVENT_STAYDURATION1", "600"},
        {"AIX_REGION_EVENT_CAR_EXIT2", "true"}, {"AIX_LINE_COUNTOSD_STRING2", "Door %L2%"},
        {"AIX_LINE_COUNTOSD_COLOR1", "9"},      {"AIX_LINE_DAILYRESET_MIN", "45"},
        {"AIX_REGION_ENABLE2", "true"},         {"AIX_LINE_ENABLE1", "true"}};
    // Calibration and highlight stay in the plugin; display types that the camera shows as the
    // plugin already does are not reported.
    const Texts unreported{"TS_CALIBRATION", "HL_DURATION", "AIX_PERSON_DISPLAY_TYPE",
                           "AIX_BICYCLE_DISPLAY_TYPE", "AIX_CAR_DISPLAY_TYPE"};

    for (const auto& [name, modelDefault] : modelUnderTest()) {
        SCOPED_TRACE(name);
        const auto reported = answer.values.find(name);
        if (std::find(unreported.begin(), unreported.end(), name) != unreported.end()) {
            EXPECT_EQ(answer.values.end(), reported);
            continue;
        }
        ASSERT_NE(answer.values.end(), reported);
        const std::string& value = reported->second;
        if (changedOnCamera.count(name) != 0) {
            EXPECT_EQ(changedOnCamera.at(name), value);
        } else if (contains(name, "POSITION")) {
            if (name != "AIX_REGION_POSITION2" && name != "AIX_LINE_POSITION1" &&
                name != "AIX_EXCLUDE_REGION_POSITION2") {
                EXPECT_EQ(kEmptyFull, value);
            }
        } else if (startsWith(name, "AIX_LINE_COUNTOSD_STRING")) {
            EXPECT_EQ("%L" + name.substr(name.size() - 1) + "%", value);
        } else if (name != "AIX_OBJECT_DETECTION_SIZE" && name != "AIX_EXCLUDE_REGION_ENABLE2") {
            // A camera at its defaults reads back as the dialog's defaults.
            EXPECT_EQ(modelDefault, value);
        }
    }
    EXPECT_EQ(modelUnderTest().size() - unreported.size(), answer.values.size());

    const auto region = parsed(answer.values.at("AIX_REGION_POSITION2"));
    EXPECT_TRUE(hasPoints(region, "100,100,500,100,500,500,100,500"));
    EXPECT_EQ(true, region.value("showOnCamera", false));
    EXPECT_FALSE(region["figure"].contains("direction"));

    const auto line = parsed(answer.values.at("AIX_LINE_POSITION1"));
    EXPECT_TRUE(hasPoints(line, "100,200,500,600,900,200"));
    EXPECT_EQ("left", line["figure"].value("direction", ""));
    EXPECT_EQ(false, line.value("showOnCamera", true)) << "enabled, but not displayed";

    // Disabled on the camera: reported off, and its display is switched off too.
    const auto excluded = parsed(answer.values.at("AIX_EXCLUDE_REGION_POSITION2"));
    EXPECT_TRUE(hasPoints(excluded,
                          "0,300,0,100,300,100,300,300,0,300,0,600,0,800,0,600,300,600,"
                          "300,800,0,800,0,999,500,999,600,999,600,900,500,999,999,999"));
    EXPECT_EQ(false, excluded.value("showOnCamera", true));
    EXPECT_EQ("false", answer.values.at("AIX_EXCLUDE_REGION_ENABLE2"));
    EXPECT_EQ((Texts{"AIX_EXCLUDE_REGION_DISPLAY_ENABLE1=0"}), writeTexts());

    const auto size = parsed(answer.values.at("AIX_OBJECT_DETECTION_SIZE"));
    EXPECT_EQ(nlohmann::json::parse("[[0.0,0.0],[1.0,1.0]]"), size["positions"]);
    EXPECT_EQ(nlohmann::json::array({quotient(23, 3840), quotient(21, 2160)}), size["minimum"]);
    EXPECT_EQ(nlohmann::json::parse("[1.0,1.0]"), size["maximum"]);

    // Every reported value is now the agent's known value.
    const Values known = agent().knownSettingsCopy();
    for (const auto& [name, value] : answer.values)
        EXPECT_EQ(value, known.at(name)) << name;
    EXPECT_EQ("0", known.at("TS_CALIBRATION"));

    // One read per setting under its camera name; a drawn slot reads its enable once more.
    const auto counts = readCounts();
    const auto readCount = [&counts](const std::string& parameter) {
        const auto it = counts.find(parameter);
        return it == counts.end() ? size_t{0} : it->second;
    };
    const Texts readTwice{"AIX_REGION_ENABLE1", "AIX_LINE_ENABLE0", "AIX_EXCLUDE_REGION_ENABLE1"};
    for (const auto& [name, value] : modelUnderTest()) {
        SCOPED_TRACE(name);
        const std::string parameter = cameraName(name);
        if (!startsWith(name, "AIX") || startsWith(name, "AIX_LINE_COUNT_RESET")) {
            EXPECT_EQ(0u, readCount(name) + readCount(parameter));
        } else if (contains(name, "POSITION")) {
            std::string current = parameter;
            current.replace(current.find("POSITION"), 8, "CURRENT_POSITION");
            EXPECT_EQ(1u, readCount(current));
        } else {
            const bool drawn =
                std::find(readTwice.begin(), readTwice.end(), parameter) != readTwice.end();
            EXPECT_EQ(drawn ? 2u : 1u, readCount(parameter));
        }
    }
    // Empty slots end at their position: no display or direction is read for them.
    EXPECT_EQ(0u, readCount("AIX_REGION_DISPLAY_ENABLE0"));
    EXPECT_EQ(0u, readCount("AIX_LINE_DIRECTION1"));
    EXPECT_EQ(1u, readCount("AIX_LINE_DIRECTION0"));
}

TEST_F(FullReadback, ResetsAreOffWithoutARequestAndOtherNamesAreLeftAlone) {
    set("AIX_PERSON_SENSITIVITY", "2");

    const Answer answer = fullReadback(
        {{"AIX_LINE_COUNT_RESET1", "true"}, {"AIX_PERSON_SENSITIVITY", "0"}, {"VENDOR_NOTE", "x"}});

    EXPECT_EQ((Values{{"AIX_LINE_COUNT_RESET1", "false"}, {"AIX_PERSON_SENSITIVITY", "2"}}),
              answer.values);
    EXPECT_EQ(1u, reads().size());
    EXPECT_EQ("false", agent().knownSettingsCopy().at("AIX_LINE_COUNT_RESET1"));
}

TEST_F(FullReadback, RegionTypeIsRegionOrSpotAndNothingElse) {
    set("AIX_EXCLUDE_REGION_TYPE0", "1");
    set("AIX_EXCLUDE_REGION_TYPE1", "2");

    const Answer answer =
        fullReadback(defaultsOf({"AIX_EXCLUDE_REGION_TYPE1", "AIX_EXCLUDE_REGION_TYPE2"}));

    EXPECT_EQ((Values{{"AIX_EXCLUDE_REGION_TYPE1", "Spot"}}), answer.values);
}

TEST_F(FullReadback, BooleansAreAnyWholeNumberAndALostValueIsLeftOut) {
    set("AIX_REGION_ENABLE0", "7");
    set("AIX_REGION_ENABLE1", "0");
    set("AIX_REGION_ENABLE2", "on");
    set("AIX_REGION_ENABLE3", "99999999999");
    camera->addFault(Fault(Fault::Kind::noEqualSign, "AIX_REGION_ENABLE4"));
    camera->addFault(Fault(Fault::Kind::wrongCredentials, "AIX_REGION_ENABLE5"));

    const Answer answer = fullReadback(
        defaultsOf({"AIX_REGION_ENABLE1", "AIX_REGION_ENABLE2", "AIX_REGION_ENABLE3",
                    "AIX_REGION_ENABLE4", "AIX_REGION_ENABLE5", "AIX_REGION_ENABLE6"}));

    EXPECT_EQ((Values{{"AIX_REGION_ENABLE1", "true"},
                      {"AIX_REGION_ENABLE2", "false"},
                      {"AIX_REGION_ENABLE5", "false"}}),
              answer.values)
        << "a reply without \"=\" reads as 0; text and out-of-range numbers and refused reads "
           "are left out";
}

TEST_F(FullReadback, DisplayTypeIsReportedWhenItChangesTheClassSwitch) {
    set("AIX_BICYCLE_DISPLAY_TYPE", "0");

    Answer answer = fullReadback(defaultsOf({"AIX_BICYCLE_DISPLAY_TYPE", "AIX_CAR_DISPLAY_TYPE"}));
    EXPECT_EQ((Values{{"AIX_BICYCLE_DISPLAY_TYPE", "0"}}), answer.values);

    set("AIX_BICYCLE_DISPLAY_TYPE", "1");
    pushVideo(1920, 1080);
    answer = pluginSide();
    EXPECT_EQ((Values{{"AIX_BICYCLE_DISPLAY_TYPE", "1"}}), answer.values);

    pushVideo(1280, 720);
    EXPECT_TRUE(pluginSide().values.empty()) << "bicycles are shown already";
}

TEST_F(FullReadback, ObjectSizeComesBackAsFractionsOfTheVideoFrame) {
    set("AIX_OBJECT_DETECTION_SIZE", "192,108,12,12,1728,972,1920,540");
    pushVideo(1920, 1080);

    const Answer answer = fullReadback(defaultsOf({"AIX_OBJECT_DETECTION_SIZE"}));

    const auto size = parsed(answer.values.at("AIX_OBJECT_DETECTION_SIZE"));
    EXPECT_EQ(
        nlohmann::json::array({nlohmann::json::array({quotient(192, 1920), quotient(108, 1080)}),
                               nlohmann::json::array({quotient(1728, 1920), quotient(972, 1080)})}),
        size["positions"]);
    EXPECT_EQ(nlohmann::json::array({quotient(12, 1920), quotient(12, 1080)}), size["minimum"]);
    EXPECT_EQ(nlohmann::json::array({1.0, 0.5}), size["maximum"]);
    EXPECT_NEAR(0.1, size["positions"][0][0].get<double>(), 1e-7);
    EXPECT_NEAR(0.0111111, size["minimum"][1].get<double>(), 1e-7);
}

TEST_F(FullReadback, ObjectSizeOfOtherThanEightNumbersIsLeftOut) {
    set("AIX_OBJECT_DETECTION_SIZE", "192,108,12,12,1728,972,1920");
    EXPECT_TRUE(fullReadback(defaultsOf({"AIX_OBJECT_DETECTION_SIZE"})).values.empty());

    set("AIX_OBJECT_DETECTION_SIZE", "192,108,12,12,1728,972,1920,540,1");
    pushVideo(1920, 1080);
    EXPECT_TRUE(pluginSide().values.empty());

    set("AIX_OBJECT_DETECTION_SIZE", "a,b,c,d,e,f,g,h");
    pushVideo(1280, 720);
    EXPECT_TRUE(pluginSide().values.empty());
}

TEST_F(FullReadback, RegionAndLineRepliesInSeveralPartsAreJoined) {
    camera->parameters().reportInParts(
        "AIX_REGION_CURRENT_POSITION2",
        {"0,100,300,100,300,300,0,300", "0,600,300,600,300,800,0,800"});
    camera->parameters().reportInParts("AIX_LINE_CURRENT_POSITION1",
                                       {"500,200,999,300", "500,0,600,400"});
    set("AIX_REGION_ENABLE2", "1");
    set("AIX_LINE_ENABLE1", "1");
    set("AIX_LINE_DISPLAY_ENABLE1", "1");

    const Answer answer = fullReadback(defaultsOf({"AIX_REGION_POSITION3", "AIX_LINE_POSITION2"}));

    EXPECT_TRUE(hasPoints(parsed(answer.values.at("AIX_REGION_POSITION3")),
                          "0,300,0,100,300,100,300,300,0,300,0,600,300,600,300,800,0,800,0,600"));
    const auto line = parsed(answer.values.at("AIX_LINE_POSITION2"));
    EXPECT_TRUE(hasPoints(line, "500,200,999,300,999,0,500,0,600,400"));
    EXPECT_EQ("right", line["figure"].value("direction", ""));
    EXPECT_EQ(true, line.value("showOnCamera", false));
}

TEST_F(FullReadback, OkForTheCurrentPositionFallsBackToTheStoredOne) {
    draw("AIX_REGION_POSITION11", "100,100,500,100,500,500");
    draw("AIX_LINE_POSITION00", "100,200,500,600");
    for (const char* name : {"AIX_REGION_CURRENT_POSITION1", "AIX_LINE_CURRENT_POSITION0",
                             "AIX_EXCLUDE_REGION_CURRENT_POSITION2"}) {
        camera->addFault(Fault(Fault::Kind::okReply, name));
    }

    const Answer answer = fullReadback(
        defaultsOf({"AIX_REGION_POSITION2", "AIX_LINE_POSITION1", "AIX_EXCLUDE_REGION_POSITION3"}));

    EXPECT_TRUE(
        hasPoints(parsed(answer.values.at("AIX_REGION_POSITION2")), "100,100,500,100,500,500"));
    EXPECT_TRUE(hasPoints(parsed(answer.values.at("AIX_LINE_POSITION1")), "100,200,500,600"));
    EXPECT_EQ(kEmptyFull, answer.values.at("AIX_EXCLUDE_REGION_POSITION3"));
    EXPECT_EQ(1u, readsOf("AIX_REGION_POSITION1"));
    EXPECT_EQ(1u, readsOf("AIX_LINE_POSITION0"));
}

TEST_F(FullReadback, EnableAndDisplayDecideWhetherTheFigureShows) {
    const std::string square = "100,100,500,100,500,500,100,500";
    for (int slot = 2; slot <= 6; ++slot)
        draw("AIX_REGION_POSITION" + std::to_string(slot) + std::to_string(slot), square);
    set("AIX_REGION_ENABLE2", "0");  // Disabled though displayed.
    set("AIX_REGION_DISPLAY_ENABLE2", "1");
    set("AIX_REGION_ENABLE3", "1");  // Enabled, not displayed.
    set("AIX_REGION_DISPLAY_ENABLE3", "0");
    set("AIX_REGION_ENABLE4", "1");  // Enabled and displayed.
    set("AIX_REGION_DISPLAY_ENABLE4", "1");
    camera->addFault(Fault(Fault::Kind::wrongCredentials, "AIX_REGION_ENABLE5"));
    set("AIX_REGION_DISPLAY_ENABLE5", "1");
    camera->addFault(Fault(Fault::Kind::wrongCredentials, "AIX_REGION_ENABLE6"));
    camera->addFault(Fault(Fault::Kind::wrongCredentials, "AIX_REGION_DISPLAY_ENABLE6"));

    const Answer answer = fullReadback(
        defaultsOf({"AIX_REGION_POSITION3", "AIX_REGION_POSITION4", "AIX_REGION_POSITION5",
                    "AIX_REGION_POSITION6", "AIX_REGION_POSITION7"}));

    const auto shows = [&](const std::string& name) {
        const auto value = parsed(answer.values.at(name));
        return value.contains("showOnCamera") ? value["showOnCamera"].dump() : "missing";
    };
    EXPECT_EQ("false", shows("AIX_REGION_POSITION3"));
    EXPECT_EQ("false", answer.values.at("AIX_REGION_ENABLE3"));
    EXPECT_EQ((Texts{"AIX_REGION_DISPLAY_ENABLE2=0"}), writeTexts());
    EXPECT_EQ("0", camera->parameters().read("AIX_REGION_DISPLAY_ENABLE2"));

    EXPECT_EQ("false", shows("AIX_REGION_POSITION4"));
    EXPECT_EQ("true", answer.values.at("AIX_REGION_ENABLE4"));
    EXPECT_EQ("true", shows("AIX_REGION_POSITION5"));
    EXPECT_EQ("true", answer.values.at("AIX_REGION_ENABLE5"));

    EXPECT_EQ("true", shows("AIX_REGION_POSITION6"))
        << "the display decides when the enable is lost";
    EXPECT_EQ(0u, answer.values.count("AIX_REGION_ENABLE6"));
    EXPECT_TRUE(hasPoints(parsed(answer.values.at("AIX_REGION_POSITION7")), square));
    EXPECT_EQ("missing", shows("AIX_REGION_POSITION7"));
}

TEST_F(FullReadback, LineDirectionIsLeftForAnyNonZeroAndAMissingOneIsLeftOut) {
    for (int slot = 0; slot <= 3; ++slot)
        draw("AIX_LINE_POSITION" + std::to_string(slot) + std::to_string(slot), "100,100,900,900");
    set("AIX_LINE_DIRECTION0", "2");
    set("AIX_LINE_DIRECTION1", "0");
    camera->addFault(Fault(Fault::Kind::wrongCredentials, "AIX_LINE_DIRECTION2"));
    set("AIX_LINE_DIRECTION3", "west");
    set("AIX_LINE_ENABLE3", "1");

    const Answer answer =
        fullReadback(defaultsOf({"AIX_LINE_POSITION1", "AIX_LINE_POSITION2", "AIX_LINE_POSITION3",
                                 "AIX_LINE_POSITION4", "AIX_TAMPERING_ENABLE"}));

    EXPECT_EQ("left", parsed(answer.values.at("AIX_LINE_POSITION1"))["figure"]["direction"]);
    EXPECT_EQ("right", parsed(answer.values.at("AIX_LINE_POSITION2"))["figure"]["direction"]);
    const auto lost = parsed(answer.values.at("AIX_LINE_POSITION3"));
    EXPECT_TRUE(hasPoints(lost, "100,100,900,900"));
    EXPECT_FALSE(lost["figure"].contains("direction"));
    // A direction that is no number costs the slot its figure and its enable checkbox.
    EXPECT_EQ(0u, answer.values.count("AIX_LINE_POSITION4"));
    EXPECT_EQ(0u, answer.values.count("AIX_LINE_ENABLE4"));
    EXPECT_EQ("true", answer.values.at("AIX_TAMPERING_ENABLE"));
}

TEST_F(FullReadback, SlotWithoutEqualSignReadsAsEmpty) {
    camera->addFault(Fault(Fault::Kind::noEqualSign, "AIX_REGION_CURRENT_POSITION0"));
    draw("AIX_REGION_POSITION00", "100,100,500,100,500,500");

    const Answer answer = fullReadback(defaultsOf({"AIX_REGION_POSITION1"}));

    EXPECT_EQ(kEmptyFull, answer.values.at("AIX_REGION_POSITION1"));
    EXPECT_EQ(0u, readsOf("AIX_REGION_ENABLE0"));
}

TEST_F(FullReadback, CalibrationAndHighlightComeFromTheServersValues) {
    const Answer answer = fullReadback({{"TS_CALIBRATION", "-2"}, {"HL_DURATION", "60"}});

    EXPECT_TRUE(answer.hasResponse);
    EXPECT_TRUE(answer.values.empty());
    EXPECT_TRUE(camera->requests().empty());
    EXPECT_EQ(-100000, agent().timestampOffset());
    EXPECT_EQ(60, agent().highlightDuration());
    EXPECT_EQ("-2", agent().knownSettingsCopy().at("TS_CALIBRATION"));
}

TEST_F(FullReadback, InsideAWriteHoldNothingIsAnsweredAndFiguresFollow) {
    fullReadback(defaultsOf({"AIX_PERSON_SENSITIVITY"}));
    camera->clearRequests();
    agent().setSettingsWriteHold(true);
    pushVideo(1920, 1080);

    const Answer held = pluginSide();
    EXPECT_FALSE(held.hasResponse);
    EXPECT_FALSE(agent().isSettingsRefreshNeeded());
    EXPECT_TRUE(camera->requests().empty());

    const Answer next = pluginSide();
    EXPECT_EQ(24u, next.values.size());
    agent().setSettingsWriteHold(false);
}

class FigureReadback : public ReadbackTest {
protected:
    FigureReadback() : ReadbackTest(35) {}
};

TEST_F(FigureReadback, AllTwentyFourSlotsAreAnsweredAndEmptyOnesStopAtTheirPosition) {
    const Answer answer = pluginSide();

    ASSERT_TRUE(answer.hasResponse);
    ASSERT_EQ(24u, answer.values.size());
    for (const char* kind :
         {"AIX_REGION_POSITION", "AIX_EXCLUDE_REGION_POSITION", "AIX_LINE_POSITION"}) {
        for (int n = 1; n <= 8; ++n)
            EXPECT_EQ(kEmpty, answer.values.at(kind + std::to_string(n))) << kind << n;
    }
    const auto served = reads();
    EXPECT_EQ(24u, served.size());
    for (const Served& one : served)
        EXPECT_TRUE(contains(one.name, "CURRENT_POSITION")) << one.name;
}

TEST_F(FigureReadback, DrawnSlotsFollowTheirEnableAndAreRecorded) {
    draw("AIX_REGION_POSITION00", "100,100,500,100,500,500,100,500");
    set("AIX_REGION_ENABLE0", "1");
    set("AIX_REGION_DISPLAY_ENABLE0", "0");
    draw("AIX_EXCLUDE_REGION_POSITION77", "200,600,600,600,400,900");
    set("AIX_EXCLUDE_REGION_ENABLE7", "0");
    set("AIX_EXCLUDE_REGION_DISPLAY_ENABLE7", "1");
    draw("AIX_LINE_POSITION33", "100,200,500,600,900,200");
    set("AIX_LINE_DIRECTION3", "1");
    camera->addFault(Fault(Fault::Kind::wrongCredentials, "AIX_LINE_ENABLE3"));
    set("AIX_LINE_DISPLAY_ENABLE3", "1");

    const Answer answer = pluginSide();

    EXPECT_EQ(26u, answer.values.size()) << "24 slots and two enable checkboxes";
    const auto region = parsed(answer.values.at("AIX_REGION_POSITION1"));
    EXPECT_TRUE(hasPoints(region, "100,100,500,100,500,500,100,500"));
    EXPECT_EQ(true, region.value("showOnCamera", false)) << "the enable decides, not the display";
    EXPECT_EQ("true", answer.values.at("AIX_REGION_ENABLE1"));

    const auto excluded = parsed(answer.values.at("AIX_EXCLUDE_REGION_POSITION8"));
    EXPECT_EQ(false, excluded.value("showOnCamera", true));
    EXPECT_EQ("false", answer.values.at("AIX_EXCLUDE_REGION_ENABLE8"));
    EXPECT_TRUE(writes().empty()) << "the figure readback switches no display off";

    const auto line = parsed(answer.values.at("AIX_LINE_POSITION4"));
    EXPECT_TRUE(hasPoints(line, "100,200,500,600,900,200"));
    EXPECT_FALSE(line["figure"].contains("direction"));
    EXPECT_EQ(true, line.value("showOnCamera", false));
    EXPECT_EQ(0u, answer.values.count("AIX_LINE_ENABLE4"));
    EXPECT_EQ(0u, readsOf("AIX_LINE_DIRECTION3"));

    const Values known = agent().knownSettingsCopy();
    EXPECT_EQ(answer.values.at("AIX_REGION_POSITION1"), known.at("AIX_REGION_POSITION1"));
    EXPECT_EQ("false", known.at("AIX_EXCLUDE_REGION_ENABLE8"));
}

TEST_F(FigureReadback, RepliesInSeveralPartsAreJoined) {
    camera->parameters().reportInParts(
        "AIX_EXCLUDE_REGION_CURRENT_POSITION0",
        {"0,100,300,100,300,300,0,300", "0,600,300,600,300,800,0,800", "500,999,600,999,600,900"});
    camera->parameters().reportInParts("AIX_LINE_CURRENT_POSITION6",
                                       {"500,200,999,300", "500,0,600,400"});

    const Answer answer = pluginSide();

    EXPECT_TRUE(hasPoints(
        parsed(answer.values.at("AIX_EXCLUDE_REGION_POSITION1")),
        "0,300,0,100,300,100,300,300,0,300,0,600,0,800,0,600,300,600,300,800,0,800,0,999,500,999,"
        "600,999,600,900,500,999,999,999"));
    EXPECT_TRUE(hasPoints(parsed(answer.values.at("AIX_LINE_POSITION7")),
                          "500,200,999,300,999,0,500,0,600,400"));
}

TEST_F(FigureReadback, OkForACurrentPositionLeavesTheSlotOut) {
    draw("AIX_REGION_POSITION11", "100,100,500,100,500,500");
    camera->addFault(Fault(Fault::Kind::okReply, "AIX_REGION_CURRENT_POSITION1"));

    const Answer answer = pluginSide();

    EXPECT_EQ(23u, answer.values.size());
    EXPECT_EQ(0u, answer.values.count("AIX_REGION_POSITION2"));
    EXPECT_EQ(0u, readsOf("AIX_REGION_POSITION1"));
}

TEST_F(FigureReadback, SlotWhoseDisplayIsNoNumberIsLeftOut) {
    draw("AIX_LINE_POSITION22", "100,100,900,900");
    camera->addFault(Fault(Fault::Kind::wrongCredentials, "AIX_LINE_ENABLE2"));
    set("AIX_LINE_DISPLAY_ENABLE2", "yes");
    draw("AIX_REGION_POSITION55", "100,100,500,100,500,500");
    set("AIX_REGION_ENABLE5", "1");

    const Answer answer = pluginSide();

    EXPECT_EQ(0u, answer.values.count("AIX_LINE_POSITION3"));
    EXPECT_TRUE(
        hasPoints(parsed(answer.values.at("AIX_REGION_POSITION6")), "100,100,500,100,500,500"));
    EXPECT_EQ(24u, answer.values.size()) << "23 slots and one enable checkbox";
}

TEST_F(FigureReadback, AnsweredWhenNoFullReadbackIsDue) {
    fullReadback(defaultsOf({"AIX_PERSON_SENSITIVITY"}));
    camera->clearRequests();

    const Answer answer = pluginSide();

    EXPECT_EQ(24u, answer.values.size());
    EXPECT_EQ(0u, readsOf("AIX_PERSON_SENSITIVITY"));
}

class ActiveCalibration : public ReadbackTest {
protected:
    ActiveCalibration() : ReadbackTest(36) {}
};

TEST_F(ActiveCalibration, TurningTheCalibrationTakesEffectAtOnce) {
    turnActiveSetting("TS_CALIBRATION", {{"TS_CALIBRATION", "-4"}, {"HL_DURATION", "10"}});

    EXPECT_EQ(-200000, agent().timestampOffset());
    EXPECT_EQ(5, agent().highlightDuration()) << "only the calibration is taken";
    EXPECT_TRUE(camera->requests().empty());

    turnActiveSetting("TS_CALIBRATION", {{"TS_CALIBRATION", "20"}});
    EXPECT_EQ(1000000, agent().timestampOffset());
}

TEST_F(ActiveCalibration, OtherActiveSettingsAndMissingValuesChangeNothing) {
    turnActiveSetting("TS_CALIBRATION", {{"TS_CALIBRATION", "3"}});
    turnActiveSetting("HL_DURATION", {{"TS_CALIBRATION", "7"}});
    turnActiveSetting("TS_CALIBRATION", {{"HL_DURATION", "1"}});

    EXPECT_EQ(150000, agent().timestampOffset());
}

TEST_F(ActiveCalibration, TheServersValuesAreReleasedOnce) {
    const auto values = qo::sdk::makePtr<qo::sdk::StringMap>(Values{{"TS_CALIBRATION", "1"}});
    const auto action = qo::sdk::makePtr<FakeActiveSettingAction>("TS_CALIBRATION", values);
    qo::sdk::Result<const qo::sdk::analytics::IActiveSettingChangedResponse*> result;

    server().doGetSettingsOnActiveSettingChange(&result, action.get());

    EXPECT_EQ(50000, agent().timestampOffset());
    EXPECT_EQ(2, values->refCountThreadUnsafe()) << "the test's and the action's";
}

// A string map as a server may hand one over: in its own order, keys possibly repeated.
class ListStringMap : public qo::sdk::RefCountable<qo::sdk::IStringMap> {
public:
    explicit ListStringMap(std::vector<std::pair<std::string, std::string>> items)
        : m_items(std::move(items)) {}

    int32_t count() const override { return static_cast<int32_t>(m_items.size()); }
    const char* key(int32_t index) const override { return m_items.at(index).first.c_str(); }
    const char* value(int32_t index) const override { return m_items.at(index).second.c_str(); }
    const char* value(const char* key) const override {
        for (const auto& [k, v] : m_items) {
            if (k == key)
                return v.c_str();
        }
        return nullptr;
    }

private:
    const std::vector<std::pair<std::string, std::string>> m_items;
};

TEST(ServerStringMap, LaterDuplicateWinsAndNullIsEmpty) {
    using qo::vms_server_plugins::analytics::lumo::toStdMap;
    const Ptr<const qo::sdk::IStringMap> map(
        new ListStringMap({{"b", "2"}, {"a", "1"}, {"b", "3"}, {"c", ""}}));

    EXPECT_EQ((Values{{"a", "1"}, {"b", "3"}, {"c", ""}}), toStdMap(map));
    EXPECT_TRUE(toStdMap(nullptr).empty());
}

}  // namespace
}  // namespace settings_test
