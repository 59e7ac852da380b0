#include <gtest/gtest.h>

#include "lumo/utils.h"

namespace qo::vms_server_plugins::analytics::lumo {
namespace {

TEST(UrlEncode, KeepsUnreservedAndEscapesTheRestInLowerCase) {
    EXPECT_EQ(urlEncode("a b/~"), "a%20b%2f~");
    EXPECT_EQ(urlEncode("AZaz09-._~"), "AZaz09-._~");
    EXPECT_EQ(urlEncode("&=#%+?"), "%26%3d%23%25%2b%3f");
    EXPECT_EQ(urlEncode(std::string("\xE9\x00\xFF", 3)), "%e9%00%ff");
    EXPECT_EQ(urlEncode(""), "");
}

TEST(Queries, WriteQueryEncodesNameAndValue) {
    EXPECT_EQ(writeQuery("AIX_REGION_ENABLE2", "1"),
              "WriteParam?action=writeparam&AIX_REGION_ENABLE2=1&");
    EXPECT_EQ(writeQuery("AIX_LINE_COUNTOSD_STRING0", "%L1% in"),
              "WriteParam?action=writeparam&AIX_LINE_COUNTOSD_STRING0=%25L1%25%20in&");
}

TEST(Queries, NamesCannotInjectFurtherParameters) {
    EXPECT_EQ(writeQuery("A=1&B", "2"), "WriteParam?action=writeparam&A%3d1%26B=2&");
    EXPECT_EQ(readQuery("X&action=writeparam#"),
              "ReadParam?action=readparam&X%26action%3dwriteparam%23=&");
    EXPECT_EQ(readQuery("caf\xC3\xA9 x"), "ReadParam?action=readparam&caf%c3%a9%20x=&");
}

TEST(Queries, ReadQueryOfModelNameIsUnchanged) {
    EXPECT_EQ(readQuery("AIX_REGION_CURRENT_POSITION0"),
              "ReadParam?action=readparam&AIX_REGION_CURRENT_POSITION0=&");
}

TEST(GetValueAfterEqualSign, TakesTheRestOfTheFirstLine) {
    EXPECT_EQ(getValueAfterEqualSign("AIX_PERSON_SENSITIVITY=1"), "1");
    EXPECT_EQ(getValueAfterEqualSign("AIX_PERSON_SENSITIVITY="), "");
    EXPECT_EQ(getValueAfterEqualSign("A=1\nB=2"), "1");
    EXPECT_EQ(getValueAfterEqualSign("A=1\r\nB=2"), "1");
    EXPECT_EQ(getValueAfterEqualSign("A=b=c"), "b=c");
    EXPECT_EQ(getValueAfterEqualSign("\nA=x y"), "x y");
}

TEST(GetValueAfterEqualSign, ReplyWithoutEqualSignReadsZero) {
    EXPECT_EQ(getValueAfterEqualSign("Ok"), "0");
    EXPECT_EQ(getValueAfterEqualSign(""), "0");
}

TEST(GetValueAfterEqualSign, LongReplyDoesNotExhaustTheStack) {
    const std::string reply = "A=" + std::string(1 << 20, 'x');
    EXPECT_EQ(getValueAfterEqualSign(reply).size(), size_t{1} << 20);
}

TEST(ExtractIpAddress, FindsFirstDottedQuad) {
    EXPECT_EQ(extractIpAddress("http://192.168.0.10:80/onvif/device_service"), "192.168.0.10");
    EXPECT_EQ(extractIpAddress("rtsp://a/1.2.3.4/5.6.7.8"), "1.2.3.4");
    EXPECT_EQ(extractIpAddress("http://999.999.999.999/"), "999.999.999.999");
}

TEST(ExtractIpAddress, LongDigitRunsStartWhereTheMatchFits) {
    EXPECT_EQ(extractIpAddress("1234.5.6.7"), "234.5.6.7");
    EXPECT_EQ(extractIpAddress("1.2.3.4567"), "1.2.3.456");
    EXPECT_EQ(extractIpAddress("1.2.3333.4.5.6"), "333.4.5.6");
}

TEST(ExtractIpAddress, NoAddressGivesEmptyText) {
    EXPECT_EQ(extractIpAddress("http://camera.local/"), "");
    EXPECT_EQ(extractIpAddress("1.2.3."), "");
    EXPECT_EQ(extractIpAddress(""), "");
}

TEST(DecrementLastDigit, LowersOnlyTheLastDigit) {
    EXPECT_EQ(decrementLastDigit("AIX_PERSON_SENSITIVITY"), "AIX_PERSON_SENSITIVITY");
    EXPECT_EQ(decrementLastDigit("AIX_LINE_POSITION8"), "AIX_LINE_POSITION7");
    EXPECT_EQ(decrementLastDigit("AIX_REGION_ENABLE1"), "AIX_REGION_ENABLE0");
    EXPECT_EQ(decrementLastDigit("X10"), "X19");
    EXPECT_EQ(decrementLastDigit(""), "");
}

TEST(ExtractLastDigit, ScansFromTheEnd) {
    EXPECT_EQ(extractLastDigit("AIX_REGION_ENABLE0"), "0");
    EXPECT_EQ(extractLastDigit("A1B2C"), "2");
    EXPECT_EQ(extractLastDigit("NO_DIGITS"), "");
}

TEST(AddCurrentStr, ReplacesEveryPosition) {
    EXPECT_EQ(addCurrentStr("AIX_REGION_POSITION0"), "AIX_REGION_CURRENT_POSITION0");
    EXPECT_EQ(addCurrentStr("POSITIONPOSITION"), "CURRENT_POSITIONCURRENT_POSITION");
    EXPECT_EQ(addCurrentStr("AIX_ENABLE"), "AIX_ENABLE");
}

}  // namespace
}  // namespace qo::vms_server_plugins::analytics::lumo
