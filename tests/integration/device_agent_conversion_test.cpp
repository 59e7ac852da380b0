// Camera objects become tracked objects (box, display colour, track) or best shots; camera
// notifications become active events with a track of their own.
#include <gtest/gtest.h>

#include <string>

#include "support/agent_fixture.h"

namespace lumo_test {
namespace {

std::string thing(int id, const std::string& type, const std::string& parts = "") {
    return object(id, classType(type) + parts);
}
std::string vehicle(int id, const std::string& type, const std::string& parts = "") {
    return thing(id, "Vehicle", vehicleInfo(type) + parts);
}
std::string scale(double x, double y) {
    return transformation(x, y);
}
const std::string kShot = imageRef("http://camera/shot.jpg");
// A document whose only object became a best shot of the first track.
std::string bestShot(const std::string& item, int64_t t = kT0) {
    const std::string time = "t=" + std::to_string(t);
    return "objects " + time + ": " + item + "\nshot " + time + " #1 " + "http://camera/shot.jpg";
}

class ObjectConversionTest : public AgentTest {
protected:
    std::string feedFrame(const std::string& objects, int64_t timestampUs = kT0) {
        return feed(document(frame(kScale + objects)), timestampUs);
    }
};

TEST_F(ObjectConversionTest, HandledClassesGetTypeAndDisplayColourInDocumentOrder) {
    std::string objects;
    int id = 0;
    for (const char* type : {"Person", "Human", "Animal", "person", "Vehicle", "HumanHead"})
        objects += thing(++id, type);
    for (const char* type : {"Car", "Truck", "Bus", "Van", "Bicycle", "Motorcycle"})
        objects += vehicle(++id, type);
    EXPECT_EQ(
        "objects t=7000000: Human#1 [0,0,0,0] Green; Human#2 [0,0,0,0] Green; Car#3 [0,0,0,0] "
        "Cyan; Car#4 [0,0,0,0] Cyan; Truck#5 [0,0,0,0] "
        "Cyan; Bus#6 [0,0,0,0] Cyan; Car#7 [0,0,0,0] Cyan; Bicycle#8 [0,0,0,0] Blue; Motorcycle#9 "
        "[0,0,0,0] Blue",
        feedFrame(objects, 7'000'000));
    EXPECT_EQ("objects t=1000000:", feedFrame(thing(1, "HumanHead")))
        << "a head shows only as a best shot, but queues its packet, dated";
}

TEST_F(ObjectConversionTest, DisplaySwitchesHideTrackedObjectsButNoBestShot) {
    const std::string all =
        person(1) + vehicle(2, "Truck") + vehicle(3, "Bicycle") + vehicle(4, "Motorcycle");
    m_agent->setDisplaySwitches(/*person*/ true, /*bicycle*/ false, /*car*/ true);
    EXPECT_EQ("objects t=1000000: Human#1 [0,0,0,0] Green; Truck#2 [0,0,0,0] Cyan", feedFrame(all));
    m_text = PacketText();
    m_agent->setDisplaySwitches(false, true, false);
    EXPECT_EQ("objects t=1000000: Bicycle#1 [0,0,0,0] Blue; Motorcycle#2 [0,0,0,0] Blue",
              feedFrame(all));
    m_text = PacketText();
    feedFrame(person(20));  // Hidden.
    EXPECT_EQ(
        "objects t=3000000: Human#1 {Object ID=20}; Car#2 {Object ID=21}\nshot t=3000000 #1 "
        "http://camera/shot.jpg\nshot t=3000000 #2 http://camera/shot.jpg",
        feedFrame(person(20, kShot) + vehicle(21, "Car", kShot), 3'000'000))
        << "a hidden appearance must not date the best shot";
}

TEST_F(ObjectConversionTest, FirstUsableScaleFixesTheFrameForBoxesInFractionsOfIt) {
    const std::string quarter = person(1, shape(256, 128, 512, 384));
    for (const std::string& unusable :
         {std::string(), scale(0, 0), scale(0.001953125, 0), scale(0, 1)})
        EXPECT_EQ("objects t=1000000:", feed(document(frame(unusable + quarter))))
            << "shown without frame";
    EXPECT_EQ(0.0F, m_agent->coordinateScaleX());
    EXPECT_EQ(bestShot("Human#1 {Object ID=5}"), feed(document(frame(person(5, kShot)))))
        << "a best shot needs no coordinate frame";

    EXPECT_EQ("objects t=1000000: Human#2 [0.25,0.25,0.25,0.5] Green", feedFrame(quarter));
    EXPECT_EQ("objects t=1000000: Human#2 [0.25,0.25,0.25,0.5] Green",
              feed(document(frame(scale(0.004, 0.004) + quarter))));
}

TEST_F(ObjectConversionTest, CameraIdKeepsItsTrackUntil256NewerIdsWereMade) {
    EXPECT_EQ("objects t=1000000: Human#1 [0,0,0,0] Green", feedFrame(person(1)));
    std::string many;
    for (int id = 2; id <= 256; ++id)
        many += person(id);
    EXPECT_NE(std::string::npos, feedFrame(many).find("; Human#256 [0,0,0,0] Green"));
    EXPECT_EQ(bestShot("Human#1 {Object ID=1}", kT0 + 1000), feedFrame(person(1, kShot)))
        << "256 ids keep their tracks";
    // The look-ups of id 1 do not make it younger: the 257th id pushes it out, and no other.
    EXPECT_EQ("objects t=1000000: Human#257 [0,0,0,0] Green; Human#2 [0,0,0,0] Green",
              feedFrame(person(257) + person(2)));
    EXPECT_EQ("objects t=1000000: Human#258 [0,0,0,0] Green", feedFrame(person(1)));
}

TEST_F(ObjectConversionTest, BestShotSoonAfterTheFirstAppearanceIsDatedOneMillisecondAfterIt) {
    feedFrame(person(7), kT0);
    feedFrame(person(7), kT0 + 500'000);
    EXPECT_EQ(1u, m_agent->smartShotObjectCount());
    EXPECT_EQ(
        "objects t=1001000: Human#2 [0,0,0,0] Green; Human#1 {Object ID=7}\nshot t=1001000 #1 "
        "http://camera/shot.jpg",
        feedFrame(person(8) + person(7, kShot), kT0 + 2'000'000))
        << "the packet takes the time of its last object";
    EXPECT_EQ(1u, m_agent->smartShotObjectCount()) << "the record of 7 is used up, 8 has one";
    EXPECT_EQ(bestShot("Human#1 {Object ID=7}", 4'000'000), feedFrame(person(7, kShot), 4'000'000));
}

TEST_F(ObjectConversionTest, BestShotCarriesObjectIdZeroOnlyForAHead) {
    EXPECT_EQ(bestShot("Head#1 {Object ID=0}"),
              feed(document(frame(thing(0, "HumanHead", kShot)))));
    EXPECT_EQ(bestShot("Human#1"), feed(document(frame(person(0, kShot)))));
    EXPECT_EQ(bestShot("Car#1"), feed(document(frame(vehicle(0, "Car", kShot)))));
    EXPECT_EQ(bestShot("Bicycle#1"), feed(document(frame(vehicle(0, "Bicycle", kShot)))));
    m_text = PacketText();
    EXPECT_EQ(bestShot("Head#1 {Object ID=3}"),
              feed(document(frame(thing(3, "HumanHead", kShot)))));
}

TEST_F(ObjectConversionTest, DocumentOfUnhandledClassesOnlyQueuesNoPacket) {
    EXPECT_EQ("", feedFrame(thing(1, "Animal") + thing(2, "person") + thing(3, "") +
                            thing(4, "Animal", kShot)));
    EXPECT_EQ(0u, m_agent->smartShotObjectCount());
}

// An agent whose steady clock the test moves forward.
class ClockedAgent : public DeviceAgent {
public:
    using DeviceAgent::DeviceAgent;
    void advance(std::chrono::nanoseconds by) { m_offsetNs += by.count(); }

protected:
    Clock::time_point now() const override {
        return Clock::now() + std::chrono::nanoseconds(m_offsetNs.load());
    }

private:
    std::atomic<int64_t> m_offsetNs{0};
};

class SmartShotExpiryTest : public ObjectConversionTest {
protected:
    void SetUp() override {
        ObjectConversionTest::SetUp();
        m_clocked = makePtr<ClockedAgent>(makePtr<FakeDeviceInfo>().get());
        m_agent = m_clocked;
        m_agent->setHandler(m_handler.get());
    }
    void TearDown() override {
        m_clocked.reset();
        ObjectConversionTest::TearDown();
    }
    Ptr<ClockedAgent> m_clocked;
};

// Records age by the clock, not by the documents' timestamps, and only at a document's start.
TEST_F(SmartShotExpiryTest, RecordOfTheFirstAppearanceLivesUnderFiveSecondsByTheClock) {
    feedFrame(person(7), kT0);
    m_clocked->advance(4'900ms);
    feed(document(event(kTopicTampering)), kT0 + 9'000'000);
    EXPECT_EQ(1u, m_agent->smartShotObjectCount()) << "expired before 5 s";
    EXPECT_EQ(bestShot("Human#1 {Object ID=7}", kT0 + 1000),
              feedFrame(person(7, kShot), kT0 + 9'000'000));

    feedFrame(person(8), kT0);
    EXPECT_EQ(1u, m_agent->smartShotObjectCount());
    m_clocked->advance(5s);
    EXPECT_EQ(1u, m_agent->smartShotObjectCount()) << "expiry waits for the next document";
    feed(document(event(kTopicTampering)), kT0 + 100'000);
    EXPECT_EQ(0u, m_agent->smartShotObjectCount()) << "a record of 5 s is expired";
    m_text = PacketText();
    EXPECT_EQ(bestShot("Human#1 {Object ID=8}", kT0 + 200'000),
              feedFrame(person(8, kShot), kT0 + 200'000));
}

TEST_F(SmartShotExpiryTest, ExpiryRunsBeforeTheDocumentsObjects) {
    feedFrame(person(9), kT0);
    m_clocked->advance(5s);
    EXPECT_EQ(bestShot("Human#1 {Object ID=9}", kT0 + 300'000),
              feedFrame(person(9, kShot), kT0 + 300'000));
}

struct HighlightTest : ObjectConversionTest {
    std::string colourOf(const std::string& object) {
        const std::string text = feedFrame(object);
        return text.substr(text.rfind(' ') + 1);
    }
    static std::string regionEvent(int id) {
        return event(kTopicRegion, {}, {{"ObjectId", std::to_string(id)}, {"Actions", "Enter"}});
    }
};

TEST_F(HighlightTest, ObjectOfARegionEventIsRedFromTheNextDocumentForTheHighlightTimeOnly) {
    m_agent->setHighlightDuration(1);
    const auto start = std::chrono::steady_clock::now();  // before the event is recorded
    EXPECT_EQ(0u, feed(document(frame(kScale + person(7)) + regionEvent(7)))
                      .find("objects t=1000000: Human#1 [0,0,0,0] Green\n"));
    EXPECT_EQ("Red", colourOf(person(7)));
    EXPECT_EQ("Green", colourOf(person(8)));
    feed(document(regionEvent(9)));
    EXPECT_EQ("Red", colourOf(vehicle(9, "Bicycle")));

    // Documents keep arriving; the record expires once it is a whole second old.
    std::string colour;
    EXPECT_TRUE(eventually([&] { return (colour = colourOf(person(7))) != "Red"; }, 5s));
    EXPECT_EQ("Green", colour);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 1s);

    feed(document(regionEvent(7)));
    m_agent->setHighlightDuration(0);
    EXPECT_EQ("Green", colourOf(person(7))) << "switching highlighting off ends the red at once";
}

using EventConversionTest = AgentTest;

TEST_F(EventConversionTest, EachTopicHasItsTypeCaptionAndDescription) {
    const std::pair<std::string, std::string> cases[] = {
        {event(kTopicCounter, {{"Rule", "Line0"}}, {{"Count", "5"}}),
         R"(LineCounting#1 "Line Counting" "Event Line : [1], Count : [5]")"},
        // The last rule ending in a digit decides; every count is appended in order; items
        // without name or value, and items of the other group, do not count.
        {event(kTopicCounter, {{"Rule", "Line4"}, {"Rule", "LineX"}, {"Rule", std::nullopt}},
               {{std::nullopt, "7"},
                {"Count", std::nullopt},
                {"Rule", "Line1"},
                {"Count", "1"},
                {"Count", "2"}}),
         R"(LineCounting#1 "Line Counting" "Event Line : [5], Count : [1], Count : [2]")"},
        {event(kTopicTampering, {}, {{"State", "true"}}), R"(Tampering#1 "Tampering" "")"},
        {event(kTopicSettingChanged), R"(SettingChanged#1 "AI Setting Changed" "")"},
        // A region event's caption is its action as the camera wrote it.
        {event(kTopicRegion, {{"Rule", "Region2"}}, {{"Actions", "Enter"}}),
         R"(Enter#1 "Enter" "Event Region : [3]")"},
        {event(kTopicRegion, {}, {{"Actions", "enter"}}), R"(Unknown#1 "enter" "")"},
        // Topics not in the table, nor written differently, get no type, caption or description.
        {event(std::string(kTopicCounter) + "/Extra", {}, {{"Count", "4"}}), R"(#1 "" "")"},
        {event("tns1:ai/appsettingchanged"), R"(#1 "" "")"},
    };
    for (const auto& [camera, expected] : cases) {
        m_text = PacketText();
        EXPECT_EQ("events t=1000000: " + expected, feed(document(camera)));
    }
}

TEST_F(EventConversionTest, RegionEventRecordsItsWellFormedObjectIdsForHighlighting) {
    m_agent->setHighlightDuration(5);
    Items data;
    for (const char* id : {"17", "abc", "", "4294967296", "-99999999999", " 21"})
        data.push_back({"ObjectId", id});
    data.push_back({"Actions", "Loitering"});
    EXPECT_EQ(R"(events t=1000000: Loitering#1 "Loitering" "Event Region : [1]")",
              feed(document(event(kTopicRegion, {{"Rule", "Region0"}}, data))));
    EXPECT_EQ(2u, m_agent->eventedObjectCount());
}

TEST_F(EventConversionTest, CameraSettingsChangeAsksForAReadbackUnlessThePluginIsWriting) {
    m_agent->setSettingsWriteHold(true);
    feed(document(event(kTopicSettingChanged)));
    EXPECT_FALSE(m_agent->isSettingsRefreshNeeded());
    m_agent->setSettingsWriteHold(false);
    feed(document(event(kTopicSettingChanged)));
    EXPECT_TRUE(m_agent->isSettingsRefreshNeeded());
}

TEST_F(EventConversionTest, DocumentOfTopiclessEventsOnlyQueuesOneEmptyPacket) {
    const std::string topicless = event(std::nullopt, {{"Rule", "Line1"}}, {{"Count", "1"}});
    EXPECT_EQ("events t=2000000:", feed(document(topicless + topicless), 2'000'000));
}

TEST_F(EventConversionTest, EveryEventGetsATrackOfItsOwnAndTopiclessOnesAreSkipped) {
    const std::string tampering = event(kTopicTampering),
                      topicless = event(std::nullopt, {}, {{"Count", "1"}});
    EXPECT_EQ(
        R"(events t=4000000: LineCounting#1 "Line Counting" ", Count : [1]"; Tampering#2 "Tampering" "")",
        feed(document(topicless + event(kTopicCounter, {}, {{"Count", "1"}}) + tampering),
             4'000'000));
    EXPECT_EQ(R"(events t=1000000: Tampering#3 "Tampering" "")", feed(document(tampering)))
        << "a repeated event is a new track";
}

}  // namespace
}  // namespace lumo_test
