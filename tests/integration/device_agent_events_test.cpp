// Camera notifications become active events with a track of their own: line counting, tampering,
// the camera's own settings changes and region rules.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "integration/agent_fixture.h"

namespace lumo_test {
namespace {

class EventConversionTest : public AgentTest {
protected:
    static EventPacket onlyEventPacket(const Delivery& delivery) {
        EXPECT_EQ(1u, delivery.events.size());
        EXPECT_TRUE(delivery.objects.empty());
        EXPECT_TRUE(delivery.bestShots.empty());
        return delivery.events.empty() ? EventPacket{} : delivery.events.front();
    }

    EventPacket eventPacket(const OnvifDocument& document, int64_t timestampUs = kT0) {
        return onlyEventPacket(feed(document, timestampUs));
    }

    /** The one item that a document holding only this event delivers. */
    EventItem only(const CameraEvent& event) {
        const EventPacket packet = eventPacket(OnvifDocument().withoutFrame().event(event));
        EXPECT_EQ(1u, packet.items.size());
        return packet.items.empty() ? EventItem{} : packet.items.front();
    }

    std::string counterDescription(const CameraEvent& event) { return only(event).description; }
};

// ---- Line counting.

TEST_F(EventConversionTest, CounterEventNamesTheLineFromOneAndTheCount) {
    const EventItem item =
        only(CameraEvent(kTopicCounter).source("Rule", "Line0").data("Count", "5"));
    EXPECT_EQ("qo.lumo.LineCounting", item.typeId);
    EXPECT_EQ("Line Counting", item.caption);
    EXPECT_EQ("Event Line : [1], Count : [5]", item.description);
    EXPECT_TRUE(item.active);
    EXPECT_FALSE(item.trackId.isNull());
}

TEST_F(EventConversionTest, CounterDescriptionUsesTheLastDigitOfTheRule) {
    EXPECT_EQ("Event Line : [2], Count : [12]",
              counterDescription(
                  CameraEvent(kTopicCounter).source("Rule", "AIX_LINE_1").data("Count", "12")));
}

TEST_F(EventConversionTest, CounterWithoutRuleHasOnlyTheCount) {
    EXPECT_EQ(", Count : [5]", counterDescription(CameraEvent(kTopicCounter).data("Count", "5")));
}

TEST_F(EventConversionTest, CounterWithoutItemsHasAnEmptyDescription) {
    const EventItem item = only(CameraEvent(kTopicCounter));
    EXPECT_EQ("Line Counting", item.caption);
    EXPECT_EQ("", item.description);
}

TEST_F(EventConversionTest, LaterRuleEndingInADigitReplacesTheEarlierOne) {
    EXPECT_EQ("Event Line : [5], Count : [1]", counterDescription(CameraEvent(kTopicCounter)
                                                                      .source("Rule", "Line1")
                                                                      .source("Rule", "Line4")
                                                                      .source("Rule", "LineX")
                                                                      .source("Rule", "")
                                                                      .data("Count", "1")));
}

TEST_F(EventConversionTest, EveryCountIsAppendedInOrder) {
    EXPECT_EQ("Event Line : [3], Count : [1], Count : [2]",
              counterDescription(CameraEvent(kTopicCounter)
                                     .source("Rule", "Line2")
                                     .data("Count", "1")
                                     .data("Count", "2")));
}

TEST_F(EventConversionTest, ItemsWithoutNameOrValueAreSkipped) {
    EXPECT_EQ(", Count : [3]", counterDescription(CameraEvent(kTopicCounter)
                                                      .source("Rule", std::nullopt)
                                                      .source(std::nullopt, "Line5")
                                                      .data(std::nullopt, "7")
                                                      .data("Count", std::nullopt)
                                                      .data("Count", "3")));
}

TEST_F(EventConversionTest, ItemsOfTheOtherGroupDoNotCount) {
    EXPECT_EQ("", counterDescription(
                      CameraEvent(kTopicCounter).data("Rule", "Line1").source("Count", "9")));
}

// ---- Tampering and the camera's own settings.

TEST_F(EventConversionTest, SceneChangeIsTamperingWithoutDescription) {
    const EventItem item = only(CameraEvent(kTopicSceneChange)
                                    .source("VideoSourceConfigurationToken", "VideoSource0")
                                    .data("State", "true"));
    EXPECT_EQ("qo.lumo.Tampering", item.typeId);
    EXPECT_EQ("Tampering", item.caption);
    EXPECT_EQ("", item.description);
    EXPECT_TRUE(item.active);
}

TEST_F(EventConversionTest, CameraSettingsChangeAsksForAFreshReadback) {
    ASSERT_FALSE(agent().isSettingsRefreshNeeded());
    const EventItem item =
        only(CameraEvent(kTopicSettingChanged).data("Data", "AIX_REGION_ENABLE0"));
    EXPECT_EQ("qo.lumo.SettingChanged", item.typeId);
    EXPECT_EQ("AI Setting Changed", item.caption);
    EXPECT_EQ("", item.description);
    EXPECT_TRUE(agent().isSettingsRefreshNeeded());
}

TEST_F(EventConversionTest, CameraSettingsChangeDuringTheWriteHoldIsDeliveredButAsksNothing) {
    agent().setSettingsWriteHold(true);
    const EventItem item = only(CameraEvent(kTopicSettingChanged));
    EXPECT_EQ("qo.lumo.SettingChanged", item.typeId);
    EXPECT_FALSE(agent().isSettingsRefreshNeeded());

    agent().setSettingsWriteHold(false);
    only(CameraEvent(kTopicSettingChanged));
    EXPECT_TRUE(agent().isSettingsRefreshNeeded());
}

// ---- Region rules.

TEST_F(EventConversionTest, RegionEventTakesTypeAndCaptionFromItsAction) {
    agent().setHighlightDuration(1);
    const EventItem item = only(CameraEvent(kTopicRegion)
                                    .source("Rule", "Region2")
                                    .data("ObjectId", "17")
                                    .data("Actions", "Enter"));
    EXPECT_EQ("qo.lumo.Enter", item.typeId);
    EXPECT_EQ("Enter", item.caption);
    EXPECT_EQ("Event Region : [3]", item.description);
    EXPECT_TRUE(item.active);
    EXPECT_EQ(1u, agent().eventedObjectCount());
}

TEST_F(EventConversionTest, RegionEventWithoutHighlightingRecordsNoObject) {
    agent().setHighlightDuration(0);
    const EventItem item =
        only(CameraEvent(kTopicRegion).data("ObjectId", "17").data("Actions", "Exit"));
    EXPECT_EQ("qo.lumo.Exit", item.typeId);
    EXPECT_EQ(0u, agent().eventedObjectCount());
}

struct ActionCase {
    const char* action;
    const char* typeId;
};

class RegionActionTest : public EventConversionTest,
                         public ::testing::WithParamInterface<ActionCase> {};

TEST_P(RegionActionTest, ActionNamesTheEventType) {
    const EventItem item = only(CameraEvent(kTopicRegion).data("Actions", GetParam().action));
    EXPECT_EQ(GetParam().typeId, item.typeId);
    EXPECT_EQ(GetParam().action, item.caption) << "the camera's word is shown as it came";
}

INSTANTIATE_TEST_SUITE_P(EveryAction, RegionActionTest,
                         ::testing::Values(ActionCase{"Appear", "qo.lumo.Appear"},
                                           ActionCase{"Stay", "qo.lumo.Stay"},
                                           ActionCase{"Direction", "qo.lumo.Direction"},
                                           ActionCase{"Enter", "qo.lumo.Enter"},
                                           ActionCase{"Exit", "qo.lumo.Exit"},
                                           ActionCase{"Loitering", "qo.lumo.Loitering"},
                                           ActionCase{"Crowding", "qo.lumo.Unknown"},
                                           ActionCase{"enter", "qo.lumo.Unknown"}),
                         [](const auto& info) { return std::string(info.param.action); });

TEST_F(EventConversionTest, RegionEventWithoutActionHasNoTypeAndNoCaption) {
    const EventItem item = only(CameraEvent(kTopicRegion).source("Rule", "Region7"));
    EXPECT_EQ("", item.typeId);
    EXPECT_EQ("", item.caption);
    EXPECT_EQ("Event Region : [8]", item.description);
    EXPECT_TRUE(item.active);
}

TEST_F(EventConversionTest, LastRegionRuleEndingInADigitDecides) {
    const EventItem item = only(CameraEvent(kTopicRegion)
                                    .source("Rule", "Region1")
                                    .source("Rule", "Region5")
                                    .source("Rule", "Region")
                                    .data("Actions", "Stay"));
    EXPECT_EQ("Event Region : [6]", item.description);
}

TEST_F(EventConversionTest, MalformedObjectIdsAreSkippedAndTheEventStillDelivered) {
    agent().setHighlightDuration(5);
    const EventItem item = only(CameraEvent(kTopicRegion)
                                    .source("Rule", "Region0")
                                    .data("ObjectId", "abc")
                                    .data("ObjectId", "")
                                    .data("ObjectId", "4294967296")
                                    .data("ObjectId", "-99999999999")
                                    .data("ObjectId", " 21")
                                    .data("Actions", "Loitering"));
    EXPECT_EQ("qo.lumo.Loitering", item.typeId);
    EXPECT_EQ("Loitering", item.caption);
    EXPECT_EQ("Event Region : [1]", item.description);
    EXPECT_EQ(1u, agent().eventedObjectCount()) << "only the well-formed id is recorded";
    EXPECT_TRUE(agent().isReady());

    // The agent goes on with the next document.
    EXPECT_EQ("qo.lumo.Appear", only(CameraEvent(kTopicRegion).data("Actions", "Appear")).typeId);
}

// ---- Topics and the packet.

TEST_F(EventConversionTest, UnlistedTopicIsDeliveredWithoutTypeCaptionOrDescription) {
    for (const char* topic :
         {"tns1:Device/Trigger/DigitalInput", "tns1:RuleEngine/CountAggregation/Counter/Extra",
          "tns1:ai/appsettingchanged"}) {
        const EventItem item = only(CameraEvent(topic).source("Rule", "Line1").data("Count", "4"));
        EXPECT_EQ("", item.typeId) << topic;
        EXPECT_EQ("", item.caption) << topic;
        EXPECT_EQ("", item.description) << topic;
        EXPECT_TRUE(item.active) << topic;
        EXPECT_FALSE(item.trackId.isNull()) << topic;
    }
    EXPECT_FALSE(agent().isSettingsRefreshNeeded());
}

TEST_F(EventConversionTest, EventsWithoutTopicAreSkipped) {
    const EventPacket packet = eventPacket(OnvifDocument()
                                               .withoutFrame()
                                               .event(CameraEvent().data("Count", "1"))
                                               .event(CameraEvent(kTopicSceneChange))
                                               .event(CameraEvent()));
    ASSERT_EQ(1u, packet.items.size());
    EXPECT_EQ("qo.lumo.Tampering", packet.items[0].typeId);
}

TEST_F(EventConversionTest, DocumentWhoseEventsAllLackATopicStillQueuesAnEmptyPacket) {
    const EventPacket packet =
        eventPacket(OnvifDocument().withoutFrame().event(CameraEvent()).event(CameraEvent()));
    EXPECT_TRUE(packet.items.empty());
}

TEST_F(EventConversionTest, EveryEventGetsATrackOfItsOwn) {
    const EventPacket packet = eventPacket(
        OnvifDocument()
            .withoutFrame()
            .event(CameraEvent(kTopicCounter).source("Rule", "Line0").data("Count", "1"))
            .event(CameraEvent(kTopicCounter).source("Rule", "Line1").data("Count", "2")),
        4'000'000);
    EXPECT_EQ(4'000'000, packet.timestampUs);
    EXPECT_EQ(1, packet.durationUs);
    ASSERT_EQ(2u, packet.items.size());
    EXPECT_TRUE(packet.items[0].active);
    EXPECT_TRUE(packet.items[1].active);
    EXPECT_NE(packet.items[0].trackId, packet.items[1].trackId);
    EXPECT_EQ(packet.items[1].trackId, agent().lastEventTrackId());

    std::set<Uuid> tracks = {packet.items[0].trackId, packet.items[1].trackId};
    for (int i = 0; i < 5; ++i)
        tracks.insert(only(CameraEvent(kTopicSceneChange)).trackId);
    EXPECT_EQ(7u, tracks.size()) << "a repeated event is a new track";
}

TEST_F(EventConversionTest, EventsBesideObjectsKeepTheDocumentTime) {
    const Delivery delivery = feed(OnvifDocument()
                                       .scale(kScaleX, kScaleY)
                                       .object(CameraObject::person(1).box(1, 1, 5, 5))
                                       .event(CameraEvent(kTopicSceneChange)),
                                   9'000'000);
    ASSERT_EQ(1u, delivery.events.size());
    ASSERT_EQ(1u, delivery.objects.size());
    EXPECT_EQ(9'000'000, delivery.events[0].timestampUs);
    EXPECT_EQ(9'000'000, delivery.objects[0].timestampUs);
}

}  // namespace
}  // namespace lumo_test
