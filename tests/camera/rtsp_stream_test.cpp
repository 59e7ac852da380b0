// The camera's RTSP stream on the wire: its digest login, the two tracks of its description, the
// metadata documents whole and in order with sender reports, a foreign client's listing, and a
// stream taken away and brought back. A small RTSP client over TCP does the talking.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "md5.h"
#include "rtsp/rtsp_server.h"
#include "support/camera_fixture.h"

namespace lumo_camera {
namespace {

struct Reply {
    int status = 0;
    std::map<std::string, std::string> headers;
    std::string body;
};

// Interleaved RTSP over one TCP connection, digest login answered as a client does.
class RtspWire {
public:
    RtspWire(const std::string& ip, uint16_t port, std::string user, std::string password)
        : m_user(std::move(user)), m_password(std::move(password)) {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const timeval timeout{5, 0};
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(port);
        inet_pton(AF_INET, ip.c_str(), &where.sin_addr);
        connected = connect(m_fd, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0;
    }
    ~RtspWire() { close(m_fd); }

    /** Sends the request, logging in when the camera asks; status 0 when the line broke. */
    Reply request(const std::string& method, const std::string& url,
                  const std::string& extra = {}) {
        Reply reply = exchange(method, url, extra, {});
        const std::string challenge = reply.headers["www-authenticate"];
        const size_t at = challenge.find("nonce=\"");
        if (reply.status != 401 || at == std::string::npos)
            return reply;
        const std::string nonce = challenge.substr(at + 7, challenge.find('"', at + 7) - at - 7);
        const std::string ha1 = md5Hex(m_user + ":LUMO AI Camera:" + m_password);
        const std::string response = md5Hex(ha1 + ":" + nonce + ":" + md5Hex(method + ":" + url));
        return exchange(method, url, extra,
                        "Authorization: Digest username=\"" + m_user +
                            "\", realm=\"LUMO AI Camera\", nonce=\"" + nonce + "\", uri=\"" + url +
                            "\", response=\"" + response + "\"\r\n");
    }

    /** The next interleaved frame; false when the line ends or goes quiet. */
    bool frame(int& channel, std::string& data) {
        if (!fill(4))
            return false;
        if (m_buffer[0] != '$')
            return false;
        channel = static_cast<unsigned char>(m_buffer[1]);
        const size_t size = size_t(static_cast<unsigned char>(m_buffer[2])) << 8 |
                            static_cast<unsigned char>(m_buffer[3]);
        if (!fill(4 + size))
            return false;
        data = m_buffer.substr(4, size);
        m_buffer.erase(0, 4 + size);
        return true;
    }

    bool connected = false;

private:
    Reply exchange(const std::string& method, const std::string& url, const std::string& extra,
                   const std::string& login) {
        const std::string text = method + " " + url +
                                 " RTSP/1.0\r\nCSeq: " + std::to_string(++m_sequence) + "\r\n" +
                                 extra + login + "\r\n";
        Reply reply;
        if (send(m_fd, text.data(), text.size(), MSG_NOSIGNAL) != ssize_t(text.size()))
            return reply;
        // Frames of a playing stream may come first.
        size_t end;
        while ((end = m_buffer.find("\r\n\r\n")) == std::string::npos || m_buffer[0] == '$') {
            if (!m_buffer.empty() && m_buffer[0] == '$') {
                int channel;
                std::string data;
                if (!frame(channel, data))
                    return reply;
                continue;
            }
            if (!fill(m_buffer.size() + 1))
                return reply;
        }
        const std::string head = m_buffer.substr(0, end + 2);
        m_buffer.erase(0, end + 4);
        std::sscanf(head.c_str(), "RTSP/1.0 %d", &reply.status);
        for (size_t line = head.find("\r\n") + 2; line < head.size();) {
            const size_t next = head.find("\r\n", line);
            const std::string field = head.substr(line, next - line);
            const size_t colon = field.find(':');
            std::string name = field.substr(0, colon);
            for (char& c : name)
                c = char(std::tolower(static_cast<unsigned char>(c)));
            reply.headers[name] = field.substr(field.find_first_not_of(' ', colon + 1));
            line = next + 2;
        }
        const size_t length = std::strtoul(reply.headers["content-length"].c_str(), nullptr, 10);
        if (!fill(length))
            reply.status = 0;
        reply.body = m_buffer.substr(0, length);
        m_buffer.erase(0, length);
        return reply;
    }

    bool fill(size_t size) {
        char chunk[65536];
        while (m_buffer.size() < size) {
            const ssize_t got = recv(m_fd, chunk, sizeof chunk, 0);
            if (got <= 0)
                return false;
            m_buffer.append(chunk, size_t(got));
        }
        return true;
    }

    int m_fd = -1;
    int m_sequence = 0;
    std::string m_buffer;
    std::string m_user, m_password;
};

uint32_t word(const std::string& data, size_t at) {
    return uint32_t(uint8_t(data[at])) << 24 | uint32_t(uint8_t(data[at + 1])) << 16 |
           uint32_t(uint8_t(data[at + 2])) << 8 | uint8_t(data[at + 3]);
}

class RtspStream : public camera_test::CameraFixture {
protected:
    RtspStream() : CameraFixture(44) { cameraOptions.rtsp = true; }

    std::string url() const { return camera->rtsp()->url(); }
    std::unique_ptr<RtspWire> wire(const std::string& password = "admin") const {
        return std::make_unique<RtspWire>(ip(), camera->rtspPort(), user(), password);
    }

    // Sets up the metadata track over the connection and plays it.
    void playMetadata(RtspWire& line) {
        const Reply setup = line.request("SETUP", url() + "/stream=1",
                                         "Transport: RTP/AVP/TCP;unicast;interleaved=0-1\r\n");
        ASSERT_EQ(setup.status, 200);
        const std::string session =
            setup.headers.at("session").substr(0, setup.headers.at("session").find(';'));
        ASSERT_EQ(line.request("PLAY", url(), "Session: " + session + "\r\n").status, 200);
    }
};

TEST_F(RtspStream, DescriptionNeedsTheDigestLoginAndListsVideoAndMetadata) {
    auto line = wire("wrong");
    ASSERT_TRUE(line->connected);
    EXPECT_EQ(line->request("DESCRIBE", url()).status, 401);

    const Reply reply = wire()->request("DESCRIBE", url(), "Accept: application/sdp\r\n");
    ASSERT_EQ(reply.status, 200);
    EXPECT_NE(reply.body.find("m=video 0 RTP/AVP 96"), std::string::npos) << reply.body;
    EXPECT_NE(reply.body.find("a=rtpmap:96 H264/90000"), std::string::npos);
    EXPECT_NE(reply.body.find("m=application 0 RTP/AVP 107"), std::string::npos);
    EXPECT_NE(reply.body.find("a=rtpmap:107 VND.ONVIF.METADATA/90000"), std::string::npos);
}

TEST_F(RtspStream, MetadataDocumentsArriveWholeInSceneOrderWithSenderReports) {
    auto line = wire();
    playMetadata(*line);
    SceneOptions sceneOptions = camera->options().scene;
    sceneOptions.imageHost = ip();
    const SceneGenerator scene(sceneOptions);
    std::string document;
    std::vector<std::string> documents;
    std::vector<uint32_t> timestamps;
    uint32_t ssrc = 0, reportedSsrc = 0;
    int expectedSequence = -1;
    bool started = false;  // the first document may be joined half way
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while ((documents.size() < 20 || reportedSsrc == 0) &&
           std::chrono::steady_clock::now() < until) {
        int channel;
        std::string data;
        ASSERT_TRUE(line->frame(channel, data));
        if (channel == 1) {
            if (data.size() >= 8 && uint8_t(data[1]) == 200)
                reportedSsrc = word(data, 4);
            continue;
        }
        ASSERT_GE(data.size(), 12u);
        const int sequence = uint8_t(data[2]) << 8 | uint8_t(data[3]);
        if (expectedSequence >= 0) {
            ASSERT_EQ(sequence, expectedSequence) << "a packet went missing";
        }
        expectedSequence = (sequence + 1) & 0xffff;
        ssrc = word(data, 8);
        if (started)
            document += data.substr(12);
        if ((uint8_t(data[1]) & 0x80) == 0)
            continue;
        if (started) {
            documents.push_back(document);
            timestamps.push_back(word(data, 4));
        }
        started = true;
        document.clear();
    }
    ASSERT_GE(documents.size(), 20u);
    EXPECT_EQ(reportedSsrc, ssrc) << "no sender report for the metadata track";
    size_t first = 0;
    while (first < scene.documentCount() && scene.document(first).xml != documents[0])
        ++first;
    ASSERT_LT(first, scene.documentCount()) << documents[0];
    // A busy camera may lose frames, never the tie of a document to its frame time.
    for (size_t i = 1; i < documents.size(); ++i) {
        const uint32_t ticks = timestamps[i] - timestamps[0];
        ASSERT_EQ(ticks % 9000, 0u) << "frame times at 10 per second";
        EXPECT_EQ(documents[i], scene.document((first + ticks / 9000) % scene.documentCount()).xml);
        EXPECT_GT(timestamps[i] - timestamps[i - 1], 0u);
    }
}

TEST_F(RtspStream, ForeignClientListsTheH264VideoAndTheMetadataTrack) {
    if (std::system("command -v ffprobe >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffprobe is not installed (scripts/install-deps.sh installs ffmpeg)";
    const std::string command =
        "timeout 30 ffprobe -hide_banner -loglevel debug "
        "rtsp://admin:admin@" +
        ip() + ":" + std::to_string(camera->rtspPort()) + "/stream1 2>&1";
    std::string listing;
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char chunk[4096];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        listing.append(chunk, got);
    pclose(pipe);
    EXPECT_NE(listing.find("Video: h264"), std::string::npos) << listing;
    EXPECT_NE(listing.find("1920x1080"), std::string::npos);
    EXPECT_NE(listing.find("Stream #0:1"), std::string::npos);
    EXPECT_NE(listing.find("a=rtpmap:107 VND.ONVIF.METADATA/90000"), std::string::npos);
}

TEST_F(RtspStream, StreamTakenAwayEndsTheSessionAndComesBackOnTheSamePort) {
    auto line = wire();
    playMetadata(*line);
    int channel;
    std::string data;
    ASSERT_TRUE(line->frame(channel, data));
    const uint16_t port = camera->rtspPort();

    camera->stopStreaming();
    while (line->frame(channel, data)) {
    }
    EXPECT_FALSE(wire()->connected) << "nothing listens while the stream is away";

    camera->startStreaming();
    EXPECT_EQ(camera->rtspPort(), port);
    auto again = wire();
    playMetadata(*again);
    EXPECT_TRUE(again->frame(channel, data));
}

}  // namespace
}  // namespace lumo_camera
