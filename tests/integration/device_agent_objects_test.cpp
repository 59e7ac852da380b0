// Camera objects become tracked objects (box, display colour, track) or best shots (attributes,
// best-shot packet), as the server receives them.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "integration/agent_fixture.h"

namespace lumo_test {
namespace {

using namespace std::chrono_literals;

constexpr char kHuman[] = "qo.lumo.Human";
constexpr char kHead[] = "qo.lumo.Head";
constexpr char kCar[] = "qo.lumo.Car";
constexpr char kTruck[] = "qo.lumo.Truck";
constexpr char kBicycle[] = "qo.lumo.Bicycle";
constexpr char kMotorcycle[] = "qo.lumo.Motorcycle";
constexpr int kColorType = 3;  // IAttribute::Type::color

constexpr char kImage[] = "http://camera/bestshot/0001.jpg";

OnvifDocument frame() {
    return OnvifDocument().scale(kScaleX, kScaleY);
}

std::vector<std::string> typeIds(const ObjectPacket& packet) {
    std::vector<std::string> ids;
    for (const auto& item : packet.items)
        ids.push_back(item.typeId);
    return ids;
}

bool isFinite(const Rect& r) {
    return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) &&
           std::isfinite(r.height);
}

class ObjectConversionTest : public AgentTest {
protected:
    /** The single object packet of a delivery, with no other packets beside it. */
    static ObjectPacket onlyObjectPacket(const Delivery& delivery) {
        EXPECT_EQ(1u, delivery.objects.size());
        EXPECT_TRUE(delivery.events.empty());
        return delivery.objects.empty() ? ObjectPacket{} : delivery.objects.front();
    }

    /** The one item that a tracked object becomes. */
    ObjectItem tracked(const CameraObject& object, int64_t timestampUs = kT0) {
        const ObjectPacket packet = onlyObjectPacket(feed(frame().object(object), timestampUs));
        EXPECT_EQ(1u, packet.items.size());
        return packet.items.empty() ? ObjectItem{} : packet.items.front();
    }

    Uuid trackOf(int id, int64_t timestampUs = kT0) {
        return tracked(CameraObject::person(id).box(10, 10, 20, 20), timestampUs).trackId;
    }
};

// ---- The class table.

struct ClassCase {
    const char* name;
    const char* classType;
    const char* vehicleType;  // null: no "tt:VehicleInfo"
    const char* typeId;
    const char* color;
};

class ClassTableTest : public ObjectConversionTest,
                       public ::testing::WithParamInterface<ClassCase> {};

TEST_P(ClassTableTest, TrackedObjectGetsTypeAndDisplayColour) {
    const ClassCase& c = GetParam();
    CameraObject object = c.vehicleType ? CameraObject::vehicle(4, c.vehicleType)
                                        : CameraObject::ofClass(4, c.classType);
    const ObjectItem item = tracked(object.box(100, 100, 200, 300));

    EXPECT_EQ(c.typeId, item.typeId);
    ASSERT_EQ(1u, item.attributes.size());
    EXPECT_EQ("qo.sys.color", item.attributes[0].name);
    EXPECT_EQ(c.color, item.attributes[0].value);
    EXPECT_EQ(kColorType, item.attributes[0].type);
    EXPECT_FLOAT_EQ(1.0F, item.attributes[0].confidence);
    EXPECT_FALSE(item.trackId.isNull());
}

INSTANTIATE_TEST_SUITE_P(
    EveryHandledClass, ClassTableTest,
    ::testing::Values(ClassCase{"Person", "Person", nullptr, kHuman, "Green"},
                      ClassCase{"Human", "Human", nullptr, kHuman, "Green"},
                      ClassCase{"Car", "Vehicle", "Car", kCar, "Cyan"},
                      ClassCase{"Truck", "Vehicle", "Truck", kTruck, "Cyan"},
                      ClassCase{"Bus", "Vehicle", "Bus", "qo.lumo.Bus", "Cyan"},
                      ClassCase{"Van", "Vehicle", "Van", kCar, "Cyan"},
                      ClassCase{"NoVehicleType", "Vehicle", nullptr, kCar, "Cyan"},
                      ClassCase{"Bicycle", "Vehicle", "Bicycle", kBicycle, "Blue"},
                      ClassCase{"Motorcycle", "Vehicle", "Motorcycle", kMotorcycle, "Blue"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ObjectConversionTest, HeadWithoutImageIsNeverShownButItsPacketIsQueued) {
    const ObjectPacket packet =
        onlyObjectPacket(feed(frame().object(CameraObject::head(3).box(1, 1, 5, 5))));
    EXPECT_TRUE(packet.items.empty());
}

TEST_F(ObjectConversionTest, ObjectsOfOtherClassesQueueNoPacket) {
    const Delivery delivery = feed(frame()
                                       .object(CameraObject::ofClass(1, "Animal").box(1, 1, 5, 5))
                                       .object(CameraObject::ofClass(2, "person").box(1, 1, 5, 5))
                                       .object(CameraObject::ofClass(3, "").box(1, 1, 5, 5)));
    EXPECT_EQ(0u, delivery.total());
}

TEST_F(ObjectConversionTest, PacketLastsOneMicrosecondAtTheDocumentTime) {
    const ObjectPacket packet =
        onlyObjectPacket(feed(frame().object(CameraObject::person(1).box(1, 1, 5, 5)), 7'000'000));
    EXPECT_EQ(7'000'000, packet.timestampUs);
    EXPECT_EQ(1, packet.durationUs);
}

TEST_F(ObjectConversionTest, ItemsKeepTheOrderOfTheDocument) {
    const ObjectPacket packet =
        onlyObjectPacket(feed(frame()
                                  .object(CameraObject::vehicle(1, "Bus").box(1, 1, 5, 5))
                                  .object(CameraObject::ofClass(2, "Animal").box(1, 1, 5, 5))
                                  .object(CameraObject::person(3).box(1, 1, 5, 5))
                                  .object(CameraObject::vehicle(4, "Bicycle").box(1, 1, 5, 5))));
    EXPECT_EQ((std::vector<std::string>{"qo.lumo.Bus", kHuman, kBicycle}), typeIds(packet));
}

// ---- Display switches.

class DisplaySwitchTest : public ObjectConversionTest {
protected:
    std::vector<std::string> shownTypes() {
        return typeIds(onlyObjectPacket(
            feed(frame()
                     .object(CameraObject::person(1).box(1, 1, 5, 5))
                     .object(CameraObject::vehicle(2, "Car").box(1, 1, 5, 5))
                     .object(CameraObject::vehicle(3, "Truck").box(1, 1, 5, 5))
                     .object(CameraObject::vehicle(4, "Bicycle").box(1, 1, 5, 5))
                     .object(CameraObject::vehicle(5, "Motorcycle").box(1, 1, 5, 5)))));
    }
};

TEST_F(DisplaySwitchTest, PersonSwitchHidesPersonsOnly) {
    agent().setDisplaySwitches(false, true, true);
    EXPECT_EQ((std::vector<std::string>{kCar, kTruck, kBicycle, kMotorcycle}), shownTypes());
}

TEST_F(DisplaySwitchTest, CarSwitchHidesEveryVehicleButBikes) {
    agent().setDisplaySwitches(true, true, false);
    EXPECT_EQ((std::vector<std::string>{kHuman, kBicycle, kMotorcycle}), shownTypes());
}

TEST_F(DisplaySwitchTest, BicycleSwitchHidesBicyclesAndMotorcycles) {
    agent().setDisplaySwitches(true, false, true);
    EXPECT_EQ((std::vector<std::string>{kHuman, kCar, kTruck}), shownTypes());
}

TEST_F(DisplaySwitchTest, AllHiddenStillQueuesTheEmptyPacket) {
    agent().setDisplaySwitches(false, false, false);
    EXPECT_TRUE(shownTypes().empty());
}

TEST_F(DisplaySwitchTest, BestShotsIgnoreTheSwitches) {
    agent().setDisplaySwitches(false, false, false);
    const Delivery delivery =
        feed(frame()
                 .object(CameraObject::person(1).imageRef(kImage))
                 .object(CameraObject::vehicle(2, "Car").imageRef(kImage))
                 .object(CameraObject::vehicle(3, "Bicycle").imageRef(kImage)));
    EXPECT_EQ((std::vector<std::string>{kHuman, kCar, kBicycle}),
              typeIds(onlyObjectPacket(delivery)));
    EXPECT_EQ(3u, delivery.bestShots.size());
}

TEST_F(DisplaySwitchTest, HiddenAppearanceDoesNotDateTheLaterBestShot) {
    agent().setDisplaySwitches(false, true, true);
    feed(frame().object(CameraObject::person(7).box(1, 1, 5, 5)), kT0);
    const Delivery shot =
        feed(frame().object(CameraObject::person(7).imageRef(kImage)), kT0 + 2'000'000);
    ASSERT_EQ(1u, shot.bestShots.size());
    EXPECT_EQ(kT0 + 2'000'000, shot.bestShots[0].timestampUs);
}

// ---- Coordinate frame and boxes.

TEST_F(ObjectConversionTest, ScaleGivesTheFrameAndTheBoxInFractions) {
    const ObjectItem item = tracked(CameraObject::person(1).box(256, 128, 512, 384));
    EXPECT_FLOAT_EQ(1024.0F, agent().coordinateScaleX());
    EXPECT_FLOAT_EQ(512.0F, agent().coordinateScaleY());
    EXPECT_EQ(Rect(0.25F, 0.25F, 0.25F, 0.5F), item.box);
}

TEST_F(ObjectConversionTest, FrameIsComputedOnceForTheLifeOfTheAgent) {
    tracked(CameraObject::person(1).box(1, 1, 2, 2));
    const ObjectPacket packet =
        onlyObjectPacket(feed(OnvifDocument()
                                  .scale(0.004F, 0.004F)
                                  .object(CameraObject::person(1).box(256, 128, 512, 384))));
    ASSERT_EQ(1u, packet.items.size());
    EXPECT_EQ(Rect(0.25F, 0.25F, 0.25F, 0.5F), packet.items[0].box);
    EXPECT_FLOAT_EQ(1024.0F, agent().coordinateScaleX());
}

TEST_F(ObjectConversionTest, ObjectWithoutBoxGetsAnEmptyBoxAtTheOrigin) {
    EXPECT_EQ(Rect(0, 0, 0, 0), tracked(CameraObject::person(1)).box);
}

TEST_F(ObjectConversionTest, TrackedObjectsWaitForAUsableScale) {
    const auto person = CameraObject::person(1).box(256, 128, 512, 384);
    const OnvifDocument unusable[] = {
        OnvifDocument().object(person),              // no "tt:Transformation"
        OnvifDocument().scale(0, 0).object(person),  // scale 0
        OnvifDocument().scale(kScaleX, 0).object(person),
        OnvifDocument().scale(0, kScaleY).object(person),
    };
    for (const auto& document : unusable) {
        const ObjectPacket packet = onlyObjectPacket(feed(document));
        EXPECT_TRUE(packet.items.empty()) << "shown without a coordinate frame";
        for (const auto& item : packet.items)
            EXPECT_TRUE(isFinite(item.box));
        EXPECT_EQ(0.0F, agent().coordinateScaleX());
    }

    const ObjectItem item = tracked(person);
    EXPECT_EQ(Rect(0.25F, 0.25F, 0.25F, 0.5F), item.box);
}

TEST_F(ObjectConversionTest, BestShotNeedsNoCoordinateFrame) {
    const Delivery delivery =
        feed(OnvifDocument().object(CameraObject::person(5).imageRef(kImage)));
    EXPECT_EQ(1u, onlyObjectPacket(delivery).items.size());
    EXPECT_EQ(1u, delivery.bestShots.size());
}

// ---- Track identity.

TEST_F(ObjectConversionTest, CameraIdKeepsItsTrackAcrossDocuments) {
    const Uuid first = trackOf(7);
    EXPECT_EQ(first, trackOf(7, kT0 + 100'000));
    EXPECT_NE(first, trackOf(8, kT0 + 200'000));

    const Delivery shot = feed(frame().object(CameraObject::person(7).imageRef(kImage)));
    ASSERT_EQ(1u, shot.bestShots.size());
    EXPECT_EQ(first, shot.bestShots[0].trackId);
    EXPECT_EQ(first, onlyObjectPacket(shot).items.at(0).trackId);
}

TEST_F(ObjectConversionTest, TrackIsRenewedOnceTwoHundredFiftySixNewerIdsWereMade) {
    const Uuid first = trackOf(1);
    OnvifDocument many = frame();
    for (int id = 2; id <= 256; ++id)
        many.object(CameraObject::person(id).box(1, 1, 2, 2));
    const ObjectPacket manyPacket = onlyObjectPacket(feed(many));
    ASSERT_EQ(255u, manyPacket.items.size());
    const Uuid second = manyPacket.items.front().trackId;

    EXPECT_EQ(first, trackOf(1)) << "256 ids keep their tracks";

    // The look-up just made does not make id 1 younger: the 257th id pushes it out.
    const ObjectPacket next =
        onlyObjectPacket(feed(frame()
                                  .object(CameraObject::person(257).box(1, 1, 2, 2))
                                  .object(CameraObject::person(2).box(1, 1, 2, 2))));
    ASSERT_EQ(2u, next.items.size());
    EXPECT_EQ(second, next.items[1].trackId) << "the next oldest id keeps its track";

    const Uuid renewed = trackOf(1);
    EXPECT_NE(first, renewed);
    EXPECT_FALSE(renewed.isNull());
}

// ---- Best shots: attributes.

TEST_F(ObjectConversionTest, PersonBestShotCarriesItsAttributesInOrder) {
    const Delivery delivery = feed(frame().object(CameraObject::person(7)
                                                      .box(256, 128, 512, 384)
                                                      .face("Male", true, false, true, false)
                                                      .tops({kYuvGray, kYuvBlack})
                                                      .bottom(kYuvWhite)
                                                      .bag("Backpack")
                                                      .imageRef(kImage)),
                                   kT0);
    const ObjectPacket packet = onlyObjectPacket(delivery);
    ASSERT_EQ(1u, packet.items.size());
    const ObjectItem& item = packet.items[0];

    EXPECT_EQ(kHuman, item.typeId);
    EXPECT_EQ((std::vector<std::string>{"Object ID", "Gender", "Eyewear", "Mask", "Hat", "Helmet",
                                        "Top Color", "Bottom Color", "Bag"}),
              item.attributeNames());
    const std::vector<std::string> values = {"7",     "Male", "true",  "false",   "true",
                                             "false", "Gray", "White", "Backpack"};
    for (size_t i = 0; i < values.size() && i < item.attributes.size(); ++i) {
        EXPECT_EQ(values[i], item.attributes[i].value) << item.attributes[i].name;
        EXPECT_EQ(0, item.attributes[i].type) << item.attributes[i].name;
        EXPECT_FLOAT_EQ(1.0F, item.attributes[i].confidence) << item.attributes[i].name;
    }
    EXPECT_EQ(Rect(), item.box) << "a best shot has no box";
    EXPECT_EQ(kT0, packet.timestampUs);

    ASSERT_EQ(1u, delivery.bestShots.size());
    const BestShot& shot = delivery.bestShots[0];
    EXPECT_EQ(item.trackId, shot.trackId);
    EXPECT_FALSE(shot.trackId.isNull());
    EXPECT_EQ(kT0, shot.timestampUs);
    EXPECT_EQ(kImage, shot.imageUrl);
    EXPECT_EQ(Rect(), shot.box);
}

TEST_F(ObjectConversionTest, PersonBestShotNamesOnlyWhatTheCameraReported) {
    const Delivery plain = feed(frame().object(CameraObject::person(7).imageRef(kImage)));
    EXPECT_EQ((std::vector<std::string>{"Object ID"}),
              onlyObjectPacket(plain).items.at(0).attributeNames());

    const Delivery bagOnly =
        feed(frame().object(CameraObject::person(8).bag("Handbag").imageRef(kImage)));
    EXPECT_EQ((std::vector<std::string>{"Object ID", "Bag"}),
              onlyObjectPacket(bagOnly).items.at(0).attributeNames());
}

TEST_F(ObjectConversionTest, ObjectIdZeroIsLeftOutExceptForHeads) {
    const Delivery delivery = feed(frame()
                                       .object(CameraObject::person(0).imageRef(kImage))
                                       .object(CameraObject::vehicle(0, "Car").imageRef(kImage))
                                       .object(CameraObject::head(0).imageRef(kImage)));
    const ObjectPacket packet = onlyObjectPacket(delivery);
    ASSERT_EQ(3u, packet.items.size());
    EXPECT_TRUE(packet.items[0].attributes.empty());
    EXPECT_TRUE(packet.items[1].attributes.empty());
    EXPECT_EQ(kHead, packet.items[2].typeId);
    EXPECT_EQ((std::vector<std::string>{"Object ID"}), packet.items[2].attributeNames());
    EXPECT_EQ("0", packet.items[2].attribute("Object ID"));
    EXPECT_EQ(3u, delivery.bestShots.size());
}

TEST_F(ObjectConversionTest, HeadBestShotCarriesOnlyItsId) {
    const Delivery delivery =
        feed(frame().object(CameraObject::head(3).box(1, 1, 5, 5).imageRef(kImage)));
    const ObjectItem item = onlyObjectPacket(delivery).items.at(0);
    EXPECT_EQ(kHead, item.typeId);
    EXPECT_EQ((std::vector<std::string>{"Object ID"}), item.attributeNames());
    EXPECT_EQ("3", item.attribute("Object ID"));
    ASSERT_EQ(1u, delivery.bestShots.size());
    EXPECT_EQ(item.trackId, delivery.bestShots[0].trackId);
}

TEST_F(ObjectConversionTest, VehicleBestShotCarriesIdAndColour) {
    const Delivery delivery = feed(
        frame()
            .object(CameraObject::vehicle(9, "Truck").vehicleColor(kYuvRed).imageRef(kImage))
            .object(
                CameraObject::vehicle(10, "Motorcycle").vehicleColor(kYuvBlack).imageRef(kImage))
            .object(CameraObject::vehicle(11, "Bus").imageRef(kImage)));
    const ObjectPacket packet = onlyObjectPacket(delivery);
    ASSERT_EQ(3u, packet.items.size());
    EXPECT_EQ(kTruck, packet.items[0].typeId);
    EXPECT_EQ((std::vector<std::string>{"Object ID", "Color"}), packet.items[0].attributeNames());
    EXPECT_EQ("9", packet.items[0].attribute("Object ID"));
    EXPECT_EQ("Red", packet.items[0].attribute("Color"));
    EXPECT_EQ(kMotorcycle, packet.items[1].typeId);
    EXPECT_EQ("Black", packet.items[1].attribute("Color"));
    EXPECT_EQ((std::vector<std::string>{"Object ID"}), packet.items[2].attributeNames());
    EXPECT_EQ(3u, delivery.bestShots.size());
}

// ---- Best shots: their time.

TEST_F(ObjectConversionTest, BestShotSoonAfterTheFirstAppearanceIsDatedOneMillisecondAfterIt) {
    feed(frame().object(CameraObject::person(7).box(1, 1, 5, 5)), kT0);
    feed(frame().object(CameraObject::person(7).box(2, 2, 6, 6)), kT0 + 500'000);
    EXPECT_EQ(1u, agent().smartShotObjectCount());

    const Delivery shot =
        feed(frame().object(CameraObject::person(7).imageRef(kImage)), kT0 + 2'000'000);
    ASSERT_EQ(1u, shot.bestShots.size());
    EXPECT_EQ(kT0 + 1000, shot.bestShots[0].timestampUs);
    EXPECT_EQ(kT0 + 1000, onlyObjectPacket(shot).timestampUs);
    EXPECT_EQ(0u, agent().smartShotObjectCount()) << "the record is used up";

    const Delivery again =
        feed(frame().object(CameraObject::person(7).imageRef(kImage)), kT0 + 3'000'000);
    ASSERT_EQ(1u, again.bestShots.size());
    EXPECT_EQ(kT0 + 3'000'000, again.bestShots[0].timestampUs);
}

TEST_F(ObjectConversionTest, BestShotWithoutAppearanceIsDatedByItsDocument) {
    const Delivery shot =
        feed(frame().object(CameraObject::person(7).imageRef(kImage)), kT0 + 6'000'000);
    ASSERT_EQ(1u, shot.bestShots.size());
    EXPECT_EQ(kT0 + 6'000'000, shot.bestShots[0].timestampUs);
}

TEST_F(ObjectConversionTest, PacketTakesTheTimeOfTheLastObjectAdded) {
    feed(frame().object(CameraObject::person(7).box(1, 1, 5, 5)), kT0);
    const Delivery mixed = feed(frame()
                                    .object(CameraObject::person(8).box(1, 1, 5, 5))
                                    .object(CameraObject::person(7).imageRef(kImage)),
                                kT0 + 2'000'000);
    EXPECT_EQ(kT0 + 1000, onlyObjectPacket(mixed).timestampUs);
}

// ---- Highlighting after region events.

CameraEvent regionEvent(int objectId) {
    return CameraEvent(kTopicRegion)
        .source("Rule", "Region0")
        .data("ObjectId", std::to_string(objectId))
        .data("Actions", "Enter");
}

class HighlightTest : public ObjectConversionTest {
protected:
    std::string colorOf(int id, const CameraObject& object) {
        const ObjectPacket packet = onlyObjectPacket(feed(frame().object(object)));
        for (const auto& item : packet.items) {
            if (item.trackId == m_tracks[id])
                return item.attribute("qo.sys.color");
        }
        return "<not shown>";
    }
    std::string personColor(int id) {
        remember(id);
        return colorOf(id, CameraObject::person(id).box(1, 1, 5, 5));
    }
    void remember(int id) {
        if (m_tracks.count(id) == 0)
            m_tracks[id] = trackOf(id);
    }
    void regionEventFor(int id) {
        const Delivery delivery = feed(OnvifDocument().withoutFrame().event(regionEvent(id)));
        EXPECT_EQ(1u, delivery.events.size());
    }

    std::map<int, Uuid> m_tracks;
};

TEST_F(HighlightTest, ObjectOfARegionEventIsShownRed) {
    agent().setHighlightDuration(3);
    remember(7);
    remember(8);
    regionEventFor(7);
    EXPECT_EQ(1u, agent().eventedObjectCount());
    EXPECT_EQ("Red", personColor(7));
    EXPECT_EQ("Green", personColor(8));
    EXPECT_EQ("Red", personColor(7)) << "stays red while the time lasts";

    remember(9);
    regionEventFor(9);
    EXPECT_EQ("Red", colorOf(9, CameraObject::vehicle(9, "Bicycle").box(1, 1, 5, 5)));
}

TEST_F(HighlightTest, RedLastsForTheHighlightTime) {
    agent().setHighlightDuration(1);
    remember(7);
    const auto start = std::chrono::steady_clock::now();
    regionEventFor(7);
    EXPECT_EQ("Red", personColor(7));

    // Documents keep arriving; the record expires once it is a whole second old.
    std::string color;
    const bool expired = eventually(
        [&] {
            color = personColor(7);
            std::this_thread::sleep_for(20ms);
            return color != "Red";
        },
        5s);
    EXPECT_TRUE(expired);
    EXPECT_EQ("Green", color);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(0u, agent().eventedObjectCount());
}

TEST_F(HighlightTest, RegionEventHighlightsFromTheNextDocumentOn) {
    agent().setHighlightDuration(3);
    remember(7);
    const Delivery same =
        feed(frame().object(CameraObject::person(7).box(1, 1, 5, 5)).event(regionEvent(7)));
    ASSERT_EQ(1u, same.objects.size());
    ASSERT_EQ(1u, same.objects[0].items.size());
    EXPECT_EQ("Green", same.objects[0].items[0].attribute("qo.sys.color"));
    EXPECT_EQ("Red", personColor(7));
}

TEST_F(HighlightTest, ZeroHighlightTimeRecordsNothing) {
    agent().setHighlightDuration(0);
    remember(7);
    regionEventFor(7);
    EXPECT_EQ(0u, agent().eventedObjectCount());
    EXPECT_EQ("Green", personColor(7));
}

TEST_F(HighlightTest, SwitchingHighlightingOffEndsTheRedAtOnce) {
    agent().setHighlightDuration(5);
    remember(7);
    regionEventFor(7);
    agent().setHighlightDuration(0);
    EXPECT_EQ("Green", personColor(7));
}

}  // namespace
}  // namespace lumo_test
