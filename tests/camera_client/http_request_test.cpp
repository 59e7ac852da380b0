// httpRequest against the substitute camera over real HTTP with digest login.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "lumo/http_request.h"
#include "lumo/utils.h"
#include "support/camera_fixture.h"

namespace qo::vms_server_plugins::analytics::lumo {
namespace {

using lumo_camera::Fault;

class HttpRequest : public camera_test::CameraFixture {
protected:
    HttpRequest() : CameraFixture(21) {}

    bool get(const std::string& query, std::string& reply) {
        return httpRequest(query, user(), password(), ip(), reply);
    }
    bool get(const std::string& query) {
        std::string reply;
        return get(query, reply);
    }
};

TEST_F(HttpRequest, WrittenValuesArriveIntactAndNamesCannotInjectParameters) {
    ASSERT_TRUE(get(writeQuery("AIX_LINE_COUNTOSD_STRING0", "In & out = %L1% #")));
    EXPECT_EQ(camera->parameters().read("AIX_LINE_COUNTOSD_STRING0"), "In & out = %L1% #");

    EXPECT_FALSE(get(writeQuery("AIX_REGION_ENABLE3=1&AIX_REGION_ENABLE4", "1")));
    const auto log = camera->requests();
    ASSERT_EQ(log.back().parameters.size(), 1u);
    EXPECT_EQ(log.back().parameters[0].first, "AIX_REGION_ENABLE3=1&AIX_REGION_ENABLE4");
    EXPECT_EQ(camera->parameters().read("AIX_REGION_ENABLE3"), "0");
}

TEST_F(HttpRequest, FailuresKeepNoErrorPageAndTheOutcomeNamesWhy) {
    std::string reply;
    RequestOutcome outcome;
    const std::string query = readQuery("AIX_PERSON_SENSITIVITY");
    EXPECT_TRUE(httpRequest(query, user(), password(), ip(), reply, &outcome));
    EXPECT_EQ(outcome.failure, RequestFailure::none);
    reply.clear();  // Replies are appended to.
    EXPECT_FALSE(httpRequest(query, user(), "wrong", ip(), reply, &outcome));
    EXPECT_EQ(describeFailure(outcome), "login refused (HTTP status 401)");
    EXPECT_FALSE(
        httpRequest(readQuery("NO_SUCH_PARAMETER"), user(), password(), ip(), reply, &outcome));
    EXPECT_EQ(describeFailure(outcome), "HTTP status 400");
    EXPECT_EQ(reply, "");
    EXPECT_FALSE(httpRequest(query, user(), password(), "", reply));
    camera->stop();
    EXPECT_FALSE(httpRequest(query, user(), password(), ip(), reply, &outcome));
    EXPECT_EQ(describeFailure(outcome), "no answer: Couldn't connect to server");
}

TEST_F(HttpRequest, HangingCameraIsGivenUpWithinTheTotalTimeOut) {
    camera->addFault(Fault(Fault::Kind::hang));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(get(readQuery("AIX_PERSON_SENSITIVITY")));
    // Generous: the point is that the request ends at all.
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(kTotalTimeoutMs) + std::chrono::seconds(10));
}

TEST_F(HttpRequest, EndlessReplyIsCutAtTheBoundAndFails) {
    camera->addFault(Fault(Fault::Kind::endlessBody));
    std::string reply;
    EXPECT_FALSE(get(readQuery("AIX_PERSON_SENSITIVITY"), reply));
    EXPECT_LE(reply.size(), kMaxReplyBytes);
}

// Each of several hundred clients asking the same thing at once must get a nonce of its own, so
// that the camera never refuses a correct digest answer. A client starved of time on a loaded
// machine may run into its own time-out and try again; the camera's log shows any refusal.
TEST_F(HttpRequest, SimultaneousRequestsOfOneUriAllLogIn) {
    constexpr int kClients = 200;
    std::promise<void> go;
    const std::shared_future<void> started = go.get_future().share();
    std::atomic<int> correct{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.emplace_back([&] {
            started.wait();
            for (int attempt = 0; attempt < 3; ++attempt) {
                std::string reply;
                if (get(readQuery("AIX_PERSON_SENSITIVITY"), reply)) {
                    correct += reply == "AIX_PERSON_SENSITIVITY=0\n" ? 1 : 0;
                    return;
                }
            }
        });
    }
    go.set_value();
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
    buffer.assign(kMaxReplyBytes - 2, 'x');
    EXPECT_EQ(writeCallback(data, 1, 2, &buffer), 2u);
    EXPECT_EQ(writeCallback(data, 1, 1, &buffer), 0u);
    EXPECT_EQ(buffer.size(), kMaxReplyBytes);
    buffer.clear();
    EXPECT_EQ(writeCallback(data, SIZE_MAX / 2, 4, &buffer), 0u) << "a product that wraps";
    EXPECT_TRUE(buffer.empty());
}

}  // namespace
}  // namespace qo::vms_server_plugins::analytics::lumo
