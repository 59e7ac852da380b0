#include "commands/camera_check.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>
#include <regex>

namespace lumo::host {

namespace {

// As the plugin's own requests: a camera slower than this counts as absent there too.
constexpr long kConnectTimeoutMs = 2000;
constexpr long kTotalTimeoutMs = 5000;
constexpr long kHttpUnauthorized = 401;

size_t discardBody(char* /*data*/, size_t size, size_t count, void* /*user*/) {
    return size * count;
}

}  // namespace

std::string cameraAddress(const std::string& deviceUrl) {
    static const std::regex kIpv4(R"((\d{1,3}\.){3}\d{1,3})");
    std::smatch match;
    return std::regex_search(deviceUrl, match, kIpv4) ? match.str() : std::string();
}

std::string checkCamera(const std::string& address, const std::string& login,
                        const std::string& password) {
    static std::once_flag curlInitialised;
    std::call_once(curlInitialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle(curl_easy_init(),
                                                                     &curl_easy_cleanup);
    if (!handle)
        return "cannot make an HTTP request (libcurl failed to start)";
    const std::string url =
        "http://" + address + "/httpapi/ReadParam?action=readparam&AIX_OBJECT_DETECTION_ENABLE=&";
    CURL* const curl = handle.get();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_DIGEST);
    curl_easy_setopt(curl, CURLOPT_USERNAME, login.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, password.c_str());
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, kTotalTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    // A proxy from the environment would answer for a camera that is not there.
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &discardBody);

    const std::string camera = "camera at " + address;
    const CURLcode code = curl_easy_perform(curl);
    if (code != CURLE_OK) {
        return camera + " did not answer (" + curl_easy_strerror(code) +
               "): is lumo-camera running, or is --camera the camera's URL?";
    }
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (status == kHttpUnauthorized)
        return camera + " refused the login \"" + login + "\": check --login and --password";
    if (status < 200 || status >= 300) {
        return camera + " answered a parameter read with HTTP status " + std::to_string(status) +
               ": is it a LUMO AI camera?";
    }
    return "";
}

}  // namespace lumo::host
