// A device agent bound to a recording handler, the way the server holds one, and the process-wide
// bookkeeping of the integration tests: a registry of live reference-counted objects (so every
// test fails that leaves a packet, an agent or a handler alive) and a silent log.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <type_traits>

#include "integration/fake_host.h"
#include "integration/onvif_document.h"
#include "lumo/device_agent.h"
#include "qo/sdk/result.h"

namespace lumo_test {

using qo::vms_server_plugins::analytics::lumo::DeviceAgent;

/** Live reference-counted objects of this process, as the library context reports them. */
class LiveObjects {
public:
    /** Installs the registry (once per process) and silences the library's log. */
    static void ensureInstalled();
    static size_t count();
    /** Polls until at most `count` objects live. @return Whether that happened in time. */
    static bool waitForCountAtMost(size_t count, std::chrono::milliseconds timeout);
};

/** Polls `condition` with short sleeps until it holds or the time is up. */
bool eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds timeout = std::chrono::seconds(10));

/** Releases what a Result carries for its receiver. */
template <typename Value>
void releaseResult(qo::sdk::Result<Value>* result) {
    if (result->error.errorMessage)
        result->error.errorMessage->releaseRef();
    result->error.errorMessage = nullptr;
    if constexpr (!std::is_void_v<Value>) {
        if (result->value)
            result->value->releaseRef();
        result->value = nullptr;
    }
}

inline constexpr int64_t kT0 = 1'000'000;

class AgentTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /** The agent under test; a fixture may hand out a subclass. */
    virtual Ptr<DeviceAgent> makeAgent(const qo::sdk::IDeviceInfo* deviceInfo);

    DeviceAgent& agent() { return *m_agent; }
    RecordingHandler& handler() { return *m_handler; }

    /** The server's call; returns the error code of its result. */
    qo::sdk::ErrorCode push(const std::string& document, int64_t timestampUs = kT0);
    qo::sdk::ErrorCode pushVideo(int32_t width, int32_t height);
    bool waitUntilReady();

    /** Pushes one document, waits until the agent is done with it and returns what it sent. */
    Delivery feed(const std::string& document, int64_t timestampUs = kT0);
    Delivery feed(const OnvifDocument& document, int64_t timestampUs = kT0) {
        return feed(document.str(), timestampUs);
    }

    /** doSetSettings with these values; the response is dropped. */
    qo::sdk::ErrorCode setSettings(const std::map<std::string, std::string>& values);

    /** Releases the server's reference to the agent (its destructor runs when it was the last). */
    void releaseAgent() { m_agent.reset(); }
    bool hasAgent() const { return static_cast<bool>(m_agent); }

private:
    size_t m_liveBefore = 0;
    Ptr<RecordingHandler> m_handler;
    Ptr<DeviceAgent> m_agent;
};

}  // namespace lumo_test
