// Stand-ins for the media server's side of the boundary (handlers, device and engine information,
// data packets, actions) and a fixture that captures the library's log lines.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "qo/kit/debug.h"
#include "qo/sdk/analytics/i_compressed_video_packet.h"
#include "qo/sdk/analytics/i_custom_metadata_packet.h"
#include "qo/sdk/analytics/i_device_agent.h"
#include "qo/sdk/analytics/i_engine.h"
#include "qo/sdk/analytics/i_uncompressed_video_frame.h"
#include "qo/sdk/helpers/lib_context.h"
#include "qo/sdk/helpers/string_map.h"
#include "qo/sdk/ptr.h"
#include "qo/sdk/ref_countable.h"

namespace qo::sdk::analytics::test {

/** Redirects the library's output stream for the duration of a test. */
class LogCapture : public ::testing::Test {
protected:
    void SetUp() override { kit::debug::stream() = &m_output; }
    void TearDown() override { kit::debug::stream() = m_savedStream; }

    std::vector<std::string> lines() const {
        std::vector<std::string> result;
        std::istringstream input(m_output.str());
        for (std::string line; std::getline(input, line);)
            result.push_back(line);
        return result;
    }
    void clearLog() { m_output.str(""); }

    static std::string lib() { return libContext().name(); }

private:
    std::ostringstream m_output;
    std::ostream* const m_savedStream = kit::debug::stream();
};

class FakeDeviceAgentHandler : public RefCountable<IDeviceAgent::IHandler> {
public:
    void handleMetadataPacket(IMetadataPacket* packet) override {
        // Deliveries must never overlap: the agent serialises them.
        EXPECT_FALSE(m_busy.exchange(true));
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
    std::vector<std::string> manifests;
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

class FakeDeviceInfo : public RefCountable<IDeviceInfo> {
public:
    explicit FakeDeviceInfo(std::string id) : m_id(std::move(id)) {}
    const char* id() const override { return m_id.c_str(); }
    const char* vendor() const override { return "Lumovane"; }
    const char* model() const override { return "LUMO"; }
    const char* firmware() const override { return "1.0"; }
    const char* name() const override { return "cam"; }
    const char* url() const override { return "http://10.0.0.1"; }
    const char* login() const override { return "admin"; }
    const char* password() const override { return "secret"; }
    const char* sharedId() const override { return "s"; }
    const char* logicalId() const override { return "l"; }
    int32_t channelNumber() const override { return 0; }

private:
    std::string m_id;
};

class FakeEngineInfo : public RefCountable<IEngineInfo> {
public:
    const char* id() const override { return "e1"; }
};

class FakeDataPacket : public RefCountable<IDataPacket> {
public:
    explicit FakeDataPacket(int64_t timestampUs = 1) : m_timestampUs(timestampUs) {}
    int64_t timestampUs() const override { return m_timestampUs; }

private:
    int64_t m_timestampUs;
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

/** A metadata packet of a kind the library does not know. */
class FakeMetadataPacket : public RefCountable<IMetadataPacket> {
public:
    int64_t timestampUs() const override { return 5; }
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

/** The current reference count of any boundary object. */
inline int32_t refCountOf(const IRefCountable* object) {
    const int32_t count = object->addRef() - 1;
    object->releaseRef();
    return count;
}

/** The text of an error's message; releases the message. */
inline std::string messageOf(const Error& error) {
    return error.errorMessage ? toPtr(error.errorMessage)->str() : "";
}

/** The object seen under the id built at run time, with one reference added; null if none. */
inline Ptr<IRefCountable> queryById(IRefCountable* object, const std::string& id) {
    const std::string copy(id.begin(), id.end());  // Never the address of a literal.
    return toPtr(object->queryInterface(interfaceIdFromText(copy.c_str())));
}

/** Expects the object to answer each id as itself, and not to answer any of the others. */
inline void expectInterfaces(IRefCountable* object, const std::vector<std::string>& answered,
                             const std::vector<std::string>& refused) {
    for (const std::string& id : answered) {
        SCOPED_TRACE(id);
        const int32_t before = refCountOf(object);
        const auto found = queryById(object, id);
        EXPECT_EQ(found.get(), object);
        EXPECT_EQ(refCountOf(object), before + 1);
    }
    for (const std::string& id : refused) {
        SCOPED_TRACE(id);
        EXPECT_EQ(queryById(object, id), nullptr);
    }
}

}  // namespace qo::sdk::analytics::test
