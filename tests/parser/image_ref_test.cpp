// Best-shot objects: the image address as an owned copy, and the capture time.
#include "parser/payload_text.h"

namespace lumo_test {

TEST(ImageRefTest, ImageRefIsAnOwnedCopyWithEntitiesDecodedAndTheLaterReplacesTheEarlier) {
    std::string text = document(frame(
        object(12,
               "<tt:ImageRef>first</tt:ImageRef><tt:ImageRef>http://192.0.2.10/b?id=12&amp;"
               "s=1</tt:ImageRef><tod:CaptureTime>2024-05-14T09:21:05.880Z</tod:CaptureTime>")));
    PayloadPtr payload(Metadata::ConvertToPayload(text.data(), static_cast<int>(text.size())));
    text.replace(0, text.size(), text.size(), 'x');  // the text may go once the call returns
    ASSERT_TRUE(payload);
    EXPECT_EQ(describe(*payload->objects[0]),
              "image http://192.0.2.10/b?id=12&s=1 captured 2024-05-14T09:21:05.880Z");
}

}  // namespace lumo_test
