// The settings road while everything happens at once, and against a camera that never answers.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "settings/settings_fixture.h"

namespace settings_test {
namespace {

using namespace std::chrono_literals;
using lumo_camera::Fault;
using qo::sdk::makePtr;
using qo::sdk::Result;

class SettingsUnderLoad : public SettingsRoadTest {
protected:
    SettingsUnderLoad() : SettingsRoadTest(39) {}
};

TEST_F(SettingsUnderLoad, ReadbacksWhileSettingsChangeAndDocumentsFlow) {
    const Values base = defaultsOf(
        {"AIX_PERSON_SENSITIVITY", "AIX_PERSON_DISPLAY_TYPE", "AIX_CAR_DISPLAY_TYPE",
         "AIX_REGION_ENABLE1", "AIX_REGION_POSITION1", "AIX_LINE_POSITION2",
         "AIX_OBJECT_DETECTION_SIZE", "AIX_TAMPERING_ENABLE", "TS_CALIBRATION", "HL_DURATION"});
    adopt(base);
    settle();
    const std::string frame = sampleDocument("frame-persons-vehicles.xml");
    const std::string report = sampleDocument("event-ai-settings-changed.xml");
    ASSERT_FALSE(frame.empty());
    ASSERT_FALSE(report.empty());

    std::thread dialog([&] {
        for (int i = 0; i < 12; ++i) {
            pushVideo(i % 2 == 0 ? 1920 : 1280, i % 2 == 0 ? 1080 : 720);
            Result<const qo::sdk::ISettingsResponse*> result;
            server().getPluginSideSettings(&result);
            if (result.value)
                result.value->releaseRef();
        }
    });
    std::thread user([&] {
        Values values = base;
        for (int i = 0; i < 12; ++i) {
            values["AIX_PERSON_SENSITIVITY"] = std::to_string(i % 4);
            values["AIX_CAR_DISPLAY_TYPE"] = std::to_string(i % 2);
            values["TS_CALIBRATION"] = std::to_string(i - 6);
            values["HL_DURATION"] = std::to_string(i);
            values["AIX_REGION_POSITION1"] =
                figureJson({{0.1, 0.1}, {0.5, 0.1 + i * 0.01}, {0.5, 0.5}}, i % 2 == 0);
            const auto map = makePtr<qo::sdk::StringMap>(values);
            Result<const qo::sdk::ISettingsResponse*> result;
            server().doSetSettings(&result, map.get());
            if (result.value)
                result.value->releaseRef();
        }
    });
    std::thread calibration([&] {
        for (int i = 0; i < 12; ++i)
            turnActiveSetting("TS_CALIBRATION", {{"TS_CALIBRATION", std::to_string(i % 5)}});
    });
    for (int i = 0; i < 30; ++i)
        pushDocument(i % 3 == 0 ? report : frame);
    dialog.join();
    user.join();
    calibration.join();
    settle();

    const Answer answer = pluginSide();
    EXPECT_TRUE(answer.hasResponse);
    EXPECT_GE(answer.values.size(), 24u);
}

TEST_F(SettingsUnderLoad, HangingCameraCostsAFullReadbackAboutOneRequestTimeOut) {
    camera->addFault(Fault(Fault::Kind::hang));

    const auto start = std::chrono::steady_clock::now();
    const Answer answer = adopt(modelUnderTest());
    const auto elapsed = std::chrono::steady_clock::now() - start;

    EXPECT_LT(elapsed, 25s) << "five request time-outs";
    Values resetsOff;
    for (const auto& [name, value] : modelUnderTest()) {
        if (name.rfind("AIX_LINE_COUNT_RESET", 0) == 0)
            resetsOff[name] = "false";
    }
    ASSERT_FALSE(resetsOff.empty());
    EXPECT_EQ(resetsOff, answer.values) << "only what needs no camera";
}

}  // namespace
}  // namespace settings_test
