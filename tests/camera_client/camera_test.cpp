// The substitute camera: its parameter table, and its digest login on the wire through curl's
// command line, with answers made by hand where a test needs them.
#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

#include "camera_client/camera_fixture.h"
#include "md5.h"

namespace lumo_camera {
namespace {

using Result = ParameterTable::WriteResult;

TEST(ParameterTableTest, FiguresAreStoredAndReadInTheCamerasReplyForms) {
    ParameterTable table;
    ASSERT_EQ(table.write("AIX_REGION_POSITION22", "100,100,500,100,500,500"), Result::ok);
    EXPECT_EQ(table.read("AIX_REGION_CURRENT_POSITION2"), "1,100,100,500,100,500,500");
    ASSERT_EQ(table.write("AIX_LINE_POSITION00", "1,2,3,4,5,6"), Result::ok);
    EXPECT_EQ(table.read("AIX_LINE_CURRENT_POSITION0"), "2;1,2,3,4;3,4,5,6");
    ASSERT_EQ(table.write("AIX_LINE_CLEAR0", "0"), Result::ok);
    EXPECT_EQ(table.read("AIX_LINE_CURRENT_POSITION0"), "0");

    // The test hook reports a shape cut into parts until the next write.
    table.reportInParts("AIX_REGION_CURRENT_POSITION1", {"0,100,300,100", "0,600,300,600"});
    EXPECT_EQ(table.read("AIX_REGION_CURRENT_POSITION1"), "2;0,100,300,100;0,600,300,600");
    table.write("AIX_REGION_POSITION11", "1,1,2,2");
    EXPECT_EQ(table.read("AIX_REGION_CURRENT_POSITION1"), "1,1,1,2,2");
    EXPECT_THROW(table.reportInParts("AIX_REGION_POSITION1", {}), std::invalid_argument);
}

TEST(ParameterTableTest, RefusesUnknownNamesBadPositionsAndPartialBatches) {
    ParameterTable table;
    const std::tuple<const char*, const char*, Result> writes[] = {
        {"AIX_NO_SUCH", "1", Result::unknownName},
        {"AIX_REGION_POSITION01", "1,1", Result::unknownName},  // slot not doubled
        {"AIX_REGION_POSITION00", "1,1001", Result::invalidValue}};
    for (const auto& [name, value, result] : writes)
        EXPECT_EQ(table.write(name, value), result) << name << "=" << value;
    std::string failed;
    EXPECT_EQ(table.writeAll({{"AIX_REGION_ENABLE0", "1"}, {"AIX_BAD", "1"}}, failed),
              Result::unknownName);
    EXPECT_EQ(failed, "AIX_BAD");
    EXPECT_EQ(table.read("AIX_REGION_ENABLE0"), "0");
}

class CameraOnLoopback : public camera_test::CameraFixture {
protected:
    CameraOnLoopback() : CameraFixture(24) {}

    // What curl prints, then a line with the HTTP status.
    std::string curl(const std::string& options, const std::string& query = kQuery) const {
        FILE* pipe = popen(("/usr/bin/curl -s -S --max-time 10 " + options + " 'http://" + ip() +
                            "/httpapi/" + query + "' -w '\\n%{http_code}' 2>&1")
                               .c_str(),
                           "r");
        std::string output;
        char buffer[4096];
        for (size_t n = 0; pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            output.append(buffer, n);
        if (pipe)
            pclose(pipe);
        return output;
    }
    std::string login() const { return "--digest -u " + user() + ":" + password(); }

    std::string get(const std::string& authorization = {}) const {
        return curl("-D - -o /dev/null" +
                    (authorization.empty() ? "" : " -H 'Authorization: " + authorization + "'"));
    }
    static std::string status(const std::string& reply) {
        return reply.substr(reply.size() < 3 ? 0 : reply.size() - 3);
    }
    static bool stale(const std::string& reply) {
        return reply.find("stale=true") != std::string::npos;
    }
    static std::string field(const std::string& challenge, const std::string& key) {
        const size_t at = challenge.find(key + "=\"");
        const size_t begin = at + key.size() + 2;
        return at == std::string::npos
                   ? ""
                   : challenge.substr(begin, challenge.find('"', begin) - begin);
    }

    std::string answer(const std::string& challenge, const std::string& nc,
                       const std::string& secret = {}) const {
        const std::string uri = std::string("/httpapi/") + kQuery;
        const std::string ha1 = md5Hex(user() + ":" + field(challenge, "realm") + ":" +
                                       (secret.empty() ? password() : secret));
        const std::string response = md5Hex(ha1 + ":" + field(challenge, "nonce") + ":" + nc +
                                            ":c0ffee:auth:" + md5Hex("GET:" + uri));
        return "Digest username=\"" + user() + "\", realm=\"" + field(challenge, "realm") +
               "\", nonce=\"" + field(challenge, "nonce") + "\", uri=\"" + uri +
               "\", qop=auth, nc=" + nc + ", cnonce=\"c0ffee\", response=\"" + response +
               "\", opaque=\"" + field(challenge, "opaque") + "\"";
    }

    static constexpr const char* kQuery = "ReadParam?action=readparam&AIX_CAR_SENSITIVITY=&";
};

TEST_F(CameraOnLoopback, AnswersReadsAndWritesThroughCurlAsACameraWould) {
    const std::pair<const char*, const char*> exchanges[] = {
        {"ReadParam?action=readparam&AIX_CAR_SENSITIVITY=&AIX_LINE_DIRECTION3=&",
         "AIX_CAR_SENSITIVITY=0\nAIX_LINE_DIRECTION3=0\n\n200"},
        {"WriteParam?action=writeparam&AIX_LINE_DIRECTION1=1&AIX_LINE_POSITION11=100,200,500,600&",
         "OK\n\n200"},
        {"ReadParam?action=readparam&AIX_LINE_CURRENT_POSITION1=&AIX_LINE_DIRECTION1=&",
         "AIX_LINE_CURRENT_POSITION1=1,100,200,500,600\nAIX_LINE_DIRECTION1=1\n\n200"},
        {"ReadParam?action=writeparam&AIX_CAR_SENSITIVITY=&", "Error: bad action\n\n400"}};
    for (const auto& [query, reply] : exchanges)
        EXPECT_EQ(curl(login(), query), reply) << query;
    for (const std::string& refused :
         {"--digest -u " + user() + ":nope", "--basic -u " + user() + ":" + password()})
        EXPECT_EQ(curl(refused), "401 Unauthorized\n\n401") << refused;
}

TEST_F(CameraOnLoopback, ReplayedOrForgottenNonceGetsAFreshStaleChallengeAWrongAnswerAPlainOne) {
    const std::string challenge = get();
    ASSERT_EQ(status(challenge), "401");
    EXPECT_EQ(status(get(answer(challenge, "00000001"))), "200");
    const std::string replay = get(answer(challenge, "00000001"));
    EXPECT_EQ(status(replay), "401");
    EXPECT_TRUE(stale(replay));

    const std::string wrong = get(answer(challenge, "00000002", "nope"));
    EXPECT_EQ(status(wrong), "401");
    EXPECT_FALSE(stale(wrong));
    EXPECT_EQ(status(get("Digest username=\"admin")), "401");

    camera->auth().forgetNonces();
    const std::string renewed = get(answer(challenge, "00000004"));
    EXPECT_EQ(status(renewed), "401");
    EXPECT_TRUE(stale(renewed));
    EXPECT_NE(field(renewed, "nonce"), field(challenge, "nonce"));
    EXPECT_EQ(status(get(answer(renewed, "00000001"))), "200");
}

}  // namespace
}  // namespace lumo_camera
