// Camera notifications become active events with a track of their own.
#include <gtest/gtest.h>

#include "integration/agent_fixture.h"

namespace lumo_test {
namespace {

using EventConversionTest = AgentTest;

TEST_F(EventConversionTest, EachTopicHasItsTypeCaptionAndDescription) {
    struct Case {
        std::string event, type, caption, description;
    };
    const auto counter = [](Items source, Items data, std::string description) {
        return Case{event(kTopicCounter, source, data), "LineCounting", "Line Counting",
                    description};
    };
    // A region event's caption is its action as the camera wrote it.
    const auto region = [](Items source, std::string action, std::string type, std::string text) {
        const Items data = action.empty() ? Items{} : Items{{"Actions", action}};
        return Case{event(kTopicRegion, source, data), type, action, text};
    };
    std::vector<Case> cases = {
        counter({{"Rule", "Line0"}}, {{"Count", "5"}}, "Event Line : [1], Count : [5]"),
        counter({}, {}, ""),
        // The last rule ending in a digit decides; every count is appended in order.
        counter({{"Rule", "Line1"}, {"Rule", "Line4"}, {"Rule", "LineX"}, {"Rule", ""}},
                {{"Count", "1"}, {"Count", "2"}}, "Event Line : [5], Count : [1], Count : [2]"),
        // Items without name or value, and items of the other group, do not count.
        counter({{"Rule", std::nullopt}, {std::nullopt, "Line5"}, {"Count", "9"}},
                {{std::nullopt, "7"}, {"Count", std::nullopt}, {"Rule", "Line1"}, {"Count", "3"}},
                ", Count : [3]"),
        {event(kTopicSceneChange, {{"Token", "VideoSource0"}}, {{"State", "true"}}), "Tampering",
         "Tampering", ""},
        {event(kTopicSettingChanged, {}, {{"Data", "AIX_REGION_ENABLE0"}}), "SettingChanged",
         "AI Setting Changed", ""},
        region({{"Rule", "Region2"}}, "Enter", "Enter", "Event Region : [3]"),
        region({}, "enter", "Unknown", ""),
        region({{"Rule", "Region7"}}, "", "", "Event Region : [8]"),
        region({{"Rule", "Region1"}, {"Rule", "Region5"}, {"Rule", "Region"}}, "Stay", "Stay",
               "Event Region : [6]"),
        // Topics not in the table, nor written differently, get no type, caption or description.
        {event(std::string(kTopicCounter) + "/Extra", {}, {{"Count", "4"}}), "", "", ""},
        {event("tns1:ai/appsettingchanged"), "", "", ""},
    };
    for (const std::string action : {"Appear", "Stay", "Direction", "Exit", "Loitering"})
        cases.push_back(region({}, action, action, ""));
    for (const auto& c : cases) {
        m_text = PacketText();
        EXPECT_EQ(
            "events t=1000000: " + c.type + "#1 \"" + c.caption + "\" \"" + c.description + "\"",
            feed(document(c.event)));
    }
}

TEST_F(EventConversionTest, RegionEventRecordsItsWellFormedObjectIdsForHighlighting) {
    agent().setHighlightDuration(5);
    Items data;
    for (const char* id : {"17", "abc", "", "4294967296", "-99999999999", " 21"})
        data.push_back({"ObjectId", id});
    data.push_back({"Actions", "Loitering"});
    EXPECT_EQ(R"(events t=1000000: Loitering#1 "Loitering" "Event Region : [1]")",
              feed(document(event(kTopicRegion, {{"Rule", "Region0"}}, data))));
    EXPECT_EQ(2u, agent().eventedObjectCount());
    agent().setHighlightDuration(0);
    feed(document(event(kTopicRegion, {}, {{"ObjectId", "18"}, {"Actions", "Exit"}})));
    EXPECT_EQ(0u, agent().eventedObjectCount());
}

TEST_F(EventConversionTest, CameraSettingsChangeAsksForAReadbackUnlessThePluginIsWriting) {
    agent().setSettingsWriteHold(true);
    feed(document(event(kTopicSettingChanged)));
    EXPECT_FALSE(agent().isSettingsRefreshNeeded());
    agent().setSettingsWriteHold(false);
    feed(document(event("tns1:ai/appsettingchanged")));
    EXPECT_FALSE(agent().isSettingsRefreshNeeded());
    feed(document(event(kTopicSettingChanged)));
    EXPECT_TRUE(agent().isSettingsRefreshNeeded());
}

TEST_F(EventConversionTest, EveryEventGetsATrackOfItsOwnAndTopiclessOnesAreSkipped) {
    const std::string tampering = event(kTopicSceneChange),
                      topicless = event(std::nullopt, {}, {{"Count", "1"}});
    EXPECT_EQ(
        R"(events t=4000000: LineCounting#1 "Line Counting" ", Count : [1]"; Tampering#2 "Tampering" "")",
        feed(document(topicless + event(kTopicCounter, {}, {{"Count", "1"}}) + topicless +
                      tampering),
             4'000'000));
    EXPECT_EQ(R"(events t=1000000: Tampering#3 "Tampering" "")", feed(document(tampering)))
        << "a repeated event is a new track";
    EXPECT_EQ("events t=1000000:", feed(document(topicless + topicless)))
        << "a document of events without topic still queues its packet";
    EXPECT_EQ("objects t=9000000: Human#4 Green\nevents t=9000000: Tampering#5 \"Tampering\" \"\"",
              feed(document(frame(kScale + object(1, "Person")) + tampering), 9'000'000));
}

}  // namespace
}  // namespace lumo_test
