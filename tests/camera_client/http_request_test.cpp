#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "camera_client/camera_fixture.h"
#include "lumo/geometry.h"
#include "lumo/http_request.h"
#include "lumo/utils.h"

namespace qo::vms_server_plugins::analytics::lumo {
namespace {

using lumo_camera::Fault;

class HttpRequest : public camera_test::CameraFixture {
protected:
    explicit HttpRequest(int block = 21) : CameraFixture(block) {}

    bool get(const std::string& query, std::string& reply) {
        return httpRequest(query, user(), password(), ip(), reply);
    }
    std::string read(const std::string& name) {
        std::string reply;
        EXPECT_TRUE(get(readQuery(name), reply)) << name;
        return getValueAfterEqualSign(reply);
    }
};

TEST_F(HttpRequest, ReadsAParameterThroughTheDigestLogin) {
    std::string reply;
    ASSERT_TRUE(get(readQuery("AIX_PERSON_SENSITIVITY"), reply));
    EXPECT_EQ(reply, "AIX_PERSON_SENSITIVITY=0\n");

    const auto log = camera->requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_FALSE(log[0].authorized);
    EXPECT_EQ(log[0].status, 401u);
    EXPECT_TRUE(log[1].authorized);
    EXPECT_EQ(log[1].status, 200u);
    EXPECT_EQ(log[1].uri, "/httpapi/ReadParam?action=readparam&AIX_PERSON_SENSITIVITY=&");
}

TEST_F(HttpRequest, AppendsTheReplyToTheBuffer) {
    std::string reply = "before;";
    ASSERT_TRUE(get(readQuery("AIX_TAMPERING_DURATION"), reply));
    EXPECT_EQ(reply, "before;AIX_TAMPERING_DURATION=3\n");
}

TEST_F(HttpRequest, WrittenValueReadsBack) {
    std::string reply;
    ASSERT_TRUE(get(writeQuery("AIX_REGION_ENABLE2", "1"), reply));
    EXPECT_EQ(read("AIX_REGION_ENABLE2"), "1");
    EXPECT_EQ(camera->parameters().read("AIX_REGION_ENABLE2"), "1");
}

TEST_F(HttpRequest, TextValueTravelsEncodedAndArrivesIntact) {
    std::string reply;
    ASSERT_TRUE(get(writeQuery("AIX_LINE_COUNTOSD_STRING0", "In & out = %L1% #"), reply));
    EXPECT_EQ(camera->parameters().read("AIX_LINE_COUNTOSD_STRING0"), "In & out = %L1% #");
}

TEST_F(HttpRequest, RegionPositionReadsBackAsCurrentPosition) {
    std::string reply;
    ASSERT_TRUE(get(writeQuery("AIX_REGION_POSITION22", "100,100,500,100,500,500,100,500"), reply));
    const std::string current = read("AIX_REGION_CURRENT_POSITION2");
    EXPECT_EQ(current, "1,100,100,500,100,500,500,100,500");
    EXPECT_EQ(getCurrentRegion(current), "100,100,500,100,500,500,100,500");

    ASSERT_TRUE(get(writeQuery("AIX_REGION_CLEAR2", "0"), reply));
    EXPECT_EQ(read("AIX_REGION_CURRENT_POSITION2"), "0");
}

TEST_F(HttpRequest, LineCutAtTheBorderIsJoinedAgain) {
    camera->parameters().reportInParts("AIX_LINE_CURRENT_POSITION4",
                                       {"500,200,999,300", "500,0,600,400"});
    EXPECT_EQ(getCurrentLine(read("AIX_LINE_CURRENT_POSITION4")),
              "500,200,999,300,999,0,500,0,600,400");
}

TEST_F(HttpRequest, NameWithQuerySyntaxStaysOneParameter) {
    std::string reply;
    EXPECT_FALSE(get(writeQuery("AIX_REGION_ENABLE2=1&AIX_REGION_ENABLE3", "1"), reply));
    const auto log = camera->requests();
    ASSERT_FALSE(log.empty());
    ASSERT_EQ(log.back().parameters.size(), 1u);
    EXPECT_EQ(log.back().parameters[0].first, "AIX_REGION_ENABLE2=1&AIX_REGION_ENABLE3");
    EXPECT_EQ(camera->parameters().read("AIX_REGION_ENABLE2"), "0");
    EXPECT_EQ(camera->parameters().read("AIX_REGION_ENABLE3"), "0");
}

TEST_F(HttpRequest, EmptyQuerySendsNothing) {
    std::string reply;
    EXPECT_FALSE(get("", reply));
    EXPECT_TRUE(camera->requests().empty());
}

TEST_F(HttpRequest, RefusedLoginFailsAndKeepsNoErrorPage) {
    std::string reply;
    EXPECT_FALSE(httpRequest(readQuery("AIX_PERSON_SENSITIVITY"), user(), "wrong", ip(), reply));
    EXPECT_EQ(reply, "");
}

TEST_F(HttpRequest, ErrorStatusFails) {
    std::string reply;
    EXPECT_FALSE(get("Unknown?action=readparam&X=&", reply));
    EXPECT_FALSE(get(readQuery("NO_SUCH_PARAMETER"), reply));
    EXPECT_EQ(reply, "");
}

TEST_F(HttpRequest, NothingListeningFails) {
    camera->stop();
    std::string reply;
    EXPECT_FALSE(get(readQuery("AIX_PERSON_SENSITIVITY"), reply));
}

TEST_F(HttpRequest, AddressWithoutHostFails) {
    std::string reply;
    EXPECT_FALSE(httpRequest(readQuery("AIX_PERSON_SENSITIVITY"), user(), password(), "", reply));
}

class HttpRequestFaults : public HttpRequest {
protected:
    HttpRequestFaults() : HttpRequest(22) {}
};

TEST_F(HttpRequestFaults, HangingCameraIsGivenUpWithinTheTotalTimeOut) {
    camera->addFault(Fault(Fault::Kind::hang));
    const auto start = std::chrono::steady_clock::now();
    std::string reply;
    EXPECT_FALSE(get(readQuery("AIX_PERSON_SENSITIVITY"), reply));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // Generous: the point is that the request ends at all.
    EXPECT_LT(elapsed, std::chrono::milliseconds(kTotalTimeoutMs) + std::chrono::seconds(10));
}

TEST_F(HttpRequestFaults, EndlessReplyIsCutOffAtTheBound) {
    camera->addFault(Fault(Fault::Kind::endlessBody));
    std::string reply;
    EXPECT_FALSE(get(readQuery("AIX_PERSON_SENSITIVITY"), reply));
    EXPECT_LE(reply.size(), kMaxReplyBytes);
}

TEST_F(HttpRequestFaults, ConnectionResetFails) {
    camera->addFault(Fault(Fault::Kind::reset));
    std::string reply;
    EXPECT_FALSE(get(readQuery("AIX_PERSON_SENSITIVITY"), reply));
}

TEST_F(HttpRequestFaults, CameraRefusingEveryLoginFails) {
    camera->addFault(Fault(Fault::Kind::wrongCredentials));
    std::string reply;
    EXPECT_FALSE(get(readQuery("AIX_PERSON_SENSITIVITY"), reply));
}

TEST_F(HttpRequestFaults, OldFirmwareOkAndRepliesWithoutEqualSignReadZero) {
    camera->addFault(Fault(Fault::Kind::okReply, "AIX_REGION_CURRENT_POSITION0"));
    camera->addFault(Fault(Fault::Kind::noEqualSign, "AIX_CAR_SENSITIVITY"));
    std::string reply;
    ASSERT_TRUE(get(readQuery("AIX_REGION_CURRENT_POSITION0"), reply));
    EXPECT_NE(reply.find("Ok"), std::string::npos);
    EXPECT_EQ(getValueAfterEqualSign(reply), "0");
    EXPECT_EQ(read("AIX_CAR_SENSITIVITY"), "0");
}

TEST_F(HttpRequestFaults, DelayedAnswerArrives) {
    camera->addFault(Fault(Fault::Kind::delay, "", -1, std::chrono::milliseconds(100)));
    EXPECT_EQ(read("AIX_TAMPERING_SENSITIVITY"), "1");
}

TEST_F(HttpRequestFaults, FaultHitsOnlyItsParameterAndIsSpent) {
    camera->addFault(Fault(Fault::Kind::reset, "AIX_CAR_SENSITIVITY", 1));
    std::string reply;
    EXPECT_TRUE(get(readQuery("AIX_PERSON_SENSITIVITY"), reply));
    EXPECT_FALSE(get(readQuery("AIX_CAR_SENSITIVITY"), reply));
    EXPECT_TRUE(get(readQuery("AIX_CAR_SENSITIVITY"), reply));
}

class HttpRequestConcurrency : public camera_test::CameraFixture {
protected:
    HttpRequestConcurrency() : CameraFixture(23) {}
};

TEST_F(HttpRequestConcurrency, SimultaneousRequestsOfOneUriAllLogIn) {
    // Several hundred clients asking the same thing at once: each must get a nonce of its own,
    // so the camera never refuses a correct digest answer. A client starved of time on a loaded
    // machine may still run into its own time-out; it tries again, and the camera's log shows
    // whether any answer was refused.
    constexpr int kClients = 200;
    constexpr int kTries = 3;
    std::mutex mutex;
    std::condition_variable go;
    bool started = false;
    std::atomic<int> correct{0};
    std::vector<std::thread> clients;
    clients.reserve(kClients);
    for (int i = 0; i < kClients; ++i) {
        clients.emplace_back([&] {
            {
                std::unique_lock<std::mutex> lock(mutex);
                go.wait(lock, [&] { return started; });
            }
            for (int attempt = 0; attempt < kTries; ++attempt) {
                std::string reply;
                if (httpRequest(readQuery("AIX_PERSON_SENSITIVITY"), user(), password(), ip(),
                                reply)) {
                    correct += reply == "AIX_PERSON_SENSITIVITY=0\n" ? 1 : 0;
                    return;
                }
            }
        });
    }
    {
        const std::lock_guard<std::mutex> lock(mutex);
        started = true;
    }
    go.notify_all();
    for (auto& client : clients)
        client.join();
    EXPECT_EQ(correct.load(), kClients);

    int refused = 0;
    for (const auto& request : camera->requests())
        refused += request.presentedLogin && request.status != 200 ? 1 : 0;
    EXPECT_EQ(refused, 0) << "correct digest answers refused";
}

TEST(WriteCallback, CollectsUpToTheBoundAndThenStops) {
    std::string buffer;
    char data[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(writeCallback(data, 1, 4, &buffer), 4u);
    EXPECT_EQ(writeCallback(data, 2, 2, &buffer), 4u);
    EXPECT_EQ(buffer, "abcdabcd");

    buffer.assign(kMaxReplyBytes - 2, 'x');
    EXPECT_EQ(writeCallback(data, 1, 2, &buffer), 2u);
    EXPECT_EQ(writeCallback(data, 1, 1, &buffer), 0u);
    EXPECT_EQ(buffer.size(), kMaxReplyBytes);
}

TEST(WriteCallback, HugeSizeTimesCountIsRefusedNotWrapped) {
    std::string buffer;
    char data[1] = {'a'};
    EXPECT_EQ(writeCallback(data, SIZE_MAX / 2, 4, &buffer), 0u);
    EXPECT_TRUE(buffer.empty());
}

}  // namespace
}  // namespace qo::vms_server_plugins::analytics::lumo
