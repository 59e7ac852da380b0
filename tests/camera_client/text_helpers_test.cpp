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
         {"AZaz09-._~", "AZaz09-._~", "&=#% +?/", "%26%3d%23%25%20%2b%3f%2f",
          std::string("\xE9\x00\xFF", 3), "%e9%00%ff"}},
        // Names are encoded too, so that none can inject a further parameter.
        {"readQuery",
         readQuery,
         {"X&action=writeparam#", "ReadParam?action=readparam&X%26action%3dwriteparam%23=&"}},
        // The rest of the first line; a reply without "=" (old firmware's "Ok") reads "0".
        {"getValueAfterEqualSign",
         getValueAfterEqualSign,
         {"A=", "", "A=1\r\nB=2", "1", "A=b=c", "b=c", "\nA=x y", "x y", "Ok", "0", "", "0"}},
        // The first dotted quad, starting where the match fits.
        {"extractIpAddress",
         extractIpAddress,
         {"http://192.168.0.10:80/onvif/device_service", "192.168.0.10", "rtsp://a/1.2.3.4/5.6.7.8",
          "1.2.3.4", "1234.5.6.7", "234.5.6.7", "1.2.3.4567", "1.2.3.456", "1.2.3.", ""}},
        // Kept as API: only the last character moves, and a 0 wraps to 9.
        {"decrementLastDigit",
         decrementLastDigit,
         {"SLOT8", "SLOT7", "SLOT0", "SLOT9", "SLOT10", "SLOT19", "A1B", "A1B", "", ""}},
        {"extractLastDigit", extractLastDigit, {"A12B", "2", "AIX_PERSON_SENSITIVITY", ""}},
        {"addCurrentStr",
         addCurrentStr,
         {"POSITION_POSITION1", "CURRENT_POSITION_CURRENT_POSITION1", "POSITIO", "POSITIO"}},
    };
    for (const auto& h : helpers) {
        for (size_t i = 0; i + 1 < h.pairs.size(); i += 2)
            EXPECT_EQ(h.helper(h.pairs[i]), h.pairs[i + 1])
                << h.name << "(\"" << h.pairs[i] << "\")";
    }
    EXPECT_EQ(getValueAfterEqualSign("A=" + std::string(1 << 20, 'x')).size(), size_t{1} << 20)
        << "a long reply must not exhaust the stack";
}

}  // namespace
}  // namespace qo::vms_server_plugins::analytics::lumo
