#include "qo/sdk/analytics/helpers/consuming_device_agent.h"

#include <exception>
#include <sstream>
#include <utility>

#include "qo/kit/debug.h"
#include "qo/sdk/analytics/i_event_metadata_packet.h"
#include "qo/sdk/analytics/i_object_metadata_packet.h"
#include "qo/sdk/analytics/i_object_track_best_shot_packet.h"
#include "qo/sdk/helpers/error.h"
#include "qo/sdk/helpers/lib_context.h"
#include "qo/sdk/helpers/plugin_diagnostic_event.h"
#include "qo/sdk/helpers/string.h"

namespace qo::sdk::analytics {

namespace {

std::string textOrEmpty(const char* text) {
    return text ? text : "";
}

std::string makePrintPrefix(const std::string& overridePrintPrefix, const IDeviceInfo* deviceInfo) {
    std::string prefix = "[" + libContext().name();
    if (!overridePrintPrefix.empty())
        prefix += "_" + overridePrintPrefix;
    prefix += "_device";
    if (deviceInfo)
        prefix += "_" + textOrEmpty(deviceInfo->id());
    return prefix + "] ";
}

std::string addressText(const void* address) {
    std::ostringstream text;
    text << address;
    return text.str();
}

std::string packetIndexName(int packetIndex) {
    return packetIndex == -1 ? "" : " #" + std::to_string(packetIndex);
}

}  // namespace

template <typename Hook>
bool ConsumingDeviceAgent::callHook(const char* caller, const char* hook, Hook&& call) const {
    try {
        return call();
    } catch (const std::exception& e) {
        printLine(std::string(caller) + "(): ERROR: " + hook +
                  "() threw an exception: " + e.what());
    } catch (...) {
        printLine(std::string(caller) + "(): ERROR: " + hook + "() threw an unknown exception");
    }
    return false;
}

ConsumingDeviceAgent::ConsumingDeviceAgent(const IDeviceInfo* deviceInfo, bool enableOutput,
                                           std::string printPrefix)
    : m_log(enableOutput, makePrintPrefix(printPrefix, deviceInfo)) {
    QO_ASSERT_PRINT([this](const char* text) { reportAssertion(text); }, deviceInfo, "");
    printLine("Created " + addressText(this));
}

ConsumingDeviceAgent::~ConsumingDeviceAgent() {
    printLine("Destroyed " + addressText(this));
    m_handler.reset();
}

void ConsumingDeviceAgent::doSetSettings(Result<const ISettingsResponse*>* outResult,
                                         const IStringMap* settings) {
    if (!outResult)
        return;
    if (!m_settings.merge(settings)) {
        *outResult = error(ErrorCode::invalidParams, "Settings are invalid");
        return;
    }
    Result<const ISettingsResponse*> result;
    if (!callHook("doSetSettings", "settingsReceived", [&] {
            result = settingsReceived();
            return true;
        })) {
        result = error(ErrorCode::otherError, "settingsReceived() failed.");
    }
    *outResult = result;
}

void ConsumingDeviceAgent::getPluginSideSettings(
    Result<const ISettingsResponse*>* /*outResult*/) const {}

void ConsumingDeviceAgent::getManifest(Result<const IString*>* outResult) const {
    if (!outResult)
        return;
    std::string manifest;
    if (!callHook("getManifest", "manifestString", [&] {
            manifest = manifestString();
            return true;
        })) {
        *outResult = error(ErrorCode::otherError, "manifestString() failed.");
        return;
    }
    *outResult = new String(std::move(manifest));
}

void ConsumingDeviceAgent::setHandler(IHandler* handler) {
    Ptr<IHandler> previous = shareToPtr(handler);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::swap(previous, m_handler);
        m_hasHandler = static_cast<bool>(m_handler);
    }
    // The previous handler is released here, outside the lock: releasing calls into the server.
}

void ConsumingDeviceAgent::doPushDataPacket(Result<void>* outResult, IDataPacket* dataPacket) {
    Result<void> result;
    try {
        result = pushDataPacket(dataPacket);
    } catch (const std::exception& e) {
        // Only the base's own work is left unguarded here (memory, logging).
        printLine(std::string("doPushDataPacket(): ERROR: ") + e.what());
        result = Result<void>(Error(ErrorCode::otherError, nullptr));
    } catch (...) {
        printLine("doPushDataPacket(): ERROR: unknown exception");
        result = Result<void>(Error(ErrorCode::otherError, nullptr));
    }
    if (outResult) {
        *outResult = result;
    } else if (result.error.errorMessage) {
        result.error.errorMessage->releaseRef();
    }
}

Result<void> ConsumingDeviceAgent::pushDataPacket(IDataPacket* dataPacket) {
    const bool verbose = m_log.enableOutput();
    if (verbose)
        printLine("doPushDataPacket() BEGIN");

    const auto fail = [&](ErrorCode errorCode, const std::string& message) {
        printLine(std::string("doPushDataPacket() ") + (verbose ? "END " : "") + "-> " +
                  toString(errorCode) + ": " + message);
        return Result<void>(error(errorCode, message));
    };

    if (!dataPacket)
        return fail(ErrorCode::invalidParams, "dataPacket is null; discarding it.");

    const int64_t timestampUs = dataPacket->timestampUs();
    if (timestampUs < 0) {
        return fail(ErrorCode::invalidParams, "dataPacket has invalid timestamp " +
                                                  std::to_string(timestampUs) +
                                                  "; discarding the packet.");
    }

    if (const auto videoFrame = queryInterfacePtr<ICompressedVideoPacket>(dataPacket)) {
        if (!callHook("doPushDataPacket", "pushCompressedVideoFrame",
                      [&] { return pushCompressedVideoFrame(videoFrame.get()); })) {
            return fail(ErrorCode::otherError, "pushCompressedVideoFrame() failed.");
        }
    } else if (const auto frame = queryInterfacePtr<IUncompressedVideoFrame>(dataPacket)) {
        if (!callHook("doPushDataPacket", "pushUncompressedVideoFrame",
                      [&] { return pushUncompressedVideoFrame(frame.get()); })) {
            return fail(ErrorCode::otherError, "pushUncompressedVideoFrame() failed.");
        }
    } else if (const auto metadata = queryInterfacePtr<ICustomMetadataPacket>(dataPacket)) {
        if (!callHook("doPushDataPacket", "pushCustomMetadataPacket",
                      [&] { return pushCustomMetadataPacket(metadata.get()); })) {
            return fail(ErrorCode::otherError, "pushCustomMetadataPacket() failed.");
        }
    } else {
        return fail(ErrorCode::invalidParams, "Unsupported frame supplied; ignored.");
    }

    // Read without m_mutex: a push must not wait for a delivery in progress on a worker.
    if (!m_hasHandler.load())
        return fail(ErrorCode::internalError, "setHandler() was not called.");

    std::vector<IMetadataPacket*> metadataPackets;
    if (!callHook("doPushDataPacket", "pullMetadataPackets",
                  [&] { return pullMetadataPackets(&metadataPackets); })) {
        // Whatever was handed over before the failure is ours to release.
        releasePackets(metadataPackets);
        return fail(ErrorCode::otherError, "pullMetadataPackets() failed.");
    }
    processMetadataPackets(metadataPackets);

    if (verbose)
        printLine("doPushDataPacket() END");
    return {};
}

void ConsumingDeviceAgent::finalize() {
    if (m_log.enableOutput())
        printLine("finalize()");
}

void ConsumingDeviceAgent::doGetSettingsOnActiveSettingChange(
    Result<const IActiveSettingChangedResponse*>* /*outResult*/,
    const IActiveSettingChangedAction* /*activeSettingChangedAction*/) {}

bool ConsumingDeviceAgent::pushCompressedVideoFrame(const ICompressedVideoPacket* /*videoFrame*/) {
    return true;
}

bool ConsumingDeviceAgent::pushUncompressedVideoFrame(
    const IUncompressedVideoFrame* /*videoFrame*/) {
    return true;
}

bool ConsumingDeviceAgent::pushCustomMetadataPacket(
    const ICustomMetadataPacket* /*customMetadataPacket*/) {
    return true;
}

bool ConsumingDeviceAgent::pullMetadataPackets(std::vector<IMetadataPacket*>* /*metadataPackets*/) {
    return true;
}

Result<const ISettingsResponse*> ConsumingDeviceAgent::settingsReceived() {
    return {};
}

void ConsumingDeviceAgent::pushMetadataPacket(IMetadataPacket* metadataPacket) {
    // Declared before the lock, so the packet is released after the lock is let go.
    const Ptr<IMetadataPacket> handedOver(metadataPacket);
    std::lock_guard<std::mutex> lock(m_mutex);
    processMetadataPacket(metadataPacket, -1);
}

void ConsumingDeviceAgent::processMetadataPackets(
    const std::vector<IMetadataPacket*>& metadataPackets) {
    if (m_log.enableOutput() && !metadataPackets.empty()) {
        printLine("processMetadataPackets(): Producing " + std::to_string(metadataPackets.size()) +
                  " metadata packet(s).");
    }
    if (metadataPackets.empty())
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (size_t i = 0; i < metadataPackets.size(); ++i) {
        processMetadataPacket(metadataPackets[i], static_cast<int>(i));
        if (metadataPackets[i])
            metadataPackets[i]->releaseRef();
    }
}

void ConsumingDeviceAgent::processMetadataPacket(IMetadataPacket* metadataPacket, int packetIndex) {
    // Runs on worker threads of the derived class too: nothing may escape.
    try {
        if (!m_handler) {
            printLine(
                "processMetadataPacket(): INTERNAL ERROR: setHandler() was not called; ignoring "
                "the packet");
            return;
        }
        if (!metadataPacket) {
            if (m_log.enableOutput()) {
                printLine("processMetadataPacket(): WARNING: Null metadata packet" +
                          packetIndexName(packetIndex) + " found; discarded.");
            }
            return;
        }
        logMetadataPacketIfNeeded(metadataPacket, packetIndex);
        QO_ASSERT_PRINT([this](const char* text) { reportAssertion(text); },
                        metadataPacket->timestampUs() >= 0, "");
        m_handler->handleMetadataPacket(metadataPacket);
    } catch (const std::exception& e) {
        printLine(std::string("processMetadataPacket(): ERROR: Metadata packet") +
                  packetIndexName(packetIndex) + " not delivered: " + e.what());
    } catch (...) {
        printLine("processMetadataPacket(): ERROR: Metadata packet" + packetIndexName(packetIndex) +
                  " not delivered: unknown exception");
    }
}

void ConsumingDeviceAgent::logMetadataPacketIfNeeded(const IMetadataPacket* metadataPacket,
                                                     int packetIndex) const {
    if (!m_log.enableOutput())
        return;
    QO_ASSERT_PRINT([this](const char* text) { reportAssertion(text); }, metadataPacket, "");
    if (!metadataPacket)
        return;

    const std::string indexName = packetIndexName(packetIndex);
    std::string kind;
    if (queryInterfacePtr<IObjectMetadataPacket>(metadataPacket)) {
        kind = "Object";
    } else if (queryInterfacePtr<IEventMetadataPacket>(metadataPacket)) {
        kind = "Event";
    } else if (queryInterfacePtr<IObjectTrackBestShotPacket>(metadataPacket)) {
        kind = "Best shot";
    } else {
        printLine("logMetadataPacketIfNeeded(): WARNING: Metadata packet" + indexName +
                  " has unknown type.");
        kind = "Unknown";
    }
    const std::string description = kind + " metadata packet" + indexName;

    const auto compound = queryInterfacePtr<ICompoundMetadataPacket>(metadataPacket);
    if (!compound)
        return;
    const int32_t count = compound->count();
    if (count == 0) {
        printLine("logMetadataPacketIfNeeded(): WARNING: " + description + " is empty.");
        return;
    }
    std::string line =
        "logMetadataPacketIfNeeded(): " + description + " contains " + std::to_string(count) + " ";
    if (count == 1) {
        const auto item = toPtr(compound->getAt(0));
        line += "item of type " + textOrEmpty(item ? item->typeId() : nullptr);
    } else {
        line += "item(s)";
    }
    printLine(line + ".");
    if (compound->timestampUs() == 0)
        printLine("logMetadataPacketIfNeeded(): WARNING: " + description + " has timestamp 0.");
}

void ConsumingDeviceAgent::pushManifest(const std::string& manifest) {
    // Declared before the lock, so the text is released after the lock is let go.
    const auto text = makePtr<String>(manifest);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_handler) {
        printLine(
            "pushManifest(): INTERNAL ERROR: setHandler() was not called; ignoring the manifest.");
        return;
    }
    m_handler->handleManifest(text.get());
}

void ConsumingDeviceAgent::pushPluginDiagnosticEvent(IPluginDiagnosticEvent::Level level,
                                                     std::string caption, std::string description) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_handler) {
        printLine(
            "pushPluginDiagnosticEvent(): INTERNAL ERROR: setHandler() was not called; ignoring "
            "Plugin Diagnostic Event.");
        return;
    }
    const auto event =
        makePtr<PluginDiagnosticEvent>(level, std::move(caption), std::move(description));
    if (m_log.enableOutput())
        printLine("Producing Plugin Diagnostic Event:\n" + event->toString());
    m_handler->handleDiagnosticEvent(event.get());
}

std::string ConsumingDeviceAgent::settingValue(const std::string& settingName) const {
    return m_settings.value(settingName);
}

ConsumingDeviceAgent::Map ConsumingDeviceAgent::currentSettings() const {
    return m_settings.all();
}

void ConsumingDeviceAgent::releasePackets(
    const std::vector<IMetadataPacket*>& metadataPackets) const {
    for (IMetadataPacket* packet : metadataPackets) {
        if (packet)
            packet->releaseRef();
    }
}

void ConsumingDeviceAgent::printLine(const std::string& text) const {
    m_log.print(text);
}

void ConsumingDeviceAgent::reportAssertion(const char* text) const {
    printLine(text);
}

}  // namespace qo::sdk::analytics
