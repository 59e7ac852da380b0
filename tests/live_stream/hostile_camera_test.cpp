// RTSP answers no camera should give: the source ends with one final state, without hanging or
// growing, whatever the camera says during setup.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "live/rtsp_source.h"

namespace {

using lumo::host::live::RtspSource;
using lumo::host::live::SourceState;

// Answers each RTSP request on one connection with what `answer` makes of its method; an empty
// answer closes the connection.
class ScriptedCamera {
public:
    using Answer = std::function<std::string(const std::string& method, const std::string& cseq)>;

    explicit ScriptedCamera(Answer answer) : m_answer(std::move(answer)) {
        m_listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(m_listener, 4);
        socklen_t length = sizeof address;
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }

    ~ScriptedCamera() {
        m_stop = true;
        shutdown(m_listener, SHUT_RDWR);
        close(m_listener);
        m_thread.join();
    }

    std::string url() const { return "rtsp://127.0.0.1:" + std::to_string(m_port) + "/stream1"; }

private:
    void serve() {
        while (!m_stop) {
            const int client = accept(m_listener, nullptr, nullptr);
            if (client < 0)
                return;
            std::string pending;
            char buffer[4096];
            for (;;) {
                const ssize_t n = recv(client, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                pending.append(buffer, static_cast<size_t>(n));
                const size_t end = pending.find("\r\n\r\n");
                if (end == std::string::npos)
                    continue;
                const std::string request = pending.substr(0, end);
                pending.erase(0, end + 4);
                const std::string method = request.substr(0, request.find(' '));
                std::string cseq = "1";
                if (const size_t at = request.find("CSeq:"); at != std::string::npos) {
                    const size_t from = request.find_first_not_of(' ', at + 5);
                    cseq = request.substr(from, request.find("\r\n", from) - from);
                }
                const std::string reply = m_answer(method, cseq);
                if (reply.empty())
                    break;
                if (send(client, reply.data(), reply.size(), MSG_NOSIGNAL) < 0)
                    break;
            }
            close(client);
        }
    }

    Answer m_answer;
    int m_listener = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

std::string reply(const std::string& cseq, const std::string& headers, const std::string& body) {
    return "RTSP/1.0 200 OK\r\nCSeq: " + cseq + "\r\n" + headers +
           (body.empty() ? ""
                         : "Content-Type: application/sdp\r\nContent-Length: " +
                               std::to_string(body.size()) + "\r\n") +
           "\r\n" + body;
}

std::string sdp(size_t padding) {
    std::string text =
        "v=0\r\no=- 1 1 IN IP4 127.0.0.1\r\ns=camera\r\nc=IN IP4 127.0.0.1\r\nt=0 0\r\n";
    for (size_t i = 0; text.size() < padding; ++i)
        text += "a=x-padding:" + std::to_string(i) + std::string(100, 'p') + "\r\n";
    text +=
        "m=video 0 RTP/AVP 96\r\na=rtpmap:96 H264/90000\r\na=control:video\r\n"
        "m=application 0 RTP/AVP 107\r\na=rtpmap:107 vnd.onvif.metadata/90000\r\n"
        "a=control:metadata\r\n";
    return text;
}

struct HostileCase {
    const char* name;
    ScriptedCamera::Answer answer;
};

const HostileCase kCases[] = {
    {"ClosesAfterDescribe",
     [](const std::string& method, const std::string& cseq) -> std::string {
         if (method == "OPTIONS")
             return reply(cseq, "Public: OPTIONS, DESCRIBE, SETUP, PLAY, TEARDOWN\r\n", "");
         if (method == "DESCRIBE")
             return reply(cseq, "Content-Base: rtsp://127.0.0.1/stream1/\r\n", sdp(0));
         return "";
     }},
    {"ClosesBeforeAnswering",
     [](const std::string&, const std::string&) -> std::string { return ""; }},
    {"HugeDescription",
     [](const std::string& method, const std::string& cseq) -> std::string {
         if (method == "OPTIONS")
             return reply(cseq, "Public: OPTIONS, DESCRIBE, SETUP, PLAY, TEARDOWN\r\n", "");
         if (method == "DESCRIBE")
             return reply(cseq, "Content-Base: rtsp://127.0.0.1/stream1/\r\n", sdp(1024 * 1024));
         return "";
     }},
    {"GarbageAnswer",
     [](const std::string&, const std::string&) -> std::string {
         return std::string(64 * 1024, '\x7f') + "\r\n\r\n";
     }},
};

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name;
}

class HostileCamera : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileCamera, EndsTheSourceWithOneFinalState) {
    ScriptedCamera camera(GetParam().answer);
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<SourceState> states;  // guarded by mutex
    lumo::host::live::RtspSourceOptions options;
    options.url = camera.url();
    options.answerTimeout = std::chrono::milliseconds(3000);
    lumo::host::live::RtspSourceCallbacks callbacks;
    callbacks.onState = [&](SourceState state, const std::string&) {
        std::lock_guard<std::mutex> lock(mutex);
        states.push_back(state);
        changed.notify_all();
    };
    RtspSource source(options, callbacks);
    source.start();
    {
        std::unique_lock<std::mutex> lock(mutex);
        ASSERT_TRUE(
            changed.wait_for(lock, std::chrono::seconds(30), [&] { return !states.empty(); }));
    }
    source.stop();
    ASSERT_EQ(states.size(), 1U);
    EXPECT_TRUE(lumo::host::live::isFinal(states.front()))
        << lumo::host::live::sourceStateName(states.front());
    EXPECT_TRUE(source.finished());
    EXPECT_EQ(source.counters().delivered, 0U);
}

INSTANTIATE_TEST_SUITE_P(Answers, HostileCamera, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
