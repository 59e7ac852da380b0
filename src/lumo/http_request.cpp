#include "lumo/http_request.h"

#include <curl/curl.h>

#include <memory>

using qo::vms_server_plugins::analytics::lumo::kConnectTimeoutMs;
using qo::vms_server_plugins::analytics::lumo::kMaxReplyBytes;
using qo::vms_server_plugins::analytics::lumo::kTotalTimeoutMs;
using qo::vms_server_plugins::analytics::lumo::RequestFailure;
using qo::vms_server_plugins::analytics::lumo::RequestOutcome;

namespace {

// curl_global_init is not safe against concurrent transfers on other threads, so it runs
// exactly once. There is deliberately no matching curl_global_cleanup: the host process may
// still be using libcurl when this library goes away.
bool curlReady() {
    static const bool ready = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
    return ready;
}

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

}  // namespace

size_t writeCallback(char* data, size_t size, size_t nmemb, std::string* buffer) {
    if (size != 0 && nmemb > kMaxReplyBytes / size)
        return 0;
    const size_t bytes = size * nmemb;
    if (buffer->size() + bytes > kMaxReplyBytes)
        return 0;
    buffer->append(data, bytes);
    return bytes;
}

namespace qo::vms_server_plugins::analytics::lumo {

std::string describeFailure(const RequestOutcome& outcome) {
    switch (outcome.failure) {
        case RequestFailure::none:
            return "";
        case RequestFailure::notSent:
            return "request not sent: " +
                   std::string(curl_easy_strerror(static_cast<CURLcode>(outcome.curlCode)));
        case RequestFailure::noAnswer:
            return "no answer: " +
                   std::string(curl_easy_strerror(static_cast<CURLcode>(outcome.curlCode)));
        case RequestFailure::httpStatus:
            if (outcome.status == 401)
                return "login refused (HTTP status 401)";
            return "HTTP status " + std::to_string(outcome.status);
    }
    return "";
}

}  // namespace qo::vms_server_plugins::analytics::lumo

bool httpRequest(const std::string& cameraQuery, const std::string& user,
                 const std::string& password, const std::string& cameraIp, std::string& reply,
                 RequestOutcome* outcome) {
    RequestOutcome ignored;
    RequestOutcome& result = outcome ? *outcome : ignored;
    result = RequestOutcome{RequestFailure::notSent, 0, CURLE_OK};

    // Without an address libcurl would take "httpapi" for a host name and look it up.
    if (cameraQuery.empty() || cameraIp.empty()) {
        result.curlCode = CURLE_URL_MALFORMAT;
        return false;
    }
    if (!curlReady()) {
        result.curlCode = CURLE_FAILED_INIT;
        return false;
    }

    const std::unique_ptr<CURL, EasyDeleter> curl(curl_easy_init());
    if (!curl) {
        result.curlCode = CURLE_FAILED_INIT;
        return false;
    }
    CURL* const handle = curl.get();

    const std::string url = "http://" + cameraIp + "/httpapi/" + cameraQuery;
    std::string body;
    using WriteFunction = size_t (*)(char*, size_t, size_t, std::string*);
    const WriteFunction write = writeCallback;

    // Only options libcurl has known since 7.19.1; the URL alone fixes the protocol. The first
    // option refused ends the request, and its code says which.
    const auto set = [handle, &result](CURLoption option, auto value) {
        if (result.curlCode != CURLE_OK)
            return;
        result.curlCode = curl_easy_setopt(handle, option, value);
    };
    set(CURLOPT_URL, url.c_str());
    set(CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_DIGEST));
    set(CURLOPT_USERNAME, user.c_str());
    set(CURLOPT_PASSWORD, password.c_str());
    set(CURLOPT_WRITEFUNCTION, write);
    set(CURLOPT_WRITEDATA, &body);
    // Signals cannot serve as time-out in a multi-threaded host; libcurl then uses its own.
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    set(CURLOPT_TIMEOUT_MS, kTotalTimeoutMs);
    if (result.curlCode != CURLE_OK)
        return false;

    const CURLcode code = curl_easy_perform(handle);
    if (code != CURLE_OK) {
        result = RequestOutcome{RequestFailure::noAnswer, 0, code};
        reply += body;
        return false;
    }
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    // A refused login or an unknown path is no camera answer: its body would otherwise be read
    // as a parameter value.
    if (status < 200 || status > 299) {
        result = RequestOutcome{RequestFailure::httpStatus, status, CURLE_OK};
        return false;
    }
    result = RequestOutcome{};
    reply += body;
    return true;
}
