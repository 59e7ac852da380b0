#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "live/last_picture.h"
#include "live/rtsp_source.h"
#include "live_stream/test_rtsp_server.h"

namespace {

using live_test::ServerOptions;
using live_test::TestRtspServer;
using lumo::host::live::RtspSource;
using lumo::host::live::RtspSourceOptions;
using lumo::host::live::RtspTransport;
using lumo::host::live::SourceState;

// What a source delivered, collected from its threads.
class Pulled {
public:
    lumo::host::live::RtspSourceCallbacks callbacks() {
        return {[this](lumo::host::live::MetadataDocument&& d) {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    documents.push_back(std::move(d));
                    m_changed.notify_all();
                },
                [this](lumo::host::live::VideoAccessUnit&& v) {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    video.push_back({v.codec, v.width, v.height, v.timestampUs});
                    m_changed.notify_all();
                },
                [this](SourceState s, const std::string&) {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    states.push_back(s);
                    m_changed.notify_all();
                }};
    }

    /** Waits (at most 20 s, a bound for a broken build, not a speed target) for `done`. */
    bool waitFor(const std::function<bool()>& done) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(20), done);
    }
    bool waitForDocuments(size_t n) {
        return waitFor([&] { return documents.size() >= n; });
    }
    bool waitForState(SourceState state, size_t count = 1) {
        return waitFor([&] {
            return static_cast<size_t>(std::count(states.begin(), states.end(), state)) >= count;
        });
    }
    std::vector<int> numbers() {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<int> out;
        for (const auto& d : documents) {
            const size_t at = d.bytes.find("<doc n=\"");
            const int n = at == std::string::npos ? -1 : std::stoi(d.bytes.substr(at + 8));
            EXPECT_EQ(d.bytes, TestRtspServer::document(n, d.bytes.size())) << "document " << n;
            out.push_back(n);
        }
        return out;
    }

    struct Video {
        std::string codec;
        int width, height;
        int64_t timestampUs;
    };
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<lumo::host::live::MetadataDocument> documents;  // guarded by m_mutex
    std::vector<Video> video;                                   // guarded by m_mutex
    std::vector<SourceState> states;                            // guarded by m_mutex
};

RtspSourceOptions optionsFor(const TestRtspServer& server,
                             RtspTransport transport = RtspTransport::tcp) {
    RtspSourceOptions options;
    options.url = server.url();
    options.transport = transport;
    options.firstRetryDelay = std::chrono::milliseconds(100);
    options.maxRetryDelay = std::chrono::milliseconds(400);
    options.stallTimeout = std::chrono::milliseconds(2000);
    return options;
}

int64_t nowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

class RtspSourceTransport : public ::testing::TestWithParam<RtspTransport> {};

TEST_P(RtspSourceTransport, DeliversWholeDocumentsAndVideoOnTheWallClock) {
    TestRtspServer server({});
    Pulled pulled;
    RtspSource source(optionsFor(server, GetParam()), pulled.callbacks());
    source.start();
    ASSERT_TRUE(pulled.waitForDocuments(30));
    ASSERT_TRUE(pulled.waitFor([&] { return pulled.video.size() >= 10; }));
    source.stop();

    const auto numbers = pulled.numbers();
    for (size_t i = 1; i < numbers.size(); ++i)
        EXPECT_EQ(numbers[i], numbers[i - 1] + 1);
    EXPECT_EQ(source.counters().lostInTransport, 0U);
    const int64_t now = nowUs();
    for (const auto& d : pulled.documents)
        EXPECT_NEAR(d.timestampUs, now, 10'000'000);
    for (const auto& v : pulled.video) {
        EXPECT_EQ(v.codec, "h264");
        EXPECT_EQ(v.width, 320);
        EXPECT_EQ(v.height, 240);
        EXPECT_NEAR(v.timestampUs, now, 10'000'000);
    }
    EXPECT_EQ(pulled.states.front(), SourceState::connected);
}

INSTANTIATE_TEST_SUITE_P(Transports, RtspSourceTransport,
                         ::testing::Values(RtspTransport::tcp, RtspTransport::udp),
                         [](const auto& info) {
                             return info.param == RtspTransport::tcp ? "Tcp" : "Udp";
                         });

TEST(RtspSourceClock, SenderReportsPlaceDocumentsOnTheirRtpTimeline) {
    // The server stamps document n at n * 40 ms of RTP time and sends it when it likes: once a
    // sender report has come, stamps step by exactly 40 ms whatever the arrival times did.
    TestRtspServer server({});
    Pulled pulled;
    RtspSource source(optionsFor(server), pulled.callbacks());
    source.start();
    const auto exactRun = [&] {
        size_t run = 0;
        for (size_t i = 1; i < pulled.documents.size(); ++i) {
            const int64_t step =
                pulled.documents[i].timestampUs - pulled.documents[i - 1].timestampUs;
            run = std::abs(step - 40000) <= 1 ? run + 1 : 0;
        }
        return run >= 25;
    };
    // Video at 10 frames a second, on the same clock.
    const auto exactVideo = [&] {
        size_t run = 0;
        for (size_t i = 1; i < pulled.video.size(); ++i) {
            const int64_t step = pulled.video[i].timestampUs - pulled.video[i - 1].timestampUs;
            run = std::abs(step - 100000) <= 1 ? run + 1 : 0;
        }
        return run >= 10;
    };
    EXPECT_TRUE(pulled.waitFor(exactRun));
    EXPECT_TRUE(pulled.waitFor(exactVideo));
    source.stop();
}

TEST(RtspSourceFaults, CrowdedDocumentAcrossManyPacketsArrivesWhole) {
    ServerOptions options;
    options.documentBytes = 100 * 420;  // a hundred objects' worth, some thirty packets
    options.packetBytes = 1400;
    TestRtspServer server(options);
    Pulled pulled;
    RtspSource source(optionsFor(server), pulled.callbacks());
    source.start();
    ASSERT_TRUE(pulled.waitForDocuments(10));
    const uint64_t lostAtStart = source.counters().lostInTransport;
    ASSERT_TRUE(pulled.waitForDocuments(20));
    source.stop();
    for (const auto& d : pulled.documents)
        EXPECT_EQ(d.bytes.size(), options.documentBytes);
    pulled.numbers();
    EXPECT_EQ(source.counters().lostInTransport, lostAtStart);
}

TEST(RtspSourceFaults, DroppedPacketsDiscardExactlyTheDocumentsThatLostOne) {
    ServerOptions options;
    options.dropEvery = 7;  // 3 packets a document: the drop moves through every position
    TestRtspServer server(options);
    Pulled pulled;
    RtspSource source(optionsFor(server), pulled.callbacks());
    source.start();
    ASSERT_TRUE(pulled.waitForDocuments(30));
    source.stop();

    const auto numbers = pulled.numbers();
    const auto whole = server.sentWhole();
    const auto broken = server.sentBroken();
    std::set<int> received(numbers.begin(), numbers.end());
    for (int n = *received.begin(); n <= *received.rbegin(); ++n) {
        EXPECT_EQ(received.count(n), whole.count(n)) << "document " << n;
        EXPECT_FALSE(received.count(n) && broken.count(n)) << "document " << n;
    }
    EXPECT_GT(source.counters().lostInTransport, 0U);
}

TEST(RtspSourceFaults, OutOfOrderPacketsAreReorderedBeforeReassembly) {
    ServerOptions options;
    options.swapPairs = true;
    TestRtspServer server(options);
    Pulled pulled;
    RtspSource source(optionsFor(server), pulled.callbacks());
    source.start();
    // The session's very first pair may come before the jitter buffer has a place to sort it in.
    ASSERT_TRUE(pulled.waitForDocuments(1));
    const uint64_t lostAtStart = source.counters().lostInTransport;
    ASSERT_TRUE(pulled.waitForDocuments(20));
    source.stop();
    const auto numbers = pulled.numbers();
    for (size_t i = 1; i < numbers.size(); ++i)
        EXPECT_EQ(numbers[i], numbers[i - 1] + 1);
    EXPECT_EQ(source.counters().lostInTransport, lostAtStart);
}

TEST(RtspSourceFaults, TrackWithoutMarkersDeliversNothingAndHoldsNoMore) {
    ServerOptions options;
    options.marker = false;
    TestRtspServer server(options);
    Pulled pulled;
    RtspSource source(optionsFor(server), pulled.callbacks());
    source.start();
    // Each document's successor ends it unterminated; video flows all the while.
    ASSERT_TRUE(pulled.waitFor([&] { return pulled.video.size() >= 20; }));
    source.stop();
    EXPECT_TRUE(pulled.documents.empty());
    EXPECT_GT(source.counters().unterminated, 0U);
}

TEST(RtspSourceFaults, CameraCuttingClientsOffIsPlayedAgain) {
    TestRtspServer server({});
    Pulled pulled;
    RtspSource source(optionsFor(server), pulled.callbacks());
    source.start();
    ASSERT_TRUE(pulled.waitForDocuments(5));
    server.closeClients();
    ASSERT_TRUE(pulled.waitForState(SourceState::lost));
    ASSERT_TRUE(pulled.waitForState(SourceState::connected, 2));
    const size_t before = pulled.numbers().size();
    ASSERT_TRUE(pulled.waitForDocuments(before + 5));
    source.stop();
    EXPECT_GE(source.reconnects(), 1);
    EXPECT_FALSE(source.finished());
}

struct FinalCase {
    const char* name;
    ServerOptions server;
    std::string login, password;
    bool closedPort;
    SourceState expected;
};

void PrintTo(const FinalCase& c, std::ostream* os) {
    *os << c.name;
}

class RtspSourceEnds : public ::testing::TestWithParam<FinalCase> {};

TEST_P(RtspSourceEnds, WithOneFinalState) {
    const FinalCase& c = GetParam();
    TestRtspServer server(c.server);
    Pulled pulled;
    RtspSourceOptions options = optionsFor(server);
    options.login = c.login;
    options.password = c.password;
    if (c.closedPort)
        options.url = "rtsp://127.0.0.1:1/stream1";
    RtspSource source(options, pulled.callbacks());
    source.start();
    ASSERT_TRUE(pulled.waitFor([&] { return !pulled.states.empty(); }));
    source.stop();
    EXPECT_EQ(pulled.states, std::vector<SourceState>{c.expected});
    EXPECT_TRUE(source.finished());
}

ServerOptions withLogin() {
    ServerOptions o;
    o.login = "admin";
    o.password = "secret";
    return o;
}

ServerOptions videoOnly() {
    ServerOptions o;
    o.metadataTrack = false;
    return o;
}

INSTANTIATE_TEST_SUITE_P(
    Cameras, RtspSourceEnds,
    ::testing::Values(
        FinalCase{"WrongPassword", withLogin(), "admin", "wrong", false, SourceState::refusedLogin},
        FinalCase{"NoLogin", withLogin(), "", "", false, SourceState::refusedLogin},
        FinalCase{"ClosedPort", {}, "", "", true, SourceState::notAnswering},
        FinalCase{"VideoOnly", videoOnly(), "", "", false, SourceState::noMetadataTrack}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RtspSourceLogin, RightPasswordPlays) {
    TestRtspServer server(withLogin());
    Pulled pulled;
    RtspSourceOptions options = optionsFor(server);
    options.login = "admin";
    options.password = "secret";
    RtspSource source(options, pulled.callbacks());
    source.start();
    EXPECT_TRUE(pulled.waitForDocuments(3));
}

}  // namespace

namespace {

uint32_t pngField(const std::string& png, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i)
        v = (v << 8) | static_cast<uint8_t>(png[at + i]);
    return v;
}

TEST(LastPictureFromStream, LastPictureDecodesToPngOfTheStreamsSize) {
    TestRtspServer server({});
    lumo::host::live::LastPicture picture;
    std::atomic<int> units{0};
    lumo::host::live::RtspSourceCallbacks callbacks;
    callbacks.onVideo = [&](lumo::host::live::VideoAccessUnit&& unit) {
        picture.add(unit.bytes, unit.keyFrame);
        ++units;
    };
    RtspSource source(optionsFor(server), callbacks);
    source.start();
    for (int i = 0; i < 200 && units < 25; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    source.stop();
    std::string error;
    const auto png = picture.lastPicturePng(&error);
    ASSERT_TRUE(png) << error;
    ASSERT_GT(png->size(), 24U);
    EXPECT_EQ(png->substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(pngField(*png, 16), 320U);  // IHDR width and height
    EXPECT_EQ(pngField(*png, 20), 240U);
    EXPECT_EQ(lumo::host::live::pngDataUri("abc"), "data:image/png;base64,YWJj");
}

TEST(LastPictureFromStream, NothingWithoutAKeyFrame) {
    lumo::host::live::LastPicture picture;
    picture.add({0, 0, 0, 1, 0x41}, false);
    std::string error;
    EXPECT_FALSE(picture.lastPicturePng(&error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
