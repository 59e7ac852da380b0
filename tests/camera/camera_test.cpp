// The substitute camera: its parameter table, and its digest login on the wire through curl's
// command line, with answers made by hand where a test needs them.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <tuple>

#include "md5.h"
#include "support/camera_fixture.h"

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

using namespace std::chrono_literals;

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

// An embedded camera's pace: every exchange late, one exchange at a time, few connections.
class LateCamera : public CameraOnLoopback {
protected:
    LateCamera() { cameraOptions.latency = 500ms; }
};

TEST_F(LateCamera, EveryExchangeIsLateTheLoginChallengeIncluded) {
    EXPECT_EQ(status(curl("--max-time 0.1")), "000") << "the challenge is late too";
    EXPECT_EQ(status(curl("")), "401");
    EXPECT_EQ(curl(login()), "AIX_CAR_SENSITIVITY=0\n\n200");
}

class SerialCamera : public CameraOnLoopback {
protected:
    SerialCamera() { cameraOptions.serial = true; }
};

TEST_F(SerialCamera, AnExchangeWaitsUntilTheOneBeingServedIsOver) {
    camera->addFault(Fault(Fault::Kind::hang, "AIX_LINE_DIRECTION3", /*times*/ 1));
    std::string held;
    std::thread client([&] {
        held = curl(login() + " --max-time 3", "ReadParam?action=readparam&AIX_LINE_DIRECTION3=&");
    });
    // The held exchange is logged on arrival.
    for (int i = 0; i < 2000 && camera->requests().size() < 2; ++i)
        std::this_thread::sleep_for(1ms);
    ASSERT_EQ(camera->requests().size(), 2u) << "challenge and held read";

    EXPECT_EQ(status(curl(login() + " --max-time 1")), "000") << "not even challenged meanwhile";
    client.join();
    EXPECT_NE(held.find("timed out"), std::string::npos) << held;
    EXPECT_EQ(curl(login()), "AIX_CAR_SENSITIVITY=0\n\n200") << "served once the client gave up";
}

class CrowdedCamera : public CameraOnLoopback {
protected:
    CrowdedCamera() { cameraOptions.maxConnections = 1; }
};

TEST_F(CrowdedCamera, ConnectionsBeyondTheLimitAreRefused) {
    const int idle = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(idle, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(camera->port());
    inet_pton(AF_INET, ip().c_str(), &address.sin_addr);
    ASSERT_EQ(connect(idle, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);

    // The idle connection may take a moment to count.
    std::string refused;
    for (int i = 0; i < 50 && status(refused = curl(login())) != "000"; ++i)
        std::this_thread::sleep_for(20ms);
    EXPECT_EQ(status(refused), "000") << refused;

    close(idle);
    std::string served;
    for (int i = 0; i < 250 && status(served = curl(login())) != "200"; ++i)
        std::this_thread::sleep_for(20ms);
    EXPECT_EQ(served, "AIX_CAR_SENSITIVITY=0\n\n200") << "its place is free again";
}

}  // namespace
}  // namespace lumo_camera
