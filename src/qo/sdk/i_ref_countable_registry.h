// IRefCountableRegistry: implemented by a host that wants to hear of every reference-counted
// object the library creates and destroys (for example to count live objects at shutdown).
// Not reference counted: the library context owns and deletes it.
#pragma once

#include <cstdint>

#include "qo/sdk/i_ref_countable.h"

namespace qo::sdk {

class IRefCountableRegistry {
public:
    virtual ~IRefCountableRegistry() = default;
    virtual void objectCreated(const IRefCountable* object, int32_t refCount) = 0;
    virtual void objectDestroyed(const IRefCountable* object, int32_t refCount) = 0;
};

}  // namespace qo::sdk
