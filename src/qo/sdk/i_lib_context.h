// ILibContext: the one process-wide object of the loaded library, carrying its name (part of
// every log line), the optional object registry and the unit-test options. Not reference counted.
#pragma once

#include "qo/sdk/i_ref_countable_registry.h"

namespace qo::sdk {

class ILibContext {
public:
    virtual ~ILibContext() = default;
    virtual void setName(const char* name) = 0;
    /** Takes ownership of the registry; may be installed once. */
    virtual void setRefCountableRegistry(IRefCountableRegistry* refCountableRegistry) = 0;
};

}  // namespace qo::sdk
