// The substitute camera itself: its parameter table, its digest login on the wire (through curl's
// command line, and with answers made by hand), and its life cycle.
#include <gtest/gtest.h>

#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <set>
#include <sstream>
#include <thread>
#include <tuple>

#include "camera_client/camera_fixture.h"
#include "md5.h"

namespace lumo_camera {
namespace {

using Result = ParameterTable::WriteResult;

TEST(ParameterTableTest, EveryParameterOfThePluginHasADefaultAtSlotsZeroToSeven) {
    const ParameterTable table;
    std::istringstream names(
        "AIX_EXCLUDE_REGION_ENABLE AIX_EXCLUDE_REGION_TYPE AIX_EXCLUDE_REGION_PERSON_ENABLE "
        "AIX_EXCLUDE_REGION_BICYCLE_ENABLE AIX_EXCLUDE_REGION_CAR_ENABLE AIX_REGION_ENABLE "
        "AIX_REGION_EVENT_PERSON_APPEAR AIX_REGION_EVENT_CAR_STAY AIX_REGION_EVENT_PERSON_ENTER "
        "AIX_REGION_EVENT_BICYCLE_DIRECTION AIX_REGION_EVENT_CAR_EXIT AIX_LINE_ENABLE "
        "AIX_REGION_EVENT_PERSON_LOITERING AIX_REGION_EVENT_STAYDURATION AIX_LINE_COUNT_RESET "
        "AIX_REGION_EVENT_LOITERINGDURATION AIX_LINE_PERSON_ENABLE AIX_LINE_BICYCLE_ENABLE "
        "AIX_LINE_CAR_ENABLE AIX_LINE_COUNTOSD_DISPLAY_ENABLE AIX_LINE_COUNTOSD_DISPLAY_EVENT_TYPE "
        "AIX_LINE_COUNTOSD_STRING AIX_LINE_COUNTOSD_X AIX_LINE_COUNTOSD_Y AIX_LINE_COUNTOSD_COLOR "
        "AIX_LINE_COUNTOSD_FONTSIZE AIX_REGION_DISPLAY_ENABLE AIX_EXCLUDE_REGION_DISPLAY_ENABLE "
        "AIX_LINE_DISPLAY_ENABLE AIX_LINE_DIRECTION AIX_LINE_COUNT_ENABLE AIX_REGION_CLEAR "
        "AIX_EXCLUDE_REGION_CLEAR AIX_LINE_CLEAR AIX_REGION_POSITION AIX_EXCLUDE_REGION_POSITION "
        "AIX_LINE_POSITION AIX_REGION_CURRENT_POSITION AIX_EXCLUDE_REGION_CURRENT_POSITION "
        "AIX_LINE_CURRENT_POSITION");
    for (std::string name; names >> name;) {
        for (char slot = '0'; slot <= '7'; ++slot)
            EXPECT_TRUE(table.read(name + slot)) << name << slot;
        EXPECT_FALSE(table.read(name + '8')) << name;
    }
    for (const char* own : {"TS_CALIBRATION", "HL_DURATION", "AIX_LINE_COUNT_RESET_ALL"})
        EXPECT_FALSE(table.read(own)) << own << " stays in the plugin";
    EXPECT_EQ(table.read("AIX_OBJECT_DETECTION_SIZE"), "0,0,23,21,3840,2160,3840,2160");
}

TEST(ParameterTableTest, FiguresAreStoredAndReadInTheCamerasReplyForms) {
    ParameterTable table;
    ASSERT_EQ(table.write("AIX_REGION_POSITION22", "100,100,500,100,500,500"), Result::ok);
    EXPECT_EQ(table.read("AIX_REGION_CURRENT_POSITION2"), "1,100,100,500,100,500,500");
    EXPECT_EQ(table.read("AIX_REGION_POSITION2"), "100,100,500,100,500,500");
    EXPECT_EQ(table.read("AIX_REGION_CURRENT_POSITION3"), "0");
    EXPECT_EQ(table.read("AIX_EXCLUDE_REGION_CURRENT_POSITION2"), "0");
    ASSERT_EQ(table.write("AIX_LINE_POSITION00", "100,200,500,600"), Result::ok);
    EXPECT_EQ(table.read("AIX_LINE_CURRENT_POSITION0"), "1,100,200,500,600");
    ASSERT_EQ(table.write("AIX_LINE_POSITION00", "1,2,3,4,5,6"), Result::ok);
    EXPECT_EQ(table.read("AIX_LINE_CURRENT_POSITION0"), "2;1,2,3,4;3,4,5,6");

    table.write("AIX_EXCLUDE_REGION_POSITION55", "0,0,999,0,999,999");
    ASSERT_EQ(table.write("AIX_EXCLUDE_REGION_CLEAR5", "0"), Result::ok);
    EXPECT_EQ(table.read("AIX_EXCLUDE_REGION_CURRENT_POSITION5"), "0");
    EXPECT_EQ(table.read("AIX_EXCLUDE_REGION_POSITION5"), "0");

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
        {"AIX_REGION_CURRENT_POSITION0", "1,1", Result::unknownName},
        {"AIX_REGION_POSITION01", "1,1", Result::unknownName},  // slot not doubled
        {"AIX_REGION_POSITION00", "1,1,2", Result::invalidValue},
        {"AIX_REGION_POSITION00", "1,x", Result::invalidValue},
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

    // Through a client none of us wrote, curl's command line: the body, then a line with the
    // HTTP status.
    std::string curl(const std::string& login, const std::string& query) {
        FILE* pipe = popen(("/usr/bin/curl -s -S --max-time 10 " + login + " 'http://" + ip() +
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

    // Digest details checked on the wire with Authorization headers made by hand.
    struct Reply {
        long status = 0;
        std::string headers;
    };

    Reply get(const std::string& authorization = {}) {
        Reply reply;
        std::string body;
        CURL* handle = curl_easy_init();
        const std::string url = "http://" + ip() + uri;
        curl_slist* headers =
            authorization.empty()
                ? nullptr
                : curl_slist_append(nullptr, ("Authorization: " + authorization).c_str());
        curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(handle, CURLOPT_TIMEOUT, 10L);
        curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &collect);
        curl_easy_setopt(handle, CURLOPT_WRITEDATA, &body);
        curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &collect);
        curl_easy_setopt(handle, CURLOPT_HEADERDATA, &reply.headers);
        if (curl_easy_perform(handle) == CURLE_OK)
            curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &reply.status);
        curl_slist_free_all(headers);
        curl_easy_cleanup(handle);
        return reply;
    }

    static size_t collect(char* data, size_t size, size_t n, std::string* out) {
        out->append(data, size * n);
        return size * n;
    }

    static std::string field(const Reply& challenge, const std::string& key) {
        const size_t at = challenge.headers.find(key + "=\"");
        const size_t begin = at + key.size() + 2;
        return at == std::string::npos
                   ? ""
                   : challenge.headers.substr(begin, challenge.headers.find('"', begin) - begin);
    }

    std::string answer(const Reply& challenge, const std::string& nc, const std::string& secret,
                       const std::string& answeredUri) const {
        const std::string ha1 = md5Hex(user() + ":" + field(challenge, "realm") + ":" + secret);
        const std::string response = md5Hex(ha1 + ":" + field(challenge, "nonce") + ":" + nc +
                                            ":c0ffee:auth:" + md5Hex("GET:" + answeredUri));
        return "Digest username=\"" + user() + "\", realm=\"" + field(challenge, "realm") +
               "\", nonce=\"" + field(challenge, "nonce") + "\", uri=\"" + answeredUri +
               "\", qop=auth, nc=" + nc + ", cnonce=\"c0ffee\", response=\"" + response +
               "\", opaque=\"" + field(challenge, "opaque") + "\"";
    }
    std::string answer(const Reply& challenge, const std::string& nc) const {
        return answer(challenge, nc, password(), uri);
    }

    static bool stale(const Reply& reply) {
        return reply.headers.find("stale=true") != std::string::npos;
    }

    const std::string uri = "/httpapi/ReadParam?action=readparam&AIX_CAR_SENSITIVITY=&";
};

TEST_F(CameraOnLoopback, AnswersReadsAndWritesThroughCurlAsACameraWould) {
    const std::pair<const char*, const char*> exchanges[] = {
        {"ReadParam?action=readparam&AIX_CAR_SENSITIVITY=&AIX_LINE_DIRECTION3=&",
         "AIX_CAR_SENSITIVITY=0\nAIX_LINE_DIRECTION3=0\n\n200"},
        {"WriteParam?action=writeparam&AIX_LINE_DIRECTION1=1&AIX_LINE_POSITION11=100,200,500,600&",
         "OK\n\n200"},
        {"ReadParam?action=readparam&AIX_LINE_CURRENT_POSITION1=&AIX_LINE_DIRECTION1=&",
         "AIX_LINE_CURRENT_POSITION1=1,100,200,500,600\nAIX_LINE_DIRECTION1=1\n\n200"},
        {"ReadParam?action=readparam&NOPE=&", "Error: unknown parameter NOPE\n\n400"},
        {"ReadParam?action=writeparam&AIX_CAR_SENSITIVITY=&", "Error: bad action\n\n400"}};
    for (const auto& [query, reply] : exchanges)
        EXPECT_EQ(curl("--digest -u " + user() + ":" + password(), query), reply) << query;
}

TEST_F(CameraOnLoopback, RefusesAWrongPasswordAndBasicLoginThroughCurl) {
    for (const std::string& login :
         {"--digest -u " + user() + ":nope", "--basic -u " + user() + ":" + password()}) {
        EXPECT_EQ(curl(login, "ReadParam?action=readparam&AIX_PERSON_SENSITIVITY=&"),
                  "401 Unauthorized\n\n401")
            << login;
    }
}

TEST_F(CameraOnLoopback, EveryChallengeHasItsOwnNonceAndEachCountIsGrantedOnce) {
    std::set<std::string> nonces;
    for (int i = 0; i < 50; ++i) {
        const Reply r = get();
        ASSERT_EQ(r.status, 401);
        nonces.insert(field(r, "nonce"));
    }
    EXPECT_EQ(nonces.size(), 50u);

    const Reply challenge = get();
    EXPECT_EQ(get(answer(challenge, "00000001")).status, 200);
    const Reply replay = get(answer(challenge, "00000001"));
    EXPECT_EQ(replay.status, 401);
    EXPECT_TRUE(stale(replay));
    EXPECT_EQ(get(answer(challenge, "00000002")).status, 200);
}

TEST_F(CameraOnLoopback, ForgottenNonceGetsAFreshStaleChallengeAndWrongAnswersAPlainOne) {
    const Reply challenge = get();
    const Reply wrong = get(answer(challenge, "00000001", "nope", uri));
    EXPECT_EQ(wrong.status, 401);
    EXPECT_FALSE(stale(wrong));
    const std::string other = "/httpapi/ReadParam?action=readparam&AIX_PERSON_SENSITIVITY=&";
    EXPECT_EQ(get(answer(challenge, "00000002", password(), other)).status, 401);
    EXPECT_EQ(get("Digest username=\"admin").status, 401);
    EXPECT_EQ(get("Digest ,,,").status, 401);

    camera->auth().forgetNonces();
    const Reply renewed = get(answer(challenge, "00000003"));
    EXPECT_EQ(renewed.status, 401);
    EXPECT_TRUE(stale(renewed));
    EXPECT_NE(field(renewed, "nonce"), field(challenge, "nonce"));
    EXPECT_EQ(get(answer(renewed, "00000001")).status, 200);
}

TEST_F(CameraOnLoopback, StopReleasesAHangingRequest) {
    camera->addFault(Fault(Fault::Kind::hang));
    // A client without any time-out of its own: only the camera's stop can end its request.
    auto client = std::async(std::launch::async, [&] {
        CURL* handle = curl_easy_init();
        const std::string url = "http://" + ip() + "/httpapi/ReadParam?action=readparam&X=&";
        curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
        curl_easy_setopt(handle, CURLOPT_HTTPAUTH, CURLAUTH_DIGEST);
        curl_easy_setopt(handle, CURLOPT_USERNAME, user().c_str());
        curl_easy_setopt(handle, CURLOPT_PASSWORD, password().c_str());
        curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
        const CURLcode code = curl_easy_perform(handle);
        curl_easy_cleanup(handle);
        return code;
    });
    while (camera->requests().size() < 2)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    auto stopped = std::async(std::launch::async, [&] { camera->stop(); });
    if (stopped.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        std::fprintf(stderr, "camera stop hangs on a held request\n");
        std::abort();
    }
    EXPECT_NE(client.get(), CURLE_OK);
    EXPECT_FALSE(camera->running());
}

TEST_F(CameraOnLoopback, SecondCameraOnTheAddressIsToldItIsInUseUntilTheFirstStops) {
    CameraOptions options;
    options.address = ip();
    Camera second(options);
    try {
        second.start();
        FAIL() << "second camera started";
    } catch (const ListenError& e) {
        EXPECT_EQ(e.error, EADDRINUSE);
        EXPECT_EQ(std::string(e.what()),
                  "cannot listen on " + ip() + ":80: " + std::strerror(EADDRINUSE));
    }
    camera->stop();
    ASSERT_NO_THROW(second.start());
    EXPECT_TRUE(second.running());
    second.stop();
    options.address = "camera.local";
    EXPECT_THROW(Camera(options).start(), ListenError) << "no IPv4 address";
}

}  // namespace
}  // namespace lumo_camera
