// Texts kept in fixed arrays are cut to fit, never inside a character; owned texts are not cut.
#include "parser/document_builder.h"

namespace lumo_test {

const std::string kLong = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJ";

TEST(TruncationTest, FixedTextsKeepWhatFitsBeforeTheirNul) {
    const std::string cut = kLong.substr(0, 31);
    EXPECT_EQ(read(document(
                  frame(object(1, "<tt:Class><tt:Type>" + kLong + "</tt:Type></tt:Class>" +
                                      "<tt:VehicleInfo><tt:Type>" + kLong +
                                      "</tt:Type></tt:VehicleInfo><tod:CaptureTime>" + kLong +
                                      "</tod:CaptureTime><tt:HumanFace><fc:Gender>" + kLong +
                                      "</fc:Gender></tt:HumanFace><tt:HumanBody><bd:Belonging>" +
                                      "<bd:Bag><bd:Category>" + kLong +
                                      "</bd:Category></bd:Bag></bd:Belonging></tt:HumanBody>"),
                        kLong) +
                  "<tt:Event><wsnt:NotificationMessage><wsnt:Message><tt:Message UtcTime=\"" +
                  kLong + "\"/></wsnt:Message></wsnt:NotificationMessage></tt:Event>")),
              "frame @" + cut + " translate 0,0 scale 0,0\nobject 1/0 class " + cut +
                  "@0 vehicle " + cut + "@0 face " + kLong.substr(0, 11) + " bag " + cut +
                  " captured " + cut + "\nevent - @" + cut + " source 0: data 0:");
}

TEST(TruncationTest, CutNeverSplitsAMultiByteCharacter) {
    // Ten ASCII characters, then "é" (two bytes) across the 11-byte limit.
    expectObjects({{"<tt:HumanFace><fc:Gender>Masculinit\xC3\xA9</fc:Gender></tt:HumanFace>",
                    "face Masculinit"},
                   {"<tt:HumanFace><fc:Gender>Masculin\xC3\xA9</fc:Gender></tt:HumanFace>",
                    "face Masculin\xC3\xA9"}});
}

TEST(TruncationTest, OwnedTextsKeepTheirWholeLength) {
    const std::string url = "http://192.0.2.10/" + std::string(4000, 'a');
    const std::string topic = std::string(3000, 't');
    auto payload = parseText(document(frame(object(1, "<tt:ImageRef>" + url + "</tt:ImageRef>")) +
                                      event(topic, item(kLong + kLong, kLong), "")));
    ASSERT_TRUE(payload);
    EXPECT_EQ(payload->objects[0]->imageRef, url);
    EXPECT_EQ(payload->events[0]->topic, topic);
    EXPECT_EQ(payload->events[0]->sourceNames[0], kLong + kLong);
}

}  // namespace lumo_test
