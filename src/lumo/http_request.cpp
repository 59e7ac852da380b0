#include "lumo/http_request.h"

#include <curl/curl.h>

#include <memory>

using qo::vms_server_plugins::analytics::lumo::kConnectTimeoutMs;
using qo::vms_server_plugins::analytics::lumo::kMaxReplyBytes;
using qo::vms_server_plugins::analytics::lumo::kTotalTimeoutMs;

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

bool httpRequest(const std::string& cameraQuery, const std::string& user,
                 const std::string& password, const std::string& cameraIp, std::string& reply) {
    // Without an address libcurl would take "httpapi" for a host name and look it up.
    if (cameraQuery.empty() || cameraIp.empty() || !curlReady())
        return false;

    const std::unique_ptr<CURL, EasyDeleter> curl(curl_easy_init());
    if (!curl)
        return false;
    CURL* const handle = curl.get();

    const std::string url = "http://" + cameraIp + "/httpapi/" + cameraQuery;
    std::string body;
    using WriteFunction = size_t (*)(char*, size_t, size_t, std::string*);
    const WriteFunction write = writeCallback;

    bool configured = curl_easy_setopt(handle, CURLOPT_URL, url.c_str()) == CURLE_OK;
    configured &= curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http") == CURLE_OK;
    configured &= curl_easy_setopt(handle, CURLOPT_HTTPAUTH, CURLAUTH_DIGEST) == CURLE_OK;
    configured &= curl_easy_setopt(handle, CURLOPT_USERNAME, user.c_str()) == CURLE_OK;
    configured &= curl_easy_setopt(handle, CURLOPT_PASSWORD, password.c_str()) == CURLE_OK;
    configured &= curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, write) == CURLE_OK;
    configured &= curl_easy_setopt(handle, CURLOPT_WRITEDATA, &body) == CURLE_OK;
    // Signals cannot serve as time-out in a multi-threaded host; libcurl then uses its own.
    configured &= curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    configured &=
        curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs) == CURLE_OK;
    configured &= curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, kTotalTimeoutMs) == CURLE_OK;
    if (!configured)
        return false;

    const CURLcode code = curl_easy_perform(handle);
    if (code != CURLE_OK) {
        reply += body;
        return false;
    }
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    // A refused login or an unknown path is no camera answer: its body would otherwise be read
    // as a parameter value.
    if (status < 200 || status > 299)
        return false;
    reply += body;
    return true;
}
