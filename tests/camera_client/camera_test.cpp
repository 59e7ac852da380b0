#include <gtest/gtest.h>

#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <set>
#include <thread>

#include <unistd.h>

#include "camera_client/camera_fixture.h"
#include "md5.h"

namespace lumo_camera {
namespace {

TEST(Md5, KnownAnswers) {
    EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5Hex("The quick brown fox jumps over the lazy dog"),
              "9e107d9d372bb6826bd81d3542a419d6");
    EXPECT_EQ(md5Hex(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
}

class ParameterTableTest : public ::testing::Test {
protected:
    ParameterTable table;
};

TEST_F(ParameterTableTest, EverySlotSettingHasADefaultAtSlotsZeroToSeven) {
    const char* const names[] = {"AIX_EXCLUDE_REGION_ENABLE",
                                 "AIX_EXCLUDE_REGION_TYPE",
                                 "AIX_EXCLUDE_REGION_PERSON_ENABLE",
                                 "AIX_EXCLUDE_REGION_BICYCLE_ENABLE",
                                 "AIX_EXCLUDE_REGION_CAR_ENABLE",
                                 "AIX_REGION_ENABLE",
                                 "AIX_REGION_EVENT_PERSON_APPEAR",
                                 "AIX_REGION_EVENT_CAR_STAY",
                                 "AIX_REGION_EVENT_BICYCLE_DIRECTION",
                                 "AIX_REGION_EVENT_PERSON_ENTER",
                                 "AIX_REGION_EVENT_CAR_EXIT",
                                 "AIX_REGION_EVENT_PERSON_LOITERING",
                                 "AIX_REGION_EVENT_STAYDURATION",
                                 "AIX_REGION_EVENT_LOITERINGDURATION",
                                 "AIX_LINE_ENABLE",
                                 "AIX_LINE_PERSON_ENABLE",
                                 "AIX_LINE_BICYCLE_ENABLE",
                                 "AIX_LINE_CAR_ENABLE",
                                 "AIX_LINE_COUNT_RESET",
                                 "AIX_LINE_COUNTOSD_DISPLAY_ENABLE",
                                 "AIX_LINE_COUNTOSD_DISPLAY_EVENT_TYPE",
                                 "AIX_LINE_COUNTOSD_STRING",
                                 "AIX_LINE_COUNTOSD_X",
                                 "AIX_LINE_COUNTOSD_Y",
                                 "AIX_LINE_COUNTOSD_FONTSIZE",
                                 "AIX_LINE_COUNTOSD_COLOR",
                                 "AIX_REGION_DISPLAY_ENABLE",
                                 "AIX_EXCLUDE_REGION_DISPLAY_ENABLE",
                                 "AIX_LINE_DISPLAY_ENABLE",
                                 "AIX_LINE_DIRECTION",
                                 "AIX_LINE_COUNT_ENABLE",
                                 "AIX_REGION_CLEAR",
                                 "AIX_EXCLUDE_REGION_CLEAR",
                                 "AIX_LINE_CLEAR",
                                 "AIX_REGION_POSITION",
                                 "AIX_EXCLUDE_REGION_POSITION",
                                 "AIX_LINE_POSITION",
                                 "AIX_REGION_CURRENT_POSITION",
                                 "AIX_EXCLUDE_REGION_CURRENT_POSITION",
                                 "AIX_LINE_CURRENT_POSITION"};
    for (const char* name : names) {
        for (char slot = '0'; slot <= '7'; ++slot)
            EXPECT_TRUE(table.read(name + std::string(1, slot))) << name << slot;
        EXPECT_FALSE(table.read(name + std::string("8"))) << name;
    }
}

TEST_F(ParameterTableTest, ValuesThePluginKeepsForItselfAreNoCameraParameters) {
    EXPECT_FALSE(table.read("TS_CALIBRATION"));
    EXPECT_FALSE(table.read("HL_DURATION"));
    EXPECT_FALSE(table.read("AIX_LINE_COUNT_RESET_ALL"));
    EXPECT_EQ(table.read("AIX_OBJECT_DETECTION_SIZE"), "0,0,23,21,3840,2160,3840,2160");
}

TEST_F(ParameterTableTest, RegionIsStoredUnderTheDoubledSlotAndReadInReplyForm) {
    ASSERT_EQ(table.write("AIX_REGION_POSITION22", "100,100,500,100,500,500"),
              ParameterTable::WriteResult::ok);
    EXPECT_EQ(table.read("AIX_REGION_CURRENT_POSITION2"), "1,100,100,500,100,500,500");
    EXPECT_EQ(table.read("AIX_REGION_POSITION2"), "100,100,500,100,500,500");
    EXPECT_EQ(table.read("AIX_REGION_CURRENT_POSITION3"), "0");
    EXPECT_EQ(table.read("AIX_EXCLUDE_REGION_CURRENT_POSITION2"), "0");
}

TEST_F(ParameterTableTest, LineReadsAsSegmentCountAndSegments) {
    ASSERT_EQ(table.write("AIX_LINE_POSITION00", "100,200,500,600"),
              ParameterTable::WriteResult::ok);
    EXPECT_EQ(table.read("AIX_LINE_CURRENT_POSITION0"), "1,100,200,500,600");
    ASSERT_EQ(table.write("AIX_LINE_POSITION00", "1,2,3,4,5,6"), ParameterTable::WriteResult::ok);
    EXPECT_EQ(table.read("AIX_LINE_CURRENT_POSITION0"), "2;1,2,3,4;3,4,5,6");
}

TEST_F(ParameterTableTest, ClearEmptiesTheFigure) {
    table.write("AIX_EXCLUDE_REGION_POSITION55", "0,0,999,0,999,999");
    ASSERT_EQ(table.write("AIX_EXCLUDE_REGION_CLEAR5", "0"), ParameterTable::WriteResult::ok);
    EXPECT_EQ(table.read("AIX_EXCLUDE_REGION_CURRENT_POSITION5"), "0");
    EXPECT_EQ(table.read("AIX_EXCLUDE_REGION_POSITION5"), "0");
}

TEST_F(ParameterTableTest, PartsHookLastsUntilTheNextWrite) {
    table.reportInParts("AIX_REGION_CURRENT_POSITION1", {"0,100,300,100", "0,600,300,600"});
    EXPECT_EQ(table.read("AIX_REGION_CURRENT_POSITION1"), "2;0,100,300,100;0,600,300,600");
    table.write("AIX_REGION_POSITION11", "1,1,2,2");
    EXPECT_EQ(table.read("AIX_REGION_CURRENT_POSITION1"), "1,1,1,2,2");
    EXPECT_THROW(table.reportInParts("AIX_REGION_POSITION1", {}), std::invalid_argument);
}

TEST_F(ParameterTableTest, RefusesUnknownNamesBadPositionsAndPartialBatches) {
    EXPECT_EQ(table.write("AIX_NO_SUCH", "1"), ParameterTable::WriteResult::unknownName);
    EXPECT_EQ(table.write("AIX_REGION_CURRENT_POSITION0", "1,1"),
              ParameterTable::WriteResult::unknownName);
    EXPECT_EQ(table.write("AIX_REGION_POSITION01", "1,1"),
              ParameterTable::WriteResult::unknownName);
    EXPECT_EQ(table.write("AIX_REGION_POSITION00", "1,1,2"),
              ParameterTable::WriteResult::invalidValue);
    EXPECT_EQ(table.write("AIX_REGION_POSITION00", "1,x"),
              ParameterTable::WriteResult::invalidValue);
    EXPECT_EQ(table.write("AIX_REGION_POSITION00", "1,1001"),
              ParameterTable::WriteResult::invalidValue);

    std::string failed;
    EXPECT_EQ(table.writeAll({{"AIX_REGION_ENABLE0", "1"}, {"AIX_BAD", "1"}}, failed),
              ParameterTable::WriteResult::unknownName);
    EXPECT_EQ(failed, "AIX_BAD");
    EXPECT_EQ(table.read("AIX_REGION_ENABLE0"), "0");
}

// The camera seen through a client none of us wrote: curl's command line.
class CameraWithCurl : public camera_test::CameraFixture {
protected:
    CameraWithCurl() : CameraFixture(24) {}

    // Runs curl and returns the body followed by a line with the HTTP status.
    std::string curl(const std::string& options, const std::string& query) {
        const std::string command = "/usr/bin/curl -s -S --max-time 10 " + options + " 'http://" +
                                    ip() + "/httpapi/" + query + "' -w '\\n%{http_code}' 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr)
            return "popen failed";
        std::string output;
        char buffer[4096];
        size_t n = 0;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, n);
        pclose(pipe);
        return output;
    }
    std::string digest() const { return "--digest -u " + user() + ":" + password(); }
};

TEST_F(CameraWithCurl, ReadsSeveralParametersInOneQuery) {
    EXPECT_EQ(
        curl(digest(), "ReadParam?action=readparam&AIX_CAR_SENSITIVITY=&AIX_LINE_DIRECTION3=&"),
        "AIX_CAR_SENSITIVITY=0\nAIX_LINE_DIRECTION3=0\n\n200");
}

TEST_F(CameraWithCurl, WritesSeveralAssignmentsAndReadsTheCurrentPosition) {
    EXPECT_EQ(curl(digest(),
                   "WriteParam?action=writeparam&AIX_LINE_DIRECTION1=1&AIX_LINE_POSITION11=100,200,"
                   "500,600&"),
              "OK\n\n200");
    EXPECT_EQ(curl(digest(), "ReadParam?action=readparam&AIX_LINE_CURRENT_POSITION1=&"),
              "AIX_LINE_CURRENT_POSITION1=1,100,200,500,600\n\n200");
    EXPECT_EQ(camera->parameters().read("AIX_LINE_DIRECTION1"), "1");
}

TEST_F(CameraWithCurl, RefusesWrongPasswordAndBasicLogin) {
    EXPECT_EQ(curl("--digest -u " + user() + ":nope",
                   "ReadParam?action=readparam&AIX_PERSON_SENSITIVITY=&"),
              "401 Unauthorized\n\n401");
    EXPECT_EQ(curl("--basic -u " + user() + ":" + password(),
                   "ReadParam?action=readparam&AIX_PERSON_SENSITIVITY=&"),
              "401 Unauthorized\n\n401");
}

TEST_F(CameraWithCurl, UnknownParameterAndWrongActionAreBadRequests) {
    EXPECT_EQ(curl(digest(), "ReadParam?action=readparam&NOPE=&"),
              "Error: unknown parameter NOPE\n\n400");
    EXPECT_EQ(curl(digest(), "ReadParam?action=writeparam&AIX_CAR_SENSITIVITY=&"),
              "Error: bad action\n\n400");
}

// Digest details checked on the wire with hand-made Authorization headers.
class CameraDigest : public camera_test::CameraFixture {
protected:
    CameraDigest() : CameraFixture(25) {}

    struct Reply {
        long status = 0;
        std::string body;
        std::string challenge;
    };

    Reply get(const std::string& uri, const std::string& authorization = {}) {
        Reply reply;
        CURL* handle = curl_easy_init();
        const std::string url = "http://" + ip() + uri;
        curl_slist* headers = nullptr;
        if (!authorization.empty())
            headers = curl_slist_append(headers, ("Authorization: " + authorization).c_str());
        curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(handle, CURLOPT_TIMEOUT, 10L);
        curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &collect);
        curl_easy_setopt(handle, CURLOPT_WRITEDATA, &reply.body);
        curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &collectChallenge);
        curl_easy_setopt(handle, CURLOPT_HEADERDATA, &reply.challenge);
        if (curl_easy_perform(handle) == CURLE_OK)
            curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &reply.status);
        curl_slist_free_all(headers);
        curl_easy_cleanup(handle);
        return reply;
    }

    static std::string field(const std::string& challenge, const std::string& key) {
        const size_t at = challenge.find(key + "=\"");
        if (at == std::string::npos)
            return "";
        const size_t begin = at + key.size() + 2;
        return challenge.substr(begin, challenge.find('"', begin) - begin);
    }

    std::string authorization(const std::string& challenge, const std::string& uri,
                              const std::string& nc, const std::string& secret) const {
        const std::string realm = field(challenge, "realm");
        const std::string nonce = field(challenge, "nonce");
        const std::string ha1 = md5Hex(user() + ":" + realm + ":" + secret);
        const std::string ha2 = md5Hex("GET:" + uri);
        const std::string response = md5Hex(ha1 + ":" + nonce + ":" + nc + ":c0ffee:auth:" + ha2);
        return "Digest username=\"" + user() + "\", realm=\"" + realm + "\", nonce=\"" + nonce +
               "\", uri=\"" + uri + "\", qop=auth, nc=" + nc + ", cnonce=\"c0ffee\", response=\"" +
               response + "\", opaque=\"" + field(challenge, "opaque") + "\"";
    }

    static size_t collect(char* data, size_t size, size_t n, std::string* out) {
        out->append(data, size * n);
        return size * n;
    }
    static size_t collectChallenge(char* data, size_t size, size_t n, std::string* out) {
        const std::string line(data, size * n);
        if (line.rfind("WWW-Authenticate:", 0) == 0)
            *out = line;
        return size * n;
    }

    const std::string uri = "/httpapi/ReadParam?action=readparam&AIX_CAR_SENSITIVITY=&";
};

TEST_F(CameraDigest, EveryChallengeCarriesItsOwnNonce) {
    std::set<std::string> nonces;
    for (int i = 0; i < 50; ++i) {
        const Reply r = get(uri);
        ASSERT_EQ(r.status, 401);
        nonces.insert(field(r.challenge, "nonce"));
    }
    EXPECT_EQ(nonces.size(), 50u);
}

TEST_F(CameraDigest, CorrectAnswerIsGrantedAndItsCountCannotBeReplayed) {
    const Reply challenge = get(uri);
    const std::string first = authorization(challenge.challenge, uri, "00000001", password());
    EXPECT_EQ(get(uri, first).status, 200);
    const Reply replay = get(uri, first);
    EXPECT_EQ(replay.status, 401);
    EXPECT_NE(replay.challenge.find("stale=true"), std::string::npos);
    EXPECT_EQ(get(uri, authorization(challenge.challenge, uri, "00000002", password())).status,
              200);
}

TEST_F(CameraDigest, ForgottenNonceGetsAFreshStaleChallenge) {
    const Reply challenge = get(uri);
    camera->auth().forgetNonces();
    const Reply stale = get(uri, authorization(challenge.challenge, uri, "00000001", password()));
    EXPECT_EQ(stale.status, 401);
    EXPECT_NE(stale.challenge.find("stale=true"), std::string::npos);
    EXPECT_NE(field(stale.challenge, "nonce"), field(challenge.challenge, "nonce"));
    EXPECT_EQ(get(uri, authorization(stale.challenge, uri, "00000001", password())).status, 200);
}

TEST_F(CameraDigest, WrongSecretOtherUriOrMalformedHeaderIsRefusedWithoutStale) {
    const Reply challenge = get(uri);
    const Reply wrong = get(uri, authorization(challenge.challenge, uri, "00000001", "nope"));
    EXPECT_EQ(wrong.status, 401);
    EXPECT_EQ(wrong.challenge.find("stale=true"), std::string::npos);
    const std::string other = "/httpapi/ReadParam?action=readparam&AIX_PERSON_SENSITIVITY=&";
    EXPECT_EQ(get(uri, authorization(challenge.challenge, other, "00000001", password())).status,
              401);
    EXPECT_EQ(get(uri, "Digest username=\"admin").status, 401);
    EXPECT_EQ(get(uri, "Digest ,,,").status, 401);
}

class CameraLifecycle : public camera_test::CameraFixture {
protected:
    CameraLifecycle() : CameraFixture(26) {}
};

TEST_F(CameraLifecycle, StopReleasesAHangingRequest) {
    camera->addFault(Fault(Fault::Kind::hang));
    // A client without any time-out of its own: only the camera's stop can end its request.
    auto client = std::async(std::launch::async, [&] {
        std::string body;
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

TEST_F(CameraLifecycle, SecondCameraOnTheSameAddressSaysItIsInUse) {
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
}

TEST_F(CameraLifecycle, RestartsOnTheSameAddress) {
    camera->stop();
    ASSERT_NO_THROW(camera->start());
    EXPECT_TRUE(camera->running());
}

TEST(CameraOptionsTest, RefusesAnAddressThatIsNoIpv4Address) {
    CameraOptions options;
    options.address = "camera.local";
    Camera camera(options);
    EXPECT_THROW(camera.start(), ListenError);
}

TEST(CameraProgram, HelpNamesTheOptions) {
    // The program lands in the build directory, one above this test program's.
    std::string dir;
    if (const char* env = std::getenv("LUMO_BUILD_DIR")) {
        dir = env;
    } else {
        char self[4096] = {};
        if (readlink("/proc/self/exe", self, sizeof self - 1) > 0)
            dir = std::string(self).substr(0, std::string(self).rfind('/')) + "/..";
    }
    const std::string program = dir + "/lumo-camera";
    if (access(program.c_str(), X_OK) != 0)
        GTEST_SKIP() << program << " is not built";
    FILE* pipe = popen((program + " --help").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[1024];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_NE(output.find("--listen ADDR:PORT"), std::string::npos);
    EXPECT_NE(output.find("--password"), std::string::npos);
}

}  // namespace
}  // namespace lumo_camera
