// ConsumingDeviceAgent: the base of the per-camera device agent. The server pushes data packets
// (video frames, custom metadata packets) into it and sends it settings; it answers through the
// server's device-agent handler with metadata packets, diagnostic events and manifests.
//
// The base does the bookkeeping: dispatch of incoming packets by kind, validation, logging,
// delivery of outgoing packets one at a time, settings storage. A derived class does the real
// work in the protected hooks. No exception thrown by a hook reaches the server: it becomes an
// error result and an ERROR line.
//
// Every line it writes starts with its print prefix, "[<library>_device_<device id>] ".
//
// Threading: server threads call the operations; a derived class may call pushMetadataPacket(),
// pushManifest() and pushPluginDiagnosticEvent() from any thread. m_mutex guards the handler and
// is held while a packet, event or manifest is delivered, so deliveries reach the server one at a
// time and never while the handler is being replaced; the handler must therefore not call back
// into these operations. m_settings has its own lock.
// doPushDataPacket() runs its hooks on the calling thread with no lock held.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "qo/sdk/analytics/helpers/settings_store.h"
#include "qo/sdk/analytics/i_compressed_video_packet.h"
#include "qo/sdk/analytics/i_consuming_device_agent.h"
#include "qo/sdk/analytics/i_custom_metadata_packet.h"
#include "qo/sdk/analytics/i_uncompressed_video_frame.h"
#include "qo/sdk/helpers/log_utils.h"
#include "qo/sdk/i_device_info.h"
#include "qo/sdk/ptr.h"
#include "qo/sdk/ref_countable.h"

namespace qo::sdk::analytics {

class ConsumingDeviceAgent : public RefCountable<IConsumingDeviceAgent> {
public:
    using Map = std::map<std::string, std::string>;

    ~ConsumingDeviceAgent() override;

    void doSetSettings(Result<const ISettingsResponse*>* outResult,
                       const IStringMap* settings) override;
    /** Leaves the result as passed unless overridden. */
    void getPluginSideSettings(Result<const ISettingsResponse*>* outResult) const override;
    void getManifest(Result<const IString*>* outResult) const override;
    void setHandler(IHandler* handler) override;
    void doPushDataPacket(Result<void>* outResult, IDataPacket* dataPacket) override;
    void finalize() override;
    /** Leaves the result as passed unless overridden. */
    void doGetSettingsOnActiveSettingChange(
        Result<const IActiveSettingChangedResponse*>* outResult,
        const IActiveSettingChangedAction* activeSettingChangedAction) override;

protected:
    /**
     * @param deviceInfo Its id names the print prefix; borrowed for the call.
     * @param printPrefix Put after the library name in the print prefix; empty for none.
     */
    ConsumingDeviceAgent(const IDeviceInfo* deviceInfo, bool enableOutput,
                         std::string printPrefix = "");

    /** The device-agent manifest (JSON text). */
    virtual std::string manifestString() const = 0;

    // The packet hooks return false on failure; the defaults accept and ignore the packet.
    virtual bool pushCompressedVideoFrame(const ICompressedVideoPacket* videoFrame);
    virtual bool pushUncompressedVideoFrame(const IUncompressedVideoFrame* videoFrame);
    virtual bool pushCustomMetadataPacket(const ICustomMetadataPacket* customMetadataPacket);

    /**
     * Called after every pushed data packet: appended packets, each with one reference, are
     * delivered and released. The default appends none.
     */
    virtual bool pullMetadataPackets(std::vector<IMetadataPacket*>* metadataPackets);

    /** Called after every settings update; the settings are then in currentSettings(). */
    virtual Result<const ISettingsResponse*> settingsReceived();

    /** Delivers the packet to the server and releases the reference handed over with it. */
    void pushMetadataPacket(IMetadataPacket* metadataPacket);

    /** Delivers and releases each packet, in order. */
    void processMetadataPackets(const std::vector<IMetadataPacket*>& metadataPackets);

    void pushManifest(const std::string& manifest);

    /** Delivers an event to the server's handler; dropped with a report when there is none. */
    void pushPluginDiagnosticEvent(IPluginDiagnosticEvent::Level level, std::string caption,
                                   std::string description);

    /** The stored value; a missing setting is reported and reads as the empty string. */
    std::string settingValue(const std::string& settingName) const;
    Map currentSettings() const;

    const LogUtils& log() const { return m_log; }

private:
    Result<void> pushDataPacket(IDataPacket* dataPacket);
    template <typename Hook>
    bool callHook(const char* caller, const char* hook, Hook&& call) const;
    void releasePackets(const std::vector<IMetadataPacket*>& metadataPackets) const;

    /** Needs m_mutex held. */
    void processMetadataPacket(IMetadataPacket* metadataPacket, int packetIndex);
    /** Needs m_mutex held. */
    void logMetadataPacketIfNeeded(const IMetadataPacket* metadataPacket, int packetIndex) const;

    void printLine(const std::string& text) const;
    void reportAssertion(const char* text) const;

    const LogUtils m_log;
    mutable std::mutex m_mutex;
    Ptr<IHandler> m_handler;                // Guarded by m_mutex.
    std::atomic<bool> m_hasHandler{false};  // Mirrors m_handler; written under m_mutex.
    SettingsStore m_settings{m_log};
};

}  // namespace qo::sdk::analytics
