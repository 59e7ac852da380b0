// DeviceAgent: the per-camera object of the integration. It turns the camera's ONVIF metadata
// documents into object, best-shot and event packets with stable track ids (ingest, objects,
// events), writes the settings the user changes to the camera and reads the camera's settings
// back into the server's dialog (settings push, readback, positions). Each duty lives in its own
// source file: device_agent_<duty>.cpp.
//
// Threading contract:
// - The server calls every operation on threads of its own, possibly several at once.
// - Metadata work runs on `threadPool` (two workers, whatever the machine), one task per
//   document; at most one document is in work (`ready`). Members used only by that work (tracking
//   tables, coordinate frame, packet arrays) need no lock: one document at a time, and `ready`
//   orders successive documents.
// - Settings writes run on detached threads, each holding a reference to the agent so the agent
//   outlives them; readbacks run threads that are joined before the call returns.
// - A write the camera refuses or never answers becomes a warning diagnostic event, delivered by
//   the base class from the write's thread; `lastWriteFailureReportNs` spaces them out.
// - Flags and numbers shared between those threads are atomics; `knownSettings` is guarded by
//   `knownSettingsMutex`, `eventedObjects` by `eventedObjectsMutex`.
//
// Errors: no exception leaves a call of the server or a thread of the agent. Numbers in texts from
// the server or the camera are read by the readers of settings_numbers.h, which answer a text that
// holds no number with an empty result; nothing relies on a conversion throwing. What can still
// throw (allocation, the geometry's refusal of a malformed camera reply) is caught where the work
// of one setting, write or document ends, and costs that one only.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <limits>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "lumo/metadata.h"
#include "lumo/setting_name.h"
#include "lumo/thread_pool.h"
#include "qo/sdk/analytics/helpers/consuming_device_agent.h"
#include "qo/sdk/analytics/helpers/event_metadata_packet.h"
#include "qo/sdk/analytics/helpers/object_metadata_packet.h"
#include "qo/sdk/analytics/helpers/object_track_best_shot_packet.h"
#include "qo/sdk/analytics/i_compressed_video_packet.h"
#include "qo/sdk/analytics/i_custom_metadata_packet.h"
#include "qo/sdk/helpers/settings_response.h"
#include "qo/sdk/i_device_info.h"
#include "qo/sdk/uuid.h"

namespace qo::vms_server_plugins::analytics::lumo {

/** The object type id of a camera vehicle type; unknown types count as cars. */
std::string toVehicleTypeId(const std::string& vehicleType);

/** The event type id of a region event's action; unknown actions get kEventTypeUnknown. */
std::string toEventTypeId(const std::string& action);

/** The server's string map as a standard map; null gives an empty map. */
std::map<std::string, std::string> toStdMap(const qo::sdk::Ptr<const qo::sdk::IStringMap>& map);

/** A camera box (left, top, right, bottom in the camera's units) as fractions of its frame. */
void scaleBBox(qo::sdk::analytics::Rect& rect, float width, float height, float left, float top,
               float right, float bottom);

/**
 * The hardware threads the agents size their pools against: the unit-test option
 * "hardwareConcurrency" when it holds a whole number, else the machine's count (0: unknown).
 */
unsigned int hardwareConcurrency();

class Readback;
struct FigureReading;

class DeviceAgent : public qo::sdk::analytics::ConsumingDeviceAgent {
public:
    using Clock = std::chrono::steady_clock;
    using SettingsMap = std::map<std::string, std::string>;
    using SettingsResult = qo::sdk::Result<const qo::sdk::ISettingsResponse*>;

    struct EventedObject {
        int32_t objectId = 0;
        Clock::time_point lastEventTime;
    };

    struct SmartShotObject {
        int32_t objectId = 0;
        int64_t firstSeenTimestampUs = 0;
        Clock::time_point recordTime;
    };

    explicit DeviceAgent(const qo::sdk::IDeviceInfo* deviceInfo);
    ~DeviceAgent() override;

    // ---- Ingest (device_agent_ingest.cpp).

    /** Runs on the pool; takes ownership of the payload. */
    void processMetadata(Metadata::_Payload* payload, int64_t timestampUs);

    // ---- Objects (device_agent_objects.cpp).

    // Virtual so that a conversion failure can be staged; the ingest must survive one.
    virtual void pushObject(const Metadata::_Payload* payload, int64_t timestampUs);
    qo::sdk::Uuid getUuid(int32_t objectId);
    void removeOldEventedObj();
    void removeOldSmartShotObj();
    void addOrUpdateEventedObj(int32_t objectId);
    bool isEventedObjExists(int32_t objectId);
    bool isSmartShotObjExists(int32_t objectId) const;
    void addSmartShotObj(int32_t objectId, int64_t timestampUs);

    // ---- Events (device_agent_events.cpp).

    virtual void pushEvent(const Metadata::_Payload* payload, int64_t timestampUs);

    // ---- Settings push (device_agent_settings_push.cpp).

    /** Writes one changed setting to the camera; runs on a detached thread of its own. */
    void sendSettings(std::string name, std::string value);
    /** Opens the write hold-off window; runs on a detached thread of its own. */
    void changeValueAfterDelay(int32_t seconds);
    // The conversions of one setting's value into the camera's form, in this order.
    void handleDisplayTypeSettings(const SettingName& setting, std::string& value);
    void handleRegionTypeSettings(const SettingName& setting, std::string& value);
    void handleBooleanAndSpeedUnits(const SettingName& setting, std::string& value);
    void handleLineCountResetAll(std::string& reply);
    void settingCalibration(std::string value);
    void settingHighlight(std::string value);

    // ---- Positions and object size (device_agent_positions.cpp).

    void handlePositionSettings(const SettingName& setting, std::string value, std::string& reply);
    void handleObjectDetectionSize(const std::string& name, std::string value, std::string& reply);

    // ---- Readback (device_agent_readback.cpp).

    /** Full readback of every current setting from the camera. */
    void receiveSettings(SettingsResult* outResult) const;
    /** Readback of the region, exclude-region and line figures only. */
    void getCurrentRoI(SettingsResult* outResult) const;

    // ---- State for the host's diagnostics and the tests.

    bool isReady() const { return ready.load(); }
    size_t poolWorkers() const { return threadPool.workerCount(); }
    int32_t timestampOffset() const { return timestampOffsetUs.load(); }
    int32_t highlightDuration() const { return highlightDurationS.load(); }
    void setHighlightDuration(int32_t seconds) { highlightDurationS = seconds; }
    void setTimestampOffset(int32_t offsetUs) { timestampOffsetUs = offsetUs; }
    void setDisplaySwitches(bool person, bool bicycle, bool car);
    bool isPersonShown() const { return showPerson.load() != 0; }
    bool isBicycleShown() const { return showBicycle.load() != 0; }
    bool isCarShown() const { return showCar.load() != 0; }
    bool isSettingsRefreshNeeded() const { return settingsRefreshNeeded.load(); }
    bool isSettingsWriteHold() const { return settingsWriteHold.load(); }
    void setSettingsWriteHold(bool hold) { settingsWriteHold = hold; }
    int32_t currentFrameWidth() const { return frameWidth.load(); }
    int32_t currentFrameHeight() const { return frameHeight.load(); }
    const std::string& cameraAddress() const { return cameraIp; }
    qo::sdk::Uuid lastEventTrackId() const { return eventTrackId; }
    float coordinateScaleX() const { return coordScaleX; }
    float coordinateScaleY() const { return coordScaleY; }
    SettingsMap knownSettingsCopy() const;
    size_t eventedObjectCount();
    size_t smartShotObjectCount() const { return smartShotObjects.size(); }

protected:
    /** The steady clock by which tracking records age; virtual so that tests can advance it. */
    virtual Clock::time_point now() const { return Clock::now(); }

    void getPluginSideSettings(SettingsResult* outResult) const override;
    void doGetSettingsOnActiveSettingChange(
        qo::sdk::Result<const qo::sdk::analytics::IActiveSettingChangedResponse*>* outResult,
        const qo::sdk::analytics::IActiveSettingChangedAction* action) override;
    SettingsResult settingsReceived() override;
    void doSetNeededMetadataTypes(
        qo::sdk::Result<void>* outResult,
        const qo::sdk::analytics::IMetadataTypes* neededMetadataTypes) override;
    std::string manifestString() const override;
    bool pushCompressedVideoFrame(
        const qo::sdk::analytics::ICompressedVideoPacket* videoPacket) override;
    bool pushCustomMetadataPacket(
        const qo::sdk::analytics::ICustomMetadataPacket* customMetadataPacket) override;

private:
    static const FigureReading kFullReadback;
    static const FigureReading kFigureReadback;

    /** The plugin's own display switch of an object class; null for none. */
    std::atomic<int32_t>* displaySwitch(ShownClass shownClass) const;
    void showClass(ShownClass shownClass, bool shown) const;

    void deliverPackets();
    /** One camera request with the agent's address and credentials; the reply is appended. */
    bool cameraRequest(const std::string& query, std::string& reply) const;
    /** cameraRequest for a write of `setting`; a write the camera does not take is reported. */
    bool cameraWrite(const std::string& setting, const std::string& query, std::string& reply);
    /** A warning event naming the setting and the cause, at most one per report interval. */
    void reportWriteFailure(const std::string& setting, const std::string& cause);
    /** Runs f on a detached thread that keeps the agent alive until it ends. */
    template <typename F>
    void runDetached(F f);
    /** cameraRequest, or false once the readback's watchdog has given the camera up. */
    bool readbackRequest(Readback& readback, const std::string& query, std::string& reply) const;
    /**
     * Records a value read from the camera in knownSettings and, given a readback, in its
     * response. The only writer of both: the readback's mutex is taken before knownSettingsMutex.
     */
    void recordSetting(const std::string& name, const std::string& value, Readback* readback) const;
    void readbackSetting(const std::string& name, const std::string& value,
                         Readback& readback) const;
    // The readers below return false for a camera value that does not convert.
    bool readbackValue(const SettingName& setting, const std::string& value,
                       Readback& readback) const;
    bool readbackObjectSize(const std::string& name, const std::string& value,
                            Readback& readback) const;
    /** One figure slot from the reply to its current position, as `how` reads it. */
    bool readbackFigure(const SettingName& setting, std::string reply, const FigureReading& how,
                        Readback& readback) const;

    // Track identity given to events; replaced for every event. Written by the event task only.
    qo::sdk::Uuid eventTrackId;

    std::unordered_map<int32_t, EventedObject> eventedObjects;  // Guarded by eventedObjectsMutex.
    std::mutex eventedObjectsMutex;

    std::unordered_map<int32_t, SmartShotObject> smartShotObjects;  // Object task only.

    mutable SettingsMap knownSettings;  // Guarded by knownSettingsMutex.
    mutable std::mutex knownSettingsMutex;

    // Values before the first settings arrive are the settings model's defaults.
    mutable std::atomic<int32_t> timestampOffsetUs{0};
    mutable std::atomic<int32_t> highlightDurationS{5};
    std::atomic<int32_t> frameWidth{3840};
    std::atomic<int32_t> frameHeight{2160};
    float coordScaleX = 0.0F;  // Object task only; 0 until a usable "tt:Scale" arrives.
    float coordScaleY = 0.0F;
    mutable std::atomic<int32_t> showPerson{1};
    mutable std::atomic<int32_t> showBicycle{1};
    mutable std::atomic<int32_t> showCar{1};
    mutable std::atomic<bool> settingsRefreshNeeded{false};
    std::atomic<bool> settingsInitialized{false};
    mutable std::atomic<bool> settingsWriteHold{false};
    // Steady-clock time (ns) of the last write failure reported; min() for none yet.
    std::atomic<int64_t> lastWriteFailureReportNs{std::numeric_limits<int64_t>::min()};

    std::map<int32_t, qo::sdk::Uuid> trackIds;  // Object task only.
    std::deque<int32_t> trackIdOrder;           // Object task only.

    // Packets of the document in work. Object task: the first two; event task: the third.
    std::vector<qo::sdk::Ptr<qo::sdk::analytics::ObjectMetadataPacket>> objectPackets;
    std::vector<qo::sdk::Ptr<qo::sdk::analytics::ObjectTrackBestShotPacket>> bestShotPackets;
    std::vector<qo::sdk::Ptr<qo::sdk::analytics::EventMetadataPacket>> eventPackets;

    const std::string cameraIp;
    const std::string cameraLogin;
    const std::string cameraPassword;

    std::atomic<bool> ready{true};  // No document in work.

    // Last member, so destroyed first: queued documents finish before anything else goes away.
    ThreadPool threadPool;
};

}  // namespace qo::vms_server_plugins::analytics::lumo
