// Object conversion: camera objects become tracked objects (box, display colour) or, once the
// camera has taken an object's best image, attributes plus a best-shot packet. Each camera object
// id keeps a stable track id while it is among the 256 most recently created.
#include <cmath>
#include <string>

#include "lumo/constants.h"
#include "lumo/device_agent.h"
#include "qo/sdk/analytics/helpers/object_metadata.h"
#include "qo/sdk/helpers/attribute.h"
#include "qo/sdk/helpers/uuid_helper.h"

namespace qo::vms_server_plugins::analytics::lumo {

using namespace qo::sdk;
using namespace qo::sdk::analytics;

namespace {

constexpr size_t kMaxTrackIds = 256;
constexpr auto kSmartShotLifetime = std::chrono::nanoseconds(4'999'999'999);
constexpr int64_t kBestShotDelayUs = 1000;

enum class ObjectClass { none, person, head, vehicle, bike };

struct ClassInfo {
    ObjectClass objectClass = ObjectClass::none;
    std::string typeId;
    const char* displayColor = nullptr;
};

ClassInfo classify(const Metadata::_Object& object) {
    const std::string classType = object.classType;
    if (classType == "Person" || classType == "Human")
        return {ObjectClass::person, kObjectTypeHuman, kColorHuman};
    if (classType == "HumanHead")
        return {ObjectClass::head, kObjectTypeHead, nullptr};
    if (classType == "Vehicle") {
        const std::string vehicleType = object.vehicleType;
        if (vehicleType == "Bicycle" || vehicleType == "Motorcycle")
            return {ObjectClass::bike, toVehicleTypeId(object.vehicleType), kColorBike};
        return {ObjectClass::vehicle, toVehicleTypeId(object.vehicleType), kColorVehicle};
    }
    return {};
}

Ptr<Attribute> attribute(const std::string& name, const std::string& value) {
    return makePtr<Attribute>(name, value);
}

const char* boolText(bool value) {
    return value ? "true" : "false";
}

void addBestShotAttributes(ObjectMetadata* metadata, const Metadata::_Object& object,
                           ObjectClass objectClass) {
    const std::string objectId = std::to_string(object.objectId);
    switch (objectClass) {
        case ObjectClass::person:
            if (object.objectId != 0)
                metadata->addAttribute(attribute("Object ID", objectId));
            if (object.hasFace) {
                metadata->addAttribute(attribute("Gender", object.gender));
                metadata->addAttribute(attribute("Eyewear", boolText(object.eyewear)));
                metadata->addAttribute(attribute("Mask", boolText(object.mask)));
                metadata->addAttribute(attribute("Hat", boolText(object.hat)));
                metadata->addAttribute(attribute("Helmet", boolText(object.helmet)));
            }
            if (object.hasTopColor) {
                Metadata::_ColorYUV top = object.topColors[0];
                metadata->addAttribute(attribute("Top Color", Metadata::toColorString(top)));
            }
            if (object.hasBottomColor) {
                Metadata::_ColorYUV bottom = object.bottomColor;
                metadata->addAttribute(attribute("Bottom Color", Metadata::toColorString(bottom)));
            }
            if (object.hasBag)
                metadata->addAttribute(attribute("Bag", object.bagCategory));
            break;
        case ObjectClass::head:
            metadata->addAttribute(attribute("Object ID", objectId));
            break;
        case ObjectClass::vehicle:
        case ObjectClass::bike:
            if (object.objectId != 0)
                metadata->addAttribute(attribute("Object ID", objectId));
            if (object.hasVehicleColor) {
                Metadata::_ColorYUV color = object.vehicleColor;
                metadata->addAttribute(attribute("Color", Metadata::toColorString(color)));
            }
            break;
        case ObjectClass::none:
            break;
    }
}

bool isUsableScale(float scale) {
    const float size = 2.0F / std::fabs(scale);
    return std::isfinite(size) && size > 0.0F;
}

}  // namespace

std::string toVehicleTypeId(const std::string& vehicleType) {
    if (vehicleType == "Truck")
        return kObjectTypeTruck;
    if (vehicleType == "Bus")
        return kObjectTypeBus;
    if (vehicleType == "Bicycle")
        return kObjectTypeBicycle;
    if (vehicleType == "Motorcycle")
        return kObjectTypeMotorcycle;
    return kObjectTypeCar;
}

void scaleBBox(Rect& rect, float width, float height, float left, float top, float right,
               float bottom) {
    rect.x = left / width;
    rect.y = top / height;
    rect.width = right / width - rect.x;
    rect.height = bottom / height - rect.y;
}

void DeviceAgent::pushObject(const Metadata::_Payload* payload, int64_t timestampUs) {
    // A frame without a usable scale leaves the coordinate frame unknown until one arrives.
    if ((coordScaleX == 0.0F || coordScaleY == 0.0F) && isUsableScale(payload->scaleX) &&
        isUsableScale(payload->scaleY)) {
        coordScaleX = 2.0F / std::fabs(payload->scaleX);
        coordScaleY = 2.0F / std::fabs(payload->scaleY);
    }

    auto packet = makePtr<ObjectMetadataPacket>();
    packet->setDurationUs(1);
    // A packet whose objects are all hidden still goes out: it carries the document's time, not
    // the "never set" -1.
    packet->setTimestampUs(timestampUs);
    bool handled = false;

    for (int32_t i = 0; i < payload->objectCount; ++i) {
        const Metadata::_Object* object = payload->objects[i];
        if (!object)
            continue;
        const ClassInfo info = classify(*object);
        if (info.objectClass == ObjectClass::none)
            continue;
        handled = true;

        auto metadata = makePtr<ObjectMetadata>();
        if (object->imageRef) {
            addBestShotAttributes(metadata.get(), *object, info.objectClass);

            int64_t bestShotTimeUs = timestampUs;
            const auto record = smartShotObjects.find(object->objectId);
            if (record != smartShotObjects.end()) {
                bestShotTimeUs = record->second.firstSeenTimestampUs + kBestShotDelayUs;
                smartShotObjects.erase(record);
            }
            const Uuid trackId = getUuid(object->objectId);
            metadata->setTrackId(trackId);
            metadata->setTypeId(info.typeId);
            packet->setTimestampUs(bestShotTimeUs);
            packet->addItem(metadata.get());

            auto bestShot = makePtr<ObjectTrackBestShotPacket>(Uuid(), -1, Rect());
            bestShot->setTrackId(trackId);
            bestShot->setTimestampUs(bestShotTimeUs);
            bestShot->setImageUrl(object->imageRef);
            bestShotPackets.push_back(bestShot);
            continue;
        }

        const std::atomic<int32_t>* displaySwitch = nullptr;
        switch (info.objectClass) {
            case ObjectClass::person:
                displaySwitch = &showPerson;
                break;
            case ObjectClass::vehicle:
                displaySwitch = &showCar;
                break;
            case ObjectClass::bike:
                displaySwitch = &showBicycle;
                break;
            default:
                break;
        }
        if (!displaySwitch || displaySwitch->load() == 0)
            continue;

        // Without a coordinate frame there is no box to show; such objects wait for one.
        if (coordScaleX == 0.0F || coordScaleY == 0.0F)
            continue;
        Rect box;
        scaleBBox(box, coordScaleX, coordScaleY, object->left, object->top, object->right,
                  object->bottom);
        if (!std::isfinite(box.x) || !std::isfinite(box.y) || !std::isfinite(box.width) ||
            !std::isfinite(box.height)) {
            continue;
        }

        const char* color =
            isEventedObjExists(object->objectId) ? kColorEvented : info.displayColor;
        metadata->addAttribute(makePtr<Attribute>(IAttribute::Type::color, "qo.sys.color", color));
        metadata->setBoundingBox(box);
        metadata->setTrackId(getUuid(object->objectId));
        metadata->setTypeId(info.typeId);
        packet->setTimestampUs(timestampUs);
        packet->addItem(metadata.get());

        if (!isSmartShotObjExists(object->objectId))
            addSmartShotObj(object->objectId, timestampUs);
    }

    if (handled)
        objectPackets.push_back(packet);
}

Uuid DeviceAgent::getUuid(int32_t objectId) {
    const auto found = trackIds.find(objectId);
    if (found != trackIds.end())
        return found->second;
    const Uuid uuid = UuidHelper::randomUuid();
    trackIds.emplace(objectId, uuid);
    trackIdOrder.push_back(objectId);
    if (trackIdOrder.size() > kMaxTrackIds) {
        trackIds.erase(trackIdOrder.front());
        trackIdOrder.pop_front();
    }
    return uuid;
}

void DeviceAgent::addOrUpdateEventedObj(int32_t objectId) {
    if (highlightDurationS.load() < 1)
        return;
    std::lock_guard<std::mutex> lock(eventedObjectsMutex);
    eventedObjects[objectId] = EventedObject{objectId, now()};
}

bool DeviceAgent::isEventedObjExists(int32_t objectId) {
    if (highlightDurationS.load() == 0)
        return false;
    std::lock_guard<std::mutex> lock(eventedObjectsMutex);
    return eventedObjects.count(objectId) != 0;
}

bool DeviceAgent::isSmartShotObjExists(int32_t objectId) const {
    return smartShotObjects.count(objectId) != 0;
}

void DeviceAgent::addSmartShotObj(int32_t objectId, int64_t timestampUs) {
    smartShotObjects[objectId] = SmartShotObject{objectId, timestampUs, now()};
}

void DeviceAgent::removeOldEventedObj() {
    const auto present = now();
    const int64_t limitS = highlightDurationS.load();
    std::lock_guard<std::mutex> lock(eventedObjectsMutex);
    for (auto it = eventedObjects.begin(); it != eventedObjects.end();) {
        const auto ageS =
            std::chrono::duration_cast<std::chrono::seconds>(present - it->second.lastEventTime);
        if (ageS.count() >= limitS)
            it = eventedObjects.erase(it);
        else
            ++it;
    }
}

void DeviceAgent::removeOldSmartShotObj() {
    const auto present = now();
    for (auto it = smartShotObjects.begin(); it != smartShotObjects.end();) {
        if (present - it->second.recordTime > kSmartShotLifetime)
            it = smartShotObjects.erase(it);
        else
            ++it;
    }
}

}  // namespace qo::vms_server_plugins::analytics::lumo
