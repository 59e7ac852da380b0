// One request as the camera received it, kept in the camera's request log for tests.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace lumo_camera {

struct LoggedRequest {
    std::string method;
    /** The request target as sent, still percent-encoded: "/httpapi/ReadParam?action=...". */
    std::string uri;
    /** The decoded query parameters in order, "action" and empty names left out. */
    std::vector<std::pair<std::string, std::string>> parameters;
    /** True when the request carried a digest answer (an Authorization header). */
    bool presentedLogin = false;
    /** True when the request carried a valid digest login. */
    bool authorized = false;
    /** Status answered; 0 when no answer was given (a hang or reset). */
    unsigned status = 0;
};

}  // namespace lumo_camera
