// Event conversion: each ONVIF notification of a document becomes one active event with a track
// of its own; region events mark their objects for highlighting, and the camera's report of a
// settings change asks for a fresh readback unless the plugin itself is writing.
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "lumo/constants.h"
#include "lumo/device_agent.h"
#include "lumo/settings_numbers.h"
#include "qo/sdk/analytics/helpers/event_metadata.h"
#include "qo/sdk/helpers/uuid_helper.h"

namespace qo::vms_server_plugins::analytics::lumo {

using namespace qo::sdk;
using namespace qo::sdk::analytics;

namespace {

constexpr char kTopicCounter[] = "tns1:RuleEngine/CountAggregation/Counter";
constexpr char kTopicSceneChange[] = "tns1:VideoSource/GlobalSceneChange/AnalyticsService";
constexpr char kTopicSettingChanged[] = "tns1:AI/AppSettingChanged";
constexpr char kTopicRegion[] = "tns1:RuleEngine/ObjectDetection/vndObjectEx";

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

/** Calls f(value) for each item of the group named exactly `name` that has a value. */
template <typename F>
void forEachItem(int32_t count, char* const* names, char* const* values, const char* name, F f) {
    for (int32_t i = 0; i < count; ++i) {
        if (names[i] && values[i] && std::strcmp(names[i], name) == 0)
            f(std::string(values[i]));
    }
}

/** "<prefix>[d+1]" for a rule value ending in digit d (the camera numbers rules from 0). */
std::optional<std::string> ruleText(const std::string& rule, const char* prefix) {
    if (rule.empty() || !isDigit(rule.back()))
        return std::nullopt;
    return std::string(prefix) + "[" + static_cast<char>(rule.back() + 1) + "]";
}

}  // namespace

std::string toEventTypeId(const std::string& action) {
    if (action == "Appear")
        return kEventTypeAppear;
    if (action == "Stay")
        return kEventTypeStay;
    if (action == "Direction")
        return kEventTypeDirection;
    if (action == "Enter")
        return kEventTypeEnter;
    if (action == "Exit")
        return kEventTypeExit;
    if (action == "Loitering")
        return kEventTypeLoitering;
    return kEventTypeUnknown;
}

void DeviceAgent::pushEvent(const Metadata::_Payload* payload, int64_t timestampUs) {
    auto packet = makePtr<EventMetadataPacket>();
    packet->setTimestampUs(timestampUs);
    packet->setDurationUs(1);

    for (int32_t i = 0; i < payload->eventCount; ++i) {
        const Metadata::_Event* event = payload->events[i];
        if (!event || !event->topic)
            continue;
        const std::string topic = event->topic;
        const auto sourceItems = [event](const char* name, auto f) {
            forEachItem(event->sourceCount, event->sourceNames, event->sourceValues, name, f);
        };
        const auto dataItems = [event](const char* name, auto f) {
            forEachItem(event->dataCount, event->dataNames, event->dataValues, name, f);
        };

        auto metadata = makePtr<EventMetadata>();
        std::string typeId;
        if (topic == kTopicCounter) {
            typeId = kEventTypeLineCounting;
            metadata->setCaption("Line Counting");
            std::string description;
            sourceItems("Rule", [&description](const std::string& rule) {
                if (const auto text = ruleText(rule, "Event Line : "))
                    description = *text;
            });
            dataItems("Count", [&description](const std::string& count) {
                description += ", Count : [" + count + "]";
            });
            metadata->setDescription(description);
        } else if (topic == kTopicSceneChange) {
            typeId = kEventTypeTampering;
            metadata->setCaption("Tampering");
        } else if (topic == kTopicSettingChanged) {
            typeId = kEventTypeSettingChanged;
            metadata->setCaption("AI Setting Changed");
            if (!settingsWriteHold.load())
                settingsRefreshNeeded = true;
        } else if (topic == kTopicRegion) {
            sourceItems("Rule", [&metadata](const std::string& rule) {
                if (const auto text = ruleText(rule, "Event Region : "))
                    metadata->setDescription(*text);
            });
            for (int32_t k = 0; k < event->dataCount; ++k) {
                const char* name = event->dataNames[k];
                const char* value = event->dataValues[k];
                if (!name || !value)
                    continue;
                if (std::strcmp(name, "ObjectId") == 0) {
                    if (const auto objectId = parseWholeNumber(value))
                        addOrUpdateEventedObj(*objectId);
                } else if (std::strcmp(name, "Actions") == 0) {
                    typeId = toEventTypeId(value);
                    metadata->setCaption(value);
                }
            }
        }

        metadata->setTypeId(typeId);
        metadata->setIsActive(true);
        eventTrackId = UuidHelper::randomUuid();
        metadata->setTrackId(eventTrackId);
        packet->addItem(metadata.get());
    }

    eventPackets.push_back(packet);
}

}  // namespace qo::vms_server_plugins::analytics::lumo
