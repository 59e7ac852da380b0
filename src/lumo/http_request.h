// The one function that talks to the camera: an HTTP GET of "http://" ADDRESS "/httpapi/" QUERY
// with digest authentication, the reply body appended to the caller's buffer.
//
// Every request is bounded in time (connect and total time-outs below) and in size (a reply
// beyond kMaxReplyBytes fails the request), so a camera that hangs or talks without end cannot
// hold a thread or memory of the server. libcurl is initialised once for the library, never
// torn down per request. httpRequest may run on any number of threads at once; each call uses
// its own handle and buffer.
#pragma once

#include <cstddef>
#include <string>

namespace qo::vms_server_plugins::analytics::lumo {

/** Longest time allowed to establish the connection to the camera. */
constexpr long kConnectTimeoutMs = 2000;
/** Longest time allowed for a whole request, authentication round trip included. */
constexpr long kTotalTimeoutMs = 5000;
/** A reply longer than this is cut off and the request fails. */
constexpr size_t kMaxReplyBytes = 1024 * 1024;

enum class RequestFailure {
    none,
    notSent,     // Nothing to send, or libcurl could not set the request up.
    noAnswer,    // No complete reply: no connection, time-out, reply too long.
    httpStatus,  // A reply whose status is not 2xx, a refused login among them.
};

/** How a request ended; what a caller needs to tell the server why a write did not happen. */
struct RequestOutcome {
    RequestFailure failure = RequestFailure::none;
    long status = 0;   // HTTP status of the final reply, for httpStatus.
    int curlCode = 0;  // libcurl's code, for notSent and noAnswer.
};

/** The cause in a few words, such as "login refused (HTTP status 401)"; empty for none. */
std::string describeFailure(const RequestOutcome& outcome);

}  // namespace qo::vms_server_plugins::analytics::lumo

/**
 * Performs the request; true when the transfer completed with a 2xx status. The body of such a
 * reply is appended to `reply` (not cleared first). On a transport failure `reply` gets whatever
 * part of the body arrived; the body of an error status (such as a refused login) is not kept.
 * An empty query sends nothing and returns false. `outcome`, when given, says how it ended.
 */
bool httpRequest(const std::string& cameraQuery, const std::string& user,
                 const std::string& password, const std::string& cameraIp, std::string& reply,
                 qo::vms_server_plugins::analytics::lumo::RequestOutcome* outcome = nullptr);

/**
 * libcurl write callback collecting a reply into `buffer`. Returns size * nmemb, or 0 (which
 * aborts the transfer) once the buffer would exceed kMaxReplyBytes.
 */
size_t writeCallback(char* data, size_t size, size_t nmemb, std::string* buffer);
