// ObjectRegistry: the server's register of the plugin's reference-counted objects, counting the
// live ones by class so that a shutdown can tell what the plugin failed to release.
//
// The library context reports every construction and destruction. At construction the object is
// only partly built, but its RefCountable level already answers queryInterface, so the class is
// found then by asking for well-known interface ids and remembered per address. A destruction is
// never queried: its count is already 0, and the query's release would destroy it a second time.
//
// The library context takes ownership of an installed registry and deletes it at process exit;
// installInto() installs at most one per context, since a context accepts only one.
//
// Threading: every member function may be called from any thread; all state is guarded by
// m_mutex.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>

#include "qo/sdk/i_lib_context.h"
#include "qo/sdk/i_ref_countable_registry.h"

namespace lumo::host {

class ObjectRegistry : public qo::sdk::IRefCountableRegistry {
public:
    /** The class of objects that answer none of the well-known interfaces. */
    static constexpr const char* kOtherClass = "other";

    /**
     * The registry installed into the given library context, installing a new one on the first
     * call for that context. Null context gives null.
     */
    static ObjectRegistry* installInto(qo::sdk::ILibContext* context);

    /** The class name of an object, found through its interface ids; kOtherClass if none fits. */
    static std::string classify(const qo::sdk::IRefCountable* object);

    void objectCreated(const qo::sdk::IRefCountable* object, int32_t refCount) override;
    void objectDestroyed(const qo::sdk::IRefCountable* object, int32_t refCount) override;

    /** Live objects by class name; classes without live objects are left out. */
    std::map<std::string, int> liveObjects() const;
    int liveCount() const;
    int createdCount() const;
    int destroyedCount() const;
    /** Destructions of objects whose creation was never reported (made before installation). */
    int unmatchedDestructions() const;

    /** Waits until no object is live or the time is up. @return Whether none is live. */
    bool waitUntilNoLiveObjects(std::chrono::milliseconds timeout) const;

private:
    /** One of the class names of kKnownClasses, or kOtherClass. */
    static const char* classNameOf(const qo::sdk::IRefCountable* object);

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_objectDestroyed;
    // Class names are the fixed texts classNameOf() answers, so they are kept by address.
    std::unordered_map<const void*, const char*> m_classByAddress;  // Guarded by m_mutex.
    std::unordered_map<const void*, const char*> m_classByTable;    // Guarded by m_mutex.
    std::map<const char*, int> m_liveByClass;                       // Guarded by m_mutex.
    int m_created = 0;                                              // Guarded by m_mutex.
    int m_destroyed = 0;                                            // Guarded by m_mutex.
    int m_unmatchedDestructions = 0;                                // Guarded by m_mutex.
};

}  // namespace lumo::host
