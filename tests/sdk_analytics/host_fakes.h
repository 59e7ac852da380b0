// Stand-ins for the server's side of the boundary and a fixture capturing the library's lines.
// The device-agent handler may be called from several threads; it fails on overlapping calls.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "qo/sdk/analytics/i_custom_metadata_packet.h"
#include "qo/sdk/analytics/i_device_agent.h"
#include "qo/sdk/analytics/i_engine.h"
#include "qo/sdk/helpers/string_map.h"
#include "support/object_model.h"

namespace qo::sdk::analytics::test {

using namespace qo::sdk::test;
using Lines = std::vector<std::string>;

class LogCapture : public ::testing::Test {
protected:
    static std::string lib() { return libContext().name(); }

    /** The lines, each without `prefix`; a line lacking it stays whole, so it shows. */
    Lines lines(const std::string& prefix) const {
        Lines result = output.lines();
        for (std::string& line : result) {
            if (line.rfind(prefix, 0) == 0)
                line.erase(0, prefix.size());
        }
        return result;
    }

    CapturedOutput output;
};

template <class Handler>
class FakeHandler : public RefCountable<Handler> {
public:
    void handleDiagnosticEvent(IPluginDiagnosticEvent* event) override {
        events.push_back(shareToPtr(event));
    }
    std::vector<Ptr<IPluginDiagnosticEvent>> events;
};
using FakeEngineHandler = FakeHandler<IEngine0::IHandler>;

class FakeDeviceAgentHandler : public FakeHandler<IDeviceAgent::IHandler> {
public:
    void handleMetadataPacket(IMetadataPacket* packet) override {
        EXPECT_FALSE(m_busy.exchange(true)) << "overlapping deliveries";
        packets.push_back(shareToPtr(packet));
        std::this_thread::yield();  // Widens the window in which an overlap would show.
        m_busy = false;
        if (throwOnPacket)
            throw std::runtime_error("handler failed");
    }
    void handleManifest(const IString* manifest) override { manifests.push_back(manifest->str()); }

    std::vector<Ptr<IMetadataPacket>> packets;
    Lines manifests;
    bool throwOnPacket = false;

private:
    std::atomic<bool> m_busy{false};
};

class FakeCustomMetadataPacket : public RefCountable<ICustomMetadataPacket> {
public:
    int64_t timestampUs() const override { return 1; }
    const char* codec() const override { return "application/vnd.onvif.metadata"; }
    const char* data() const override { return "<xml/>"; }
    int32_t dataSize() const override { return 6; }
};

/** A packet of a kind the library does not know. */
class FakeMetadataPacket : public RefCountable<IMetadataPacket> {
public:
    explicit FakeMetadataPacket(int64_t timestampUs = 5) : m_timestampUs(timestampUs) {}
    int64_t timestampUs() const override { return m_timestampUs; }

private:
    int64_t m_timestampUs;
};

/** "ok", or "code: message" of the failure; releases the message. */
template <class T>
std::string outcome(Result<T>& result) {
    if (result.isOk())
        return "ok";
    const std::string message =
        result.error.errorMessage ? toPtr(result.error.errorMessage)->str() : "";
    return toString(result.error.errorCode) + ": " + message;
}

}  // namespace qo::sdk::analytics::test
