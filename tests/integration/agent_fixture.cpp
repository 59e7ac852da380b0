#include "integration/agent_fixture.h"

#include <mutex>
#include <ostream>
#include <streambuf>
#include <thread>
#include <unordered_set>

#include "qo/kit/debug.h"
#include "qo/sdk/helpers/lib_context.h"
#include "qo/sdk/helpers/string_map.h"
#include "qo/sdk/i_ref_countable_registry.h"

namespace lumo_test {

using namespace std::chrono_literals;
using qo::sdk::ErrorCode;
using qo::sdk::makePtr;

namespace {

class Registry : public qo::sdk::IRefCountableRegistry {
public:
    void objectCreated(const qo::sdk::IRefCountable* object, int32_t /*refCount*/) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_live.insert(object);
    }
    void objectDestroyed(const qo::sdk::IRefCountable* object, int32_t /*refCount*/) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_live.erase(object);
    }
    size_t count() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_live.size();
    }

private:
    mutable std::mutex m_mutex;
    std::unordered_set<const void*> m_live;  // Guarded by m_mutex.
};

// Swallows the agent's verbose packet log; it keeps no state, so any thread may write at once.
class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char* /*s*/, std::streamsize n) override { return n; }
};

Registry* g_registry = nullptr;

}  // namespace

void LiveObjects::ensureInstalled() {
    static std::once_flag once;
    std::call_once(once, [] {
        static NullBuffer buffer;
        static std::ostream silent(&buffer);
        qo::kit::debug::stream() = &silent;
        // Settings writes keep a hold-off window open on a thread of their own; keep it short.
        qo::sdk::unitTestOptions()["writeHoldOffMs"] = "20";
        g_registry = new Registry();
        qo::sdk::libContext().setRefCountableRegistry(g_registry);  // The context owns it.
    });
}

size_t LiveObjects::count() {
    return g_registry ? g_registry->count() : 0;
}

bool LiveObjects::waitForCountAtMost(size_t count, std::chrono::milliseconds timeout) {
    return eventually([count] { return LiveObjects::count() <= count; }, timeout);
}

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
}

void AgentTest::SetUp() {
    LiveObjects::ensureInstalled();
    m_liveBefore = LiveObjects::count();
    m_handler = makePtr<RecordingHandler>();
    const auto deviceInfo = makePtr<FakeDeviceInfo>();
    m_agent = makeAgent(deviceInfo.get());
    ASSERT_TRUE(m_agent);
    m_agent->setHandler(m_handler.get());
}

void AgentTest::TearDown() {
    if (m_handler)
        m_handler->setGateOpen(true);
    m_agent.reset();
    m_handler.reset();
    EXPECT_TRUE(LiveObjects::waitForCountAtMost(m_liveBefore, 10s))
        << (LiveObjects::count() - m_liveBefore) << " objects left alive";
}

Ptr<DeviceAgent> AgentTest::makeAgent(const qo::sdk::IDeviceInfo* deviceInfo) {
    return makePtr<DeviceAgent>(deviceInfo);
}

ErrorCode AgentTest::push(const std::string& document, int64_t timestampUs) {
    const auto packet = makePtr<FakeMetadataPacket>(document, timestampUs);
    qo::sdk::Result<void> result;
    m_agent->doPushDataPacket(&result, packet.get());
    const ErrorCode code = result.error.errorCode;
    releaseResult(&result);
    return code;
}

ErrorCode AgentTest::pushVideo(int32_t width, int32_t height) {
    const auto packet = makePtr<FakeVideoPacket>(width, height);
    qo::sdk::Result<void> result;
    m_agent->doPushDataPacket(&result, packet.get());
    const ErrorCode code = result.error.errorCode;
    releaseResult(&result);
    return code;
}

bool AgentTest::waitUntilReady() {
    return eventually([this] { return m_agent->isReady(); });
}

Delivery AgentTest::feed(const std::string& document, int64_t timestampUs) {
    EXPECT_EQ(ErrorCode::noError, push(document, timestampUs));
    EXPECT_TRUE(waitUntilReady()) << "the document is still in work";
    EXPECT_EQ(0, m_handler->overlaps()) << "deliveries overlapped";
    return readDelivery(m_handler->takePackets());
}

ErrorCode AgentTest::setSettings(const std::map<std::string, std::string>& values) {
    const auto map = makePtr<qo::sdk::StringMap>(values);
    qo::sdk::Result<const qo::sdk::ISettingsResponse*> result;
    m_agent->doSetSettings(&result, map.get());
    const ErrorCode code = result.error.errorCode;
    releaseResult(&result);
    return code;
}

}  // namespace lumo_test
