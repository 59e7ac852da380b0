// Camera requests with a libcurl older than the one built against: such a release refuses the
// options it does not know. The test program's own curl_easy_setopt stands in front of the
// library's and refuses what an older release would.
#include <curl/curl.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdarg>

#include "lumo/http_request.h"
#include "lumo/utils.h"
#include "support/camera_fixture.h"

namespace {

std::atomic<bool> before7_85{false};  // Refuse the protocol-list options of libcurl 7.85.
std::atomic<int> refusedOption{-1};

}  // namespace

extern "C" CURLcode curl_easy_setopt(CURL* handle, CURLoption option, ...) {
    va_list arguments;
    va_start(arguments, option);
    // A long, a pointer or a curl_off_t: each travels in one 64-bit register on x86-64.
    void* const value = va_arg(arguments, void*);
    va_end(arguments);
    if (before7_85 && (option == CURLOPT_PROTOCOLS_STR || option == CURLOPT_REDIR_PROTOCOLS_STR))
        return CURLE_UNKNOWN_OPTION;
    if (static_cast<int>(option) == refusedOption)
        return CURLE_UNKNOWN_OPTION;
    using SetOption = CURLcode (*)(CURL*, CURLoption, ...);
    static const auto next = reinterpret_cast<SetOption>(dlsym(RTLD_NEXT, "curl_easy_setopt"));
    return next(handle, option, value);
}

namespace qo::vms_server_plugins::analytics::lumo {
namespace {

class OlderLibcurl : public camera_test::CameraFixture {
protected:
    OlderLibcurl() : CameraFixture(21) {}
    void TearDown() override {
        before7_85 = false;
        refusedOption = -1;
        CameraFixture::TearDown();
    }
    bool write(const std::string& name, const std::string& value, RequestOutcome& outcome) {
        std::string reply;
        return httpRequest(writeQuery(name, value), user(), password(), ip(), reply, &outcome);
    }
};

TEST_F(OlderLibcurl, RequestsWorkWithALibcurlThatPredatesTheProtocolListOptions) {
    before7_85 = true;
    RequestOutcome outcome;
    EXPECT_TRUE(write("AIX_PERSON_SENSITIVITY", "4", outcome)) << describeFailure(outcome);
    EXPECT_EQ(camera->parameters().read("AIX_PERSON_SENSITIVITY"), "4");
}

TEST_F(OlderLibcurl, RefusedOptionStopsTheRequestAndTheOutcomeSaysSo) {
    refusedOption = CURLOPT_TIMEOUT_MS;
    RequestOutcome outcome;
    EXPECT_FALSE(write("AIX_PERSON_SENSITIVITY", "4", outcome));
    EXPECT_EQ(outcome.failure, RequestFailure::notSent);
    EXPECT_EQ(describeFailure(outcome),
              std::string("request not sent: ") + curl_easy_strerror(CURLE_UNKNOWN_OPTION));
    EXPECT_TRUE(camera->requests().empty()) << "a request without its time-out went out";
}

}  // namespace
}  // namespace qo::vms_server_plugins::analytics::lumo
