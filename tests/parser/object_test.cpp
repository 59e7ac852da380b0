// An object's ids, shape and class, and how attribute numbers are read.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <ostream>

#include "parser/document_builder.h"

namespace lumo_test {
namespace {

class ObjectTest : public ParserTest {};

TEST_F(ObjectTest, ReadsBoxCentreAndClass) {
    const auto& o = onlyObject(
        "<tt:Shape><tt:BoundingBox left=\"256.0\" top=\"128\" right=\"512.5\" bottom=\"384\"/>"
        "<tt:CenterOfGravity x=\"384.25\" y=\"256\"/></tt:Shape>"
        "<tt:Class><tt:Type Likelihood=\"0.87\">Human</tt:Type></tt:Class>");
    EXPECT_EQ(o.objectId, 7);
    EXPECT_FLOAT_EQ(o.left, 256.0f);
    EXPECT_FLOAT_EQ(o.top, 128.0f);
    EXPECT_FLOAT_EQ(o.right, 512.5f);
    EXPECT_FLOAT_EQ(o.bottom, 384.0f);
    EXPECT_FLOAT_EQ(o.centerX, 384.25f);
    EXPECT_FLOAT_EQ(o.centerY, 256.0f);
    EXPECT_FLOAT_EQ(o.classLikelihood, 0.87f);
    EXPECT_STREQ(o.classType, "Human");
}

TEST_F(ObjectTest, LaterPartOfTheSameKindOverwritesTheEarlier) {
    const auto& o = onlyObject(
        "<tt:Class><tt:Type Likelihood=\"0.4\">Vehicle</tt:Type></tt:Class>"
        "<tt:Class><tt:Type>HumanHead</tt:Type></tt:Class>");
    EXPECT_STREQ(o.classType, "HumanHead");
    EXPECT_FLOAT_EQ(o.classLikelihood, 0.4f);  // absent attribute leaves the earlier value
}

struct IntegerCase {
    const char* text;
    int32_t value;
};
void PrintTo(const IntegerCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class IntegerAttributeTest : public ParserTest,
                             public ::testing::WithParamInterface<IntegerCase> {};

TEST_P(IntegerAttributeTest, ReadsBaseTenWithBlanksAndSignSaturatingAt32Bits) {
    auto payload =
        parse(document(frame(std::string("<tt:Object ObjectId=\"") + GetParam().text + "\"/>")));
    ASSERT_TRUE(payload);
    EXPECT_EQ(payload->objects[0]->objectId, GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Values, IntegerAttributeTest,
    ::testing::Values(IntegerCase{"42", 42}, IntegerCase{" \t -17", -17}, IntegerCase{"+8", 8},
                      IntegerCase{"12abc", 12}, IntegerCase{"abc", 0}, IntegerCase{"", 0},
                      IntegerCase{"- 5", 0}, IntegerCase{"2147483647", 2147483647},
                      IntegerCase{"2147483648", std::numeric_limits<int32_t>::max()},
                      IntegerCase{"-2147483648", std::numeric_limits<int32_t>::min()},
                      IntegerCase{"-99999999999999999999", std::numeric_limits<int32_t>::min()}));

struct FloatCase {
    const char* text;
    float value;
};
void PrintTo(const FloatCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class FloatAttributeTest : public ParserTest, public ::testing::WithParamInterface<FloatCase> {};

TEST_P(FloatAttributeTest, ReadsDecimalNumbersAndGivesZeroForAnythingElse) {
    const auto& o = onlyObject(std::string("<tt:Shape><tt:BoundingBox left=\"") + GetParam().text +
                               "\"/></tt:Shape>");
    EXPECT_FLOAT_EQ(o.left, GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Values, FloatAttributeTest,
                         ::testing::Values(FloatCase{"1e3", 1000.0f}, FloatCase{"  2.5px", 2.5f},
                                           FloatCase{"+.25", 0.25f}, FloatCase{"-0.5", -0.5f},
                                           FloatCase{"abc", 0.0f}, FloatCase{"nan", 0.0f},
                                           FloatCase{"inf", 0.0f}, FloatCase{"1e60", 0.0f},
                                           FloatCase{"+-1", 0.0f}));

TEST(ObjectRecordTest, FlagsShareOneByteInTheirDocumentedBits) {
    Metadata::_Object o;
    const auto flagByte = [&o] {
        const auto* bytes = reinterpret_cast<const unsigned char*>(&o);
        return bytes[offsetof(Metadata::_Object, bagCategory) + sizeof(o.bagCategory)];
    };
    EXPECT_EQ(flagByte(), 0);
    o.hasFace = 1;
    o.hasTopColor = 1;
    o.hasBottomColor = 1;
    o.hasVehicleColor = 1;
    EXPECT_EQ(flagByte(), 0x0F);
    o.hasBag = 1;
    EXPECT_EQ(flagByte(), 0x8F);
}

}  // namespace
}  // namespace lumo_test
