// The root of the boundary object model: every object that crosses between the media server and
// the plugin is an IRefCountable, found by interface id and kept alive by explicit reference
// counts.
//
// The server and the plugin are built separately, so only the order of the virtual slots is shared:
// (1) complete-object destructor, (2) deleting destructor, (3) queryInterface, (4) addRef,
// (5) releaseRef. Every interface appends its own slots after these, base interface first.
#pragma once

#include <cstdint>
#include <cstring>

namespace qo::sdk {

/** Opaque view of the NUL-terminated characters of an interface id; compared by content only. */
struct InterfaceId;

inline const InterfaceId* interfaceIdFromText(const char* text) {
    return reinterpret_cast<const InterfaceId*>(text);
}

inline const char* interfaceIdText(const InterfaceId* id) {
    return reinterpret_cast<const char*>(id);
}

inline bool interfaceIdEquals(const InterfaceId* id, const char* text) {
    return id && std::strcmp(interfaceIdText(id), text) == 0;
}

class IRefCountable {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::IRefCountable"};

    virtual ~IRefCountable() = default;

    /** The object viewed as the requested interface with one reference added, or null. */
    virtual IRefCountable* queryInterface(const InterfaceId* id) = 0;

    /** @return The new reference count. */
    virtual int32_t addRef() const = 0;

    /** Destroys the object when the count reaches 0. @return The new reference count. */
    virtual int32_t releaseRef() const = 0;

    static const InterfaceId* interfaceId() { return interfaceIdFromText(kInterfaceIds[0]); }

    /** Convenience for const objects: querying never changes the object beyond its count. */
    IRefCountable* queryInterface(const InterfaceId* id) const {
        return const_cast<IRefCountable*>(this)->queryInterface(id);
    }
};

}  // namespace qo::sdk
