// Stand-ins for the media server's side of the boundary (handlers, engine information, data
// packets, actions) and a fixture that captures the library's log lines.
//
// Threading: the device-agent handler may be called from several threads (it checks that calls
// never overlap); everything else belongs to the test's thread.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "qo/sdk/analytics/i_compressed_video_packet.h"
#include "qo/sdk/analytics/i_custom_metadata_packet.h"
#include "qo/sdk/analytics/i_device_agent.h"
#include "qo/sdk/analytics/i_engine.h"
#include "qo/sdk/analytics/i_uncompressed_video_frame.h"
#include "qo/sdk/helpers/lib_context.h"
#include "qo/sdk/helpers/string_map.h"
#include "sdk/boundary_checks.h"
#include "sdk/captured_output.h"
#include "sdk/fake_device_info.h"

namespace qo::sdk::analytics::test {

using namespace qo::sdk::test;
using Lines = std::vector<std::string>;

class LogCapture : public ::testing::Test {
protected:
    static std::string lib() { return libContext().name(); }

    /** The lines written, each without `prefix`; a line that lacks it stays whole, so it shows. */
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

class FakeDeviceAgentHandler : public RefCountable<IDeviceAgent::IHandler> {
public:
    void handleMetadataPacket(IMetadataPacket* packet) override {
        EXPECT_FALSE(m_busy.exchange(true)) << "overlapping deliveries";
        packets.push_back(shareToPtr(packet));
        std::this_thread::yield();  // Widens the window in which an overlap would show.
        m_busy = false;
        if (throwOnPacket)
            throw std::runtime_error("handler failed");
    }
    void handleDiagnosticEvent(IPluginDiagnosticEvent* event) override {
        events.push_back(shareToPtr(event));
    }
    void handleManifest(const IString* manifest) override { manifests.push_back(manifest->str()); }

    std::vector<Ptr<IMetadataPacket>> packets;
    std::vector<Ptr<IPluginDiagnosticEvent>> events;
    Lines manifests;
    bool throwOnPacket = false;

private:
    std::atomic<bool> m_busy{false};
};

class FakeEngineHandler : public RefCountable<IEngine0::IHandler> {
public:
    void handleDiagnosticEvent(IPluginDiagnosticEvent* event) override {
        events.push_back(shareToPtr(event));
    }
    std::vector<Ptr<IPluginDiagnosticEvent>> events;
};

class FakeEngineInfo : public RefCountable<IEngineInfo> {
public:
    const char* id() const override { return "e1"; }
};

class FakeCompressedVideoPacket : public RefCountable<ICompressedVideoPacket> {
public:
    int64_t timestampUs() const override { return 1; }
    const char* codec() const override { return "h264"; }
    const char* data() const override { return ""; }
    int32_t dataSize() const override { return 0; }
    const IRefCountable* context() const override { return nullptr; }
    int32_t flags() const override { return 0; }
    int32_t width() const override { return 1920; }
    int32_t height() const override { return 1080; }
};

class FakeUncompressedVideoFrame : public RefCountable<IUncompressedVideoFrame> {
public:
    int64_t timestampUs() const override { return 1; }
    int32_t width() const override { return 640; }
    int32_t height() const override { return 480; }
};

class FakeCustomMetadataPacket : public RefCountable<ICustomMetadataPacket> {
public:
    int64_t timestampUs() const override { return 1; }
    const char* codec() const override { return "application/vnd.onvif.metadata"; }
    const char* data() const override { return "<xml/>"; }
    int32_t dataSize() const override { return 6; }
};

/** A packet of a kind the library does not know, as data or as metadata. */
class FakeMetadataPacket : public RefCountable<IMetadataPacket> {
public:
    explicit FakeMetadataPacket(int64_t timestampUs = 5) : m_timestampUs(timestampUs) {}
    int64_t timestampUs() const override { return m_timestampUs; }

private:
    int64_t m_timestampUs;
};

class FakeObjectTrackInfo : public RefCountable<IObjectTrackInfo> {};

class FakeAction : public RefCountable<IAction> {
public:
    const char* actionId() const override { return "qo.lumo.act"; }
    void getObjectTrackId(Uuid* outValue) const override { outValue->bytes.fill(0xAB); }
    void getDeviceId(Uuid* outValue) const override { outValue->bytes.fill(0x01); }
    const IObjectTrackInfo* objectTrackInfo() const override {
        return shareToPtr(trackInfo.get()).releasePtr();
    }
    int64_t timestampUs() const override { return 123; }
    const IStringMap* params() const override { return shareToPtr(paramMap.get()).releasePtr(); }

    Ptr<FakeObjectTrackInfo> trackInfo = makePtr<FakeObjectTrackInfo>();
    Ptr<StringMap> paramMap = makePtr<StringMap>(StringMap::Map{{"k", "v"}});
};

/** The text of an error's message; releases the message. */
inline std::string messageOf(const Error& error) {
    return error.errorMessage ? toPtr(error.errorMessage)->str() : "";
}

}  // namespace qo::sdk::analytics::test
