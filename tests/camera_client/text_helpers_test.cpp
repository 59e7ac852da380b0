// The camera client's text helpers: queries, reply values, addresses and parameter names.
#include <gtest/gtest.h>

#include <vector>

#include "lumo/utils.h"

namespace qo::vms_server_plugins::analytics::lumo {
namespace {

TEST(TextHelpers, EachHelperTurnsItsInputsIntoTheExpectedTexts) {
    const struct {
        const char* name;
        std::string (*helper)(const std::string&);
        std::vector<std::string> pairs;  // input, expected, input, expected, ...
    } helpers[] = {
        // Unreserved characters stay, the rest is escaped in lower case.
        {"urlEncode",
         urlEncode,
         {"a b/~", "a%20b%2f~", "AZaz09-._~", "AZaz09-._~", "&=#%+?", "%26%3d%23%25%2b%3f",
          std::string("\xE9\x00\xFF", 3), "%e9%00%ff", "", ""}},
        // Names are encoded too, so that none can inject a further parameter.
        {"readQuery",
         readQuery,
         {"AIX_REGION_CURRENT_POSITION0",
          "ReadParam?action=readparam&AIX_REGION_CURRENT_POSITION0=&", "X&action=writeparam#",
          "ReadParam?action=readparam&X%26action%3dwriteparam%23=&", "caf\xC3\xA9 x",
          "ReadParam?action=readparam&caf%c3%a9%20x=&"}},
        // The rest of the first line; a reply without "=" (old firmware's "Ok") reads "0".
        {"getValueAfterEqualSign",
         getValueAfterEqualSign,
         {"AIX_PERSON_SENSITIVITY=1", "1", "AIX_PERSON_SENSITIVITY=", "", "A=1\nB=2", "1",
          "A=1\r\nB=2", "1", "A=b=c", "b=c", "\nA=x y", "x y", "Ok", "0", "", "0"}},
        // The first dotted quad, starting where the match fits.
        {"extractIpAddress",
         extractIpAddress,
         {"http://192.168.0.10:80/onvif/device_service", "192.168.0.10", "rtsp://a/1.2.3.4/5.6.7.8",
          "1.2.3.4", "http://999.999.999.999/", "999.999.999.999", "1234.5.6.7", "234.5.6.7",
          "1.2.3.4567", "1.2.3.456", "1.2.3333.4.5.6", "333.4.5.6", "http://camera.local/", "",
          "1.2.3.", "", "", ""}},
        {"decrementLastDigit",
         decrementLastDigit,
         {"AIX_PERSON_SENSITIVITY", "AIX_PERSON_SENSITIVITY", "AIX_LINE_POSITION8",
          "AIX_LINE_POSITION7", "AIX_REGION_ENABLE1", "AIX_REGION_ENABLE0", "X10", "X19", "", ""}},
        {"extractLastDigit",
         extractLastDigit,
         {"AIX_REGION_ENABLE0", "0", "A1B2C", "2", "NO_DIGITS", ""}},
        {"addCurrentStr",
         addCurrentStr,
         {"AIX_REGION_POSITION0", "AIX_REGION_CURRENT_POSITION0", "POSITIONPOSITION",
          "CURRENT_POSITIONCURRENT_POSITION", "AIX_ENABLE", "AIX_ENABLE"}},
    };
    for (const auto& h : helpers) {
        for (size_t i = 0; i + 1 < h.pairs.size(); i += 2)
            EXPECT_EQ(h.helper(h.pairs[i]), h.pairs[i + 1])
                << h.name << "(\"" << h.pairs[i] << "\")";
    }
    EXPECT_EQ(getValueAfterEqualSign("A=" + std::string(1 << 20, 'x')).size(), size_t{1} << 20)
        << "a long reply must not exhaust the stack";
}

TEST(TextHelpers, WriteQueryEncodesNameAndValue) {
    EXPECT_EQ(writeQuery("AIX_REGION_ENABLE2", "1"),
              "WriteParam?action=writeparam&AIX_REGION_ENABLE2=1&");
    EXPECT_EQ(writeQuery("AIX_LINE_COUNTOSD_STRING0", "%L1% in"),
              "WriteParam?action=writeparam&AIX_LINE_COUNTOSD_STRING0=%25L1%25%20in&");
    EXPECT_EQ(writeQuery("A=1&B", "2"), "WriteParam?action=writeparam&A%3d1%26B=2&");
}

}  // namespace
}  // namespace qo::vms_server_plugins::analytics::lumo
