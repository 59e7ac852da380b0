#include "camera.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <microhttpd.h>

#include "rtsp/rtsp_server.h"

namespace lumo_camera {

namespace {

constexpr char kReadPath[] = "/httpapi/ReadParam";
constexpr char kWritePath[] = "/httpapi/WriteParam";
constexpr auto kHangPoll = std::chrono::milliseconds(20);
constexpr size_t kEndlessChunk = 64 * 1024;
constexpr unsigned kConnectionTimeoutS = 30;
constexpr unsigned kConnectionLimit = 4096;

MHD_Result collectArgument(void* cls, MHD_ValueKind, const char* key, const char* value) {
    auto* parameters = static_cast<std::vector<std::pair<std::string, std::string>>*>(cls);
    if (key != nullptr && *key != '\0')
        parameters->emplace_back(key, value != nullptr ? value : "");
    return MHD_YES;
}

}  // namespace

// Per request: the target as received, filled before MHD parses it.
struct Camera::Exchange {
    std::string rawUri;
    LoggedRequest request;
    bool answered = false;
    bool logged = false;
    uint64_t logEpoch = 0;
    size_t logIndex = 0;
};

struct CameraCallbacks {
    static void* onUri(void* /*cls*/, const char* uri, MHD_Connection* /*connection*/) {
        auto* exchange = new Camera::Exchange;
        exchange->rawUri = uri != nullptr ? uri : "";
        return exchange;
    }

    static MHD_Result onRequest(void* cls, MHD_Connection* connection, const char* url,
                                const char* method, const char* /*version*/,
                                const char* /*uploadData*/, size_t* uploadDataSize,
                                void** context) {
        auto* camera = static_cast<Camera*>(cls);
        auto* exchange = static_cast<Camera::Exchange*>(*context);
        if (exchange == nullptr)
            return MHD_NO;
        // The camera takes no request bodies; whatever comes is dropped.
        if (*uploadDataSize != 0) {
            *uploadDataSize = 0;
            return MHD_YES;
        }
        return camera->handle(connection, url, method, *exchange) != 0 ? MHD_YES : MHD_NO;
    }

    static void onCompleted(void* /*cls*/, MHD_Connection* /*connection*/, void** context,
                            MHD_RequestTerminationCode /*reason*/) {
        delete static_cast<Camera::Exchange*>(*context);
        *context = nullptr;
    }

    // A body of "ENDLESS=" and then letters, for as long as the client reads or the camera runs.
    static ssize_t endlessBody(void* cls, uint64_t position, char* buffer, size_t max) {
        const auto* camera = static_cast<const Camera*>(cls);
        if (camera->stopping())
            return MHD_CONTENT_READER_END_WITH_ERROR;
        const size_t size = std::min(max, kEndlessChunk);
        std::memset(buffer, 'a', size);
        static constexpr char kHead[] = "ENDLESS=";
        for (uint64_t i = position; i < sizeof kHead - 1 && i - position < size; ++i)
            buffer[i - position] = kHead[i];
        return static_cast<ssize_t>(size);
    }
};

Camera::Camera(CameraOptions options)
    : m_options(std::move(options)),
      m_auth(m_options.realm, m_options.user, m_options.password, m_options.nonceLifetime) {}

Camera::~Camera() {
    stop();
}

uint16_t Camera::rtspPort() const {
    return m_rtsp && m_rtsp->running() ? m_rtsp->port() : 0;
}

void Camera::stopStreaming() {
    if (m_rtsp)
        m_rtsp->stop();
}

void Camera::startStreaming() {
    if (m_rtsp)
        m_rtsp->start();
}

std::string Camera::endpoint() const {
    return m_options.address + ":" + std::to_string(m_port);
}

bool Camera::stopping() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_stopping;
}

void Camera::start() {
    if (m_daemon != nullptr)
        return;
    const std::string where = m_options.address + ":" + std::to_string(m_options.port);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(m_options.port);
    if (inet_pton(AF_INET, m_options.address.c_str(), &address.sin_addr) != 1)
        throw ListenError("not an IPv4 address: " + m_options.address, EINVAL);

    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        const int error = errno;
        throw ListenError(std::string("cannot open a socket: ") + std::strerror(error), error);
    }
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, SOMAXCONN) != 0) {
        const int error = errno;
        close(fd);
        throw ListenError("cannot listen on " + where + ": " + std::strerror(error), error);
    }
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    m_port = ntohs(bound.sin_port);

    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = false;
    }
    m_daemon = MHD_start_daemon(
        MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_AUTO, 0, nullptr,
        nullptr, &CameraCallbacks::onRequest, this, MHD_OPTION_LISTEN_SOCKET, fd,
        MHD_OPTION_URI_LOG_CALLBACK, &CameraCallbacks::onUri, this, MHD_OPTION_NOTIFY_COMPLETED,
        &CameraCallbacks::onCompleted, this, MHD_OPTION_CONNECTION_TIMEOUT, kConnectionTimeoutS,
        MHD_OPTION_CONNECTION_LIMIT,
        m_options.maxConnections > 0 ? m_options.maxConnections : kConnectionLimit, MHD_OPTION_END);
    if (m_daemon == nullptr) {
        // The daemon may already have closed the socket it was given; closing it again could hit
        // a descriptor another thread has opened since.
        throw ListenError("cannot serve on " + where, EIO);
    }
    if (!m_options.rtsp)
        return;
    RtspOptions rtsp;
    rtsp.address = m_options.address;
    rtsp.port = m_options.rtspPort;
    rtsp.user = m_options.user;
    rtsp.password = m_options.password;
    rtsp.realm = m_options.realm;
    rtsp.scene = m_options.scene;
    rtsp.scene.imageHost = m_options.address;
    rtsp.dropMetadataEvery = m_options.dropMetadataEvery;
    rtsp.metadataFault = m_options.metadataFault;
    m_rtsp = std::make_unique<RtspServer>(rtsp);
    try {
        m_rtsp->start();
    } catch (...) {
        m_rtsp.reset();
        stop();
        throw;
    }
}

void Camera::stop() {
    m_rtsp.reset();
    if (m_daemon == nullptr)
        return;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_stopped.notify_all();
    m_turnFree.notify_all();
    // Joins the connection threads; the ones held by a fault have just been released.
    MHD_stop_daemon(m_daemon);
    m_daemon = nullptr;
}

std::vector<LoggedRequest> Camera::requests() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_log;
}

void Camera::clearRequests() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_log.clear();
    ++m_logEpoch;
}

void Camera::addFault(Fault fault) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.push_back(std::move(fault));
}

void Camera::clearFaults() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.clear();
}

void Camera::log(Exchange& exchange) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (exchange.logged) {
        if (exchange.logEpoch == m_logEpoch)
            m_log[exchange.logIndex].status = exchange.request.status;
        return;
    }
    exchange.logged = true;
    exchange.logEpoch = m_logEpoch;
    exchange.logIndex = m_log.size();
    m_log.push_back(exchange.request);
}

bool Camera::takeFault(const LoggedRequest& request, Fault& fault) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
        const bool hit = it->parameter.empty() ||
                         std::any_of(request.parameters.begin(), request.parameters.end(),
                                     [&](const auto& p) { return p.first == it->parameter; });
        if (!hit)
            continue;
        fault = *it;
        if (it->times > 0 && --it->times == 0)
            m_faults.erase(it);
        return true;
    }
    return false;
}

bool Camera::waitOnConnection(MHD_Connection* connection,
                              std::chrono::steady_clock::time_point until) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    const int fd = info != nullptr ? info->connect_fd : -1;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (m_stopping)
            return false;
        const auto now = std::chrono::steady_clock::now();
        if (now >= until)
            return true;
        m_stopped.wait_until(lock, std::min(until, now + kHangPoll));
        if (fd >= 0) {
            pollfd p{fd, POLLRDHUP, 0};
            if (poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0)
                return false;
        }
    }
}

bool Camera::takeTurn(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    const int fd = info != nullptr ? info->connect_fd : -1;
    std::unique_lock<std::mutex> lock(m_mutex);
    const uint64_t ticket = ++m_lastTicket;
    m_turnQueue.push_back(ticket);
    for (;;) {
        if (!m_stopping && !m_turnTaken && m_turnQueue.front() == ticket) {
            m_turnQueue.pop_front();
            m_turnTaken = true;
            return true;
        }
        bool gone = m_stopping;
        if (!gone) {
            m_turnFree.wait_for(lock, kHangPoll);
            pollfd p{fd, POLLRDHUP, 0};
            gone =
                fd >= 0 && poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
        }
        if (gone) {
            m_turnQueue.erase(std::find(m_turnQueue.begin(), m_turnQueue.end(), ticket));
            // The one behind may be next now.
            m_turnFree.notify_all();
            return false;
        }
    }
}

void Camera::giveTurn() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_turnTaken = false;
    }
    m_turnFree.notify_all();
}

int Camera::answer(MHD_Connection* connection, unsigned status, const std::string& body,
                   Exchange& exchange, const std::string& challenge) {
    exchange.request.status = status;
    log(exchange);
    MHD_Response* response = MHD_create_response_from_buffer(
        body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
    if (response == nullptr)
        return 0;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain");
    if (!challenge.empty())
        MHD_add_response_header(response, MHD_HTTP_HEADER_WWW_AUTHENTICATE, challenge.c_str());
    const MHD_Result queued = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return queued == MHD_YES ? 1 : 0;
}

int Camera::handle(MHD_Connection* connection, const std::string& url, const std::string& method,
                   Exchange& exchange) {
    if (exchange.answered)
        return 1;
    exchange.answered = true;

    // The turn is held until the answer is queued, so exchanges follow one another.
    if (m_options.serial && !takeTurn(connection))
        return 0;
    struct TurnGuard {
        Camera* camera;
        ~TurnGuard() {
            if (camera != nullptr)
                camera->giveTurn();
        }
    } turn{m_options.serial ? this : nullptr};
    if (m_options.latency.count() > 0 &&
        !waitOnConnection(connection, std::chrono::steady_clock::now() + m_options.latency)) {
        return 0;
    }
    LoggedRequest& request = exchange.request;
    request.method = method;
    request.uri = exchange.rawUri;
    std::vector<std::pair<std::string, std::string>> arguments;
    MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, &collectArgument, &arguments);
    std::string action;
    for (auto& argument : arguments) {
        if (argument.first == "action")
            action = argument.second;
        else
            request.parameters.push_back(std::move(argument));
    }

    const char* authorization =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_AUTHORIZATION);
    request.presentedLogin = authorization != nullptr;
    DigestAuth::Verdict verdict = DigestAuth::Verdict::refused;
    if (authorization != nullptr)
        verdict = m_auth.verify(method, exchange.rawUri, authorization);
    if (verdict != DigestAuth::Verdict::granted) {
        return answer(connection, MHD_HTTP_UNAUTHORIZED, "401 Unauthorized\n", exchange,
                      m_auth.challenge(verdict == DigestAuth::Verdict::stale));
    }
    request.authorized = true;

    Fault fault;
    if (takeFault(request, fault)) {
        if (fault.kind == Fault::Kind::wrongCredentials)
            request.authorized = false;
        // Logged on arrival, so a test can see a request that is being held.
        log(exchange);
        const auto deadline = fault.kind == Fault::Kind::hang
                                  ? std::chrono::steady_clock::time_point::max()
                                  : std::chrono::steady_clock::now() + fault.delay;
        if (!waitOnConnection(connection, deadline))
            return 0;
        switch (fault.kind) {
            case Fault::Kind::delay:
            case Fault::Kind::hang:
                break;
            case Fault::Kind::reset: {
                const MHD_ConnectionInfo* info =
                    MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
                if (info != nullptr) {
                    const linger abort{1, 0};
                    setsockopt(info->connect_fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
                }
                return 0;
            }
            case Fault::Kind::wrongCredentials:
                return answer(connection, MHD_HTTP_UNAUTHORIZED, "401 Unauthorized\n", exchange,
                              m_auth.challenge(false));
            case Fault::Kind::noEqualSign:
                return answer(connection, MHD_HTTP_OK, "Error\n", exchange);
            case Fault::Kind::okReply:
                return answer(connection, MHD_HTTP_OK, "Ok\n", exchange);
            case Fault::Kind::endlessBody: {
                request.status = MHD_HTTP_OK;
                log(exchange);
                MHD_Response* response = MHD_create_response_from_callback(
                    MHD_SIZE_UNKNOWN, kEndlessChunk, &CameraCallbacks::endlessBody, this, nullptr);
                if (response == nullptr)
                    return 0;
                const MHD_Result queued = MHD_queue_response(connection, MHD_HTTP_OK, response);
                MHD_destroy_response(response);
                return queued == MHD_YES ? 1 : 0;
            }
        }
    }

    if (method != "GET")
        return answer(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "Error: GET only\n", exchange);
    const bool read = url == kReadPath;
    if (!read && url != kWritePath)
        return answer(connection, MHD_HTTP_NOT_FOUND, "Error: no such page\n", exchange);
    if (action != (read ? "readparam" : "writeparam"))
        return answer(connection, MHD_HTTP_BAD_REQUEST, "Error: bad action\n", exchange);
    if (request.parameters.empty())
        return answer(connection, MHD_HTTP_BAD_REQUEST, "Error: no parameter\n", exchange);

    if (read) {
        std::string body;
        for (const auto& [name, ignored] : request.parameters) {
            const auto value = m_parameters.read(name);
            if (!value) {
                return answer(connection, MHD_HTTP_BAD_REQUEST,
                              "Error: unknown parameter " + name + "\n", exchange);
            }
            body += name + "=" + *value + "\n";
        }
        return answer(connection, MHD_HTTP_OK, body, exchange);
    }
    std::string failed;
    switch (m_parameters.writeAll(request.parameters, failed)) {
        case ParameterTable::WriteResult::ok:
            return answer(connection, MHD_HTTP_OK, "OK\n", exchange);
        case ParameterTable::WriteResult::unknownName:
            return answer(connection, MHD_HTTP_BAD_REQUEST,
                          "Error: unknown parameter " + failed + "\n", exchange);
        case ParameterTable::WriteResult::invalidValue:
            return answer(connection, MHD_HTTP_BAD_REQUEST,
                          "Error: invalid value of " + failed + "\n", exchange);
    }
    return 0;
}

}  // namespace lumo_camera
