// Texts kept in fixed arrays are cut to fit; owned texts are not.
#include <cstring>

#include "parser/document_builder.h"

namespace lumo_test {
namespace {

class TruncationTest : public ParserTest {};

const std::string kLong = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJ";

TEST_F(TruncationTest, FixedTextsKeepWhatFitsBeforeTheirNul) {
    auto payload = parse(document(
        frame(object(1, "<tt:Class><tt:Type>" + kLong +
                            "</tt:Type></tt:Class>"
                            "<tt:VehicleInfo><tt:Type>" +
                            kLong +
                            "</tt:Type></tt:VehicleInfo>"
                            "<tod:CaptureTime>" +
                            kLong +
                            "</tod:CaptureTime>"
                            "<tt:HumanFace><fc:Gender>" +
                            kLong +
                            "</fc:Gender></tt:HumanFace>"
                            "<tt:HumanBody><bd:Belonging><bd:Bag><bd:Category>" +
                            kLong + "</bd:Category></bd:Bag></bd:Belonging></tt:HumanBody>"),
              kLong) +
        "<tt:Event><wsnt:NotificationMessage><wsnt:Message><tt:Message UtcTime=\"" + kLong +
        "\"/></wsnt:Message></wsnt:NotificationMessage></tt:Event>"));
    ASSERT_TRUE(payload);
    const std::string first31 = kLong.substr(0, 31);
    const auto& o = *payload->objects[0];
    EXPECT_EQ(payload->utcTime, first31);
    EXPECT_EQ(payload->events[0]->utcTime, first31);
    EXPECT_EQ(o.classType, first31);
    EXPECT_EQ(o.vehicleType, first31);
    EXPECT_EQ(o.captureTime, first31);
    EXPECT_EQ(o.bagCategory, first31);
    EXPECT_EQ(o.gender, kLong.substr(0, 11));
}

TEST_F(TruncationTest, CutNeverSplitsAMultiByteCharacter) {
    // Ten ASCII characters, then "é" (two bytes) across the 11-byte limit.
    const auto& o =
        onlyObject("<tt:HumanFace><fc:Gender>Masculinit\xC3\xA9</fc:Gender></tt:HumanFace>");
    EXPECT_STREQ(o.gender, "Masculinit");
    const auto& fits =
        onlyObject("<tt:HumanFace><fc:Gender>Masculin\xC3\xA9</fc:Gender></tt:HumanFace>");
    EXPECT_STREQ(fits.gender, "Masculin\xC3\xA9");
}

TEST_F(TruncationTest, OwnedTextsKeepTheirWholeLength) {
    const std::string longUrl = "http://192.0.2.10/" + std::string(4000, 'a');
    const std::string topic = std::string(3000, 't');
    auto payload = parse(document(frame(object(1, "<tt:ImageRef>" + longUrl + "</tt:ImageRef>")) +
                                  event(topic, item(kLong + kLong, kLong), "")));
    ASSERT_TRUE(payload);
    EXPECT_EQ(payload->objects[0]->imageRef, longUrl);
    EXPECT_EQ(payload->events[0]->topic, topic);
    EXPECT_EQ(payload->events[0]->sourceNames[0], kLong + kLong);
}

}  // namespace
}  // namespace lumo_test
