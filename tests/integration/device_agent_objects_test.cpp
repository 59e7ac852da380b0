// Camera objects become tracked objects (box, display colour, track) or best shots.
#include <gtest/gtest.h>

#include <string>

#include "integration/agent_fixture.h"

namespace lumo_test {
namespace {

constexpr char kImage[] = "http://camera/shot.jpg";

std::string person(int id, const std::string& parts = "") {
    return object(id, "Person", parts);
}
/** The lines of a document whose only object became a best shot of the first track, at time t. */
std::string bestShot(const std::string& item, int64_t t = kT0) {
    const std::string time = "t=" + std::to_string(t);
    return "objects " + time + ": " + item + "\nshot " + time + " #1 " + kImage;
}

class ObjectConversionTest : public AgentTest {
protected:
    /** Feeds a frame of 1024 x 512 units holding these objects. */
    std::string feedFrame(const std::string& objects, int64_t timestampUs = kT0) {
        return feed(document(frame(kScale + objects)), timestampUs);
    }
};

TEST_F(ObjectConversionTest, HandledClassesGetTypeAndDisplayColourInDocumentOrder) {
    std::string objects;
    int id = 0;
    for (const char* type : {"Person", "Human", "Animal", "person", "Vehicle", "HumanHead"})
        objects += object(++id, type);
    for (const char* type : {"Car", "Truck", "Bus", "Van", "Bicycle", "Motorcycle"})
        objects += vehicle(++id, type);
    EXPECT_EQ(
        "objects t=7000000: Human#1 Green; Human#2 Green; Car#3 Cyan; Car#4 Cyan; Truck#5 "
        "Cyan; Bus#6 Cyan; Car#7 Cyan; Bicycle#8 Blue; Motorcycle#9 Blue",
        feedFrame(objects, 7'000'000));
    EXPECT_EQ("objects t=1000000:", feedFrame(object(1, "HumanHead")))
        << "a head shows only as a best shot, but queues its packet, dated";
    EXPECT_EQ("", feedFrame(object(1, "Animal")));
}

TEST_F(ObjectConversionTest, DisplaySwitchesHideTrackedObjectsButNoBestShot) {
    const struct {
        bool person, bicycle, car;
        const char* shown;
    } cases[] = {
        {false, true, true, "objects t=1000000: Truck#1 Cyan; Bicycle#2 Blue; Motorcycle#3 Blue"},
        {true, true, false, "objects t=1000000: Human#1 Green; Bicycle#2 Blue; Motorcycle#3 Blue"},
        {true, false, true, "objects t=1000000: Human#1 Green; Truck#2 Cyan"},
        {false, false, false, "objects t=1000000:"},
    };
    const std::string all =
        person(1) + vehicle(2, "Truck") + vehicle(3, "Bicycle") + vehicle(4, "Motorcycle");
    for (const auto& c : cases) {
        m_text = PacketText();
        agent().setDisplaySwitches(c.person, c.bicycle, c.car);
        EXPECT_EQ(c.shown, feedFrame(all));
    }
    feedFrame(person(20));  // Hidden.
    EXPECT_EQ(
        "objects t=3000000: Human#1 {Object ID=20}; Car#2 {Object ID=21}\nshot t=3000000 #1 "
        "http://camera/shot.jpg\nshot t=3000000 #2 http://camera/shot.jpg",
        feedFrame(person(20, image(kImage)) + vehicle(21, "Car", image(kImage)), 3'000'000))
        << "a hidden appearance must not date the best shot";
}

TEST_F(ObjectConversionTest, FirstUsableScaleFixesTheFrameForBoxesInFractionsOfIt) {
    const std::string quarter = person(1, box(256, 128, 512, 384));
    for (const std::string& unusable :
         {std::string(), scale(0, 0), scale(0.001953125F, 0), scale(0, 1)})
        EXPECT_EQ("objects t=1000000:", feed(document(frame(unusable + quarter))))
            << "shown without frame";
    EXPECT_EQ(0.0F, agent().coordinateScaleX());
    EXPECT_EQ(bestShot("Human#1 {Object ID=5}"), feed(document(frame(person(5, image(kImage))))))
        << "a best shot needs no coordinate frame";

    EXPECT_EQ("objects t=1000000: Human#2 [0.25,0.25,0.25,0.5] Green", feedFrame(quarter));
    EXPECT_FLOAT_EQ(1024.0F, agent().coordinateScaleX());
    EXPECT_FLOAT_EQ(512.0F, agent().coordinateScaleY());
    EXPECT_EQ("objects t=1000000: Human#2 [0.25,0.25,0.25,0.5] Green",
              feed(document(frame(scale(0.004F, 0.004F) + quarter))));
}

TEST_F(ObjectConversionTest, CameraIdKeepsItsTrackUntil256NewerIdsWereMade) {
    EXPECT_EQ("objects t=1000000: Human#1 Green", feedFrame(person(1)));
    std::string many;
    for (int id = 2; id <= 256; ++id)
        many += person(id);
    EXPECT_NE(std::string::npos, feedFrame(many).find("; Human#256 Green"));
    EXPECT_EQ(bestShot("Human#1 {Object ID=1}", kT0 + 1000), feedFrame(person(1, image(kImage))))
        << "256 ids keep their tracks";
    // The look-ups of id 1 do not make it younger: the 257th id pushes it out, and no other.
    EXPECT_EQ("objects t=1000000: Human#257 Green; Human#2 Green",
              feedFrame(person(257) + person(2)));
    EXPECT_EQ("objects t=1000000: Human#258 Green", feedFrame(person(1)));
}

// Every attribute in its order comes through the loaded plugin in the metadata-road test.
TEST_F(ObjectConversionTest, BestShotCarriesTheCameraIdUnlessZeroOnATrackedClass) {
    const std::pair<std::string, const char*> cases[] = {
        {person(0, image(kImage)), "Human#1"},
        {object(0, "HumanHead", box(1, 1, 5, 5) + image(kImage)), "Head#1 {Object ID=0}"},
        {vehicle(11, "Bus", image(kImage)), "Bus#1 {Object ID=11}"},
    };
    for (const auto& [camera, item] : cases) {
        m_text = PacketText();
        EXPECT_EQ(bestShot(item), feedFrame(camera));
    }
}

TEST_F(ObjectConversionTest, BestShotSoonAfterTheFirstAppearanceIsDatedOneMillisecondAfterIt) {
    feedFrame(person(7), kT0);
    feedFrame(person(7), kT0 + 500'000);
    EXPECT_EQ(1u, agent().smartShotObjectCount());
    EXPECT_EQ(
        "objects t=1001000: Human#2 Green; Human#1 {Object ID=7}\nshot t=1001000 #1 "
        "http://camera/shot.jpg",
        feedFrame(person(8) + person(7, image(kImage)), kT0 + 2'000'000))
        << "the packet takes the time of its last object";
    EXPECT_EQ(1u, agent().smartShotObjectCount()) << "the record of 7 is used up, 8 has one";
    EXPECT_EQ(bestShot("Human#1 {Object ID=7}", 4'000'000),
              feedFrame(person(7, image(kImage)), 4'000'000));
}

class HighlightTest : public ObjectConversionTest {
protected:
    std::string colourOf(const std::string& object) {
        const std::string text = feedFrame(object);
        return text.substr(text.rfind(' ') + 1);
    }
    static std::string regionEvent(int id) {
        return event(kTopicRegion, {}, {{"ObjectId", std::to_string(id)}, {"Actions", "Enter"}});
    }
};

TEST_F(HighlightTest, ObjectOfARegionEventIsRedFromTheNextDocumentForTheHighlightTimeOnly) {
    agent().setHighlightDuration(1);
    const auto start = std::chrono::steady_clock::now();  // before the event is recorded
    EXPECT_EQ(0u, feed(document(frame(kScale + person(7)) + regionEvent(7)))
                      .find("objects t=1000000: Human#1 Green\n"));
    EXPECT_EQ("Red", colourOf(person(7)));
    EXPECT_EQ("Green", colourOf(person(8)));
    EXPECT_EQ("Red", colourOf(person(7))) << "stays red while the time lasts";
    feed(document(regionEvent(9)));
    EXPECT_EQ("Red", colourOf(vehicle(9, "Bicycle")));

    // Documents keep arriving; the record expires once it is a whole second old.
    std::string colour;
    EXPECT_TRUE(eventually([&] { return (colour = colourOf(person(7))) != "Red"; }, 5s));
    EXPECT_EQ("Green", colour);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 1s);

    feed(document(regionEvent(7)));
    agent().setHighlightDuration(0);
    EXPECT_EQ("Green", colourOf(person(7))) << "switching highlighting off ends the red at once";
}

}  // namespace
}  // namespace lumo_test
