// IString: a text handed across the boundary.
#pragma once

#include "qo/sdk/interface.h"

namespace qo::sdk {

class IString : public Interface<IString> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::IString"};

    /** The text, NUL-terminated; never null. */
    virtual const char* str() const = 0;
};

}  // namespace qo::sdk
