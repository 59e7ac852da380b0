#include "server/object_registry.h"

#include <utility>

namespace lumo::host {

namespace {

struct KnownClass {
    const char* interfaceId;
    const char* className;
};

// Most specific first: every packet is also an IDataPacket, every object an IRefCountable.
// The unversioned ids are those every version of an interface answers.
constexpr KnownClass kKnownClasses[] = {
    {"qo::sdk::analytics::IPlugin", "Plugin"},
    {"qo::sdk::analytics::IEngine", "Engine"},
    {"qo::sdk::analytics::IDeviceAgent", "DeviceAgent"},
    {"qo::sdk::analytics::IObjectMetadataPacket", "ObjectMetadataPacket"},
    {"qo::sdk::analytics::IEventMetadataPacket", "EventMetadataPacket"},
    {"qo::sdk::analytics::IObjectTrackBestShotPacket", "ObjectTrackBestShotPacket"},
    {"qo::sdk::analytics::IObjectMetadata", "ObjectMetadata"},
    {"qo::sdk::analytics::IEventMetadata", "EventMetadata"},
    {"qo::sdk::analytics::IActiveSettingChangedResponse", "ActiveSettingChangedResponse"},
    {"qo::sdk::ISettingsResponse", "SettingsResponse"},
    {"qo::sdk::IPluginDiagnosticEvent", "PluginDiagnosticEvent"},
    {"qo::sdk::IAttribute", "Attribute"},
    {"qo::sdk::IStringMap", "StringMap"},
    {"qo::sdk::IString", "String"},
};

std::mutex& installMutex() {
    static std::mutex mutex;
    return mutex;
}

// Registries installed so far, by context. Never shrinks: a context keeps its registry until the
// process exits.
std::map<qo::sdk::ILibContext*, ObjectRegistry*>& installedRegistries() {
    static auto* registries = new std::map<qo::sdk::ILibContext*, ObjectRegistry*>();
    return *registries;
}

}  // namespace

ObjectRegistry* ObjectRegistry::installInto(qo::sdk::ILibContext* context) {
    if (!context)
        return nullptr;
    std::lock_guard<std::mutex> lock(installMutex());
    ObjectRegistry*& registry = installedRegistries()[context];
    if (!registry) {
        registry = new ObjectRegistry();
        context->setRefCountableRegistry(registry);  // The context owns it from here on.
    }
    return registry;
}

std::string ObjectRegistry::classify(const qo::sdk::IRefCountable* object) {
    return classNameOf(object);
}

const char* ObjectRegistry::classNameOf(const qo::sdk::IRefCountable* object) {
    if (!object)
        return kOtherClass;
    for (const KnownClass& known : kKnownClasses) {
        qo::sdk::IRefCountable* const view =
            object->queryInterface(qo::sdk::interfaceIdFromText(known.interfaceId));
        if (view) {
            view->releaseRef();
            return known.className;
        }
    }
    return kOtherClass;
}

void ObjectRegistry::objectCreated(const qo::sdk::IRefCountable* object, int32_t refCount) {
    // A query adds a reference and removes it again; with no reference to start from, the removal
    // would destroy the object.
    const char* className = kOtherClass;
    if (refCount > 0) {
        // While it is being built, an object answers queries as the level its virtual table
        // belongs to, so objects sharing that table share their class: asking once is enough,
        // and spares every packet and attribute of the plugin's a dozen queries.
        const void* const table = *reinterpret_cast<const void* const*>(object);
        std::unique_lock<std::mutex> lock(m_mutex);
        const auto known = m_classByTable.find(table);
        if (known != m_classByTable.end()) {
            className = known->second;
        } else {
            lock.unlock();
            className = classNameOf(object);
            lock.lock();
            m_classByTable.emplace(table, className);
        }
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_created;
    auto [it, inserted] = m_classByAddress.emplace(object, className);
    if (!inserted) {
        // The earlier object at this address died unreported; count the new one instead.
        --m_liveByClass[it->second];
        it->second = className;
    }
    ++m_liveByClass[className];
}

void ObjectRegistry::objectDestroyed(const qo::sdk::IRefCountable* object, int32_t /*refCount*/) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_destroyed;
    const auto it = m_classByAddress.find(object);
    if (it == m_classByAddress.end()) {
        ++m_unmatchedDestructions;
        return;
    }
    --m_liveByClass[it->second];
    m_classByAddress.erase(it);
    if (m_classByAddress.empty())
        m_objectDestroyed.notify_all();
}

std::map<std::string, int> ObjectRegistry::liveObjects() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::map<std::string, int> live;
    for (const auto& [className, count] : m_liveByClass) {
        if (count > 0)
            live[className] += count;
    }
    return live;
}

int ObjectRegistry::liveCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_classByAddress.size());
}

int ObjectRegistry::createdCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_created;
}

int ObjectRegistry::destroyedCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_destroyed;
}

int ObjectRegistry::unmatchedDestructions() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_unmatchedDestructions;
}

bool ObjectRegistry::waitUntilNoLiveObjects(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_objectDestroyed.wait_for(lock, timeout, [this] { return m_classByAddress.empty(); });
}

}  // namespace lumo::host
