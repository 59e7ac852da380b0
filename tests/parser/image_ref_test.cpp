// Best-shot objects: the image address as an owned copy, and the capture time.
#include <algorithm>

#include "parser/document_builder.h"

namespace lumo_test {

TEST(ImageRefTest, ImageRefIsAnOwnedCopyWithEntitiesDecoded) {
    std::string text = document(
        frame(object(12,
                     "<tt:ImageRef>http://192.0.2.10/bestshot?id=12&amp;size=full</tt:ImageRef>"
                     "<tod:CaptureTime>2024-05-14T09:21:05.880Z</tod:CaptureTime>")));
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    PayloadPtr payload(Metadata::ConvertToPayload(buffer.data(), static_cast<int>(text.size())));
    std::fill(buffer.begin(), buffer.end(), 'x');  // the text may go once the call returns
    ASSERT_TRUE(payload);
    EXPECT_EQ(describe(*payload->objects[0]),
              "image http://192.0.2.10/bestshot?id=12&size=full captured 2024-05-14T09:21:05.880Z");
    expectObjects({{"<tt:ImageRef>first</tt:ImageRef><tt:ImageRef> second </tt:ImageRef>",
                    "image second"}});  // the later replaces the earlier
}

}  // namespace lumo_test
