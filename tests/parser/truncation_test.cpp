// Texts kept in fixed arrays are cut to fit, never inside a character; owned texts are not cut.
#include "parser/payload_text.h"

namespace lumo_test {

TEST(TruncationTest, FixedTextsKeepWhatFitsBeforeTheirNulNeverSplittingACharacter) {
    const std::string kLong = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJ";
    EXPECT_EQ(
        read(document(frame(object(1, "<tt:Class><tt:Type>" + kLong + "</tt:Type></tt:Class>")) +
                      "<tt:Event><wsnt:NotificationMessage><wsnt:Message><tt:Message "
                      "UtcTime=\"" +
                      kLong + "\"/></wsnt:Message></wsnt:NotificationMessage></tt:Event>")),
        "frame @2024-05-14T09:21:07.512Z translate 0,0 scale 0,0\nobject 1/0 class " +
            kLong.substr(0, 31) + "@0\nevent - @" + kLong.substr(0, 31) + " source 0: data 0:");
    // Ten ASCII characters, then "é" (two bytes) across the 11-byte limit.
    expectObjects({{"<tt:HumanFace><fc:Gender>Masculinit\xC3\xA9</fc:Gender></tt:HumanFace>",
                    "face Masculinit"},
                   {"<tt:HumanFace><fc:Gender>Masculin\xC3\xA9</fc:Gender></tt:HumanFace>",
                    "face Masculin\xC3\xA9"}});
}

TEST(TruncationTest, OwnedTextsKeepTheirWholeLength) {
    const std::string url = "http://192.0.2.10/" + std::string(4000, 'a');
    auto payload = parseText(
        document(frame(object(1, "<tt:ImageRef>" + url + "</tt:ImageRef>")) + event(url)));
    ASSERT_TRUE(payload);
    EXPECT_EQ(payload->objects[0]->imageRef, url);
    EXPECT_EQ(payload->events[0]->topic, url);
}

}  // namespace lumo_test
