// Interface<Derived, Base>: the base of every interface class. It answers queryInterface over the
// whole chain of interfaces, most derived level first, comparing ids by content.
//
// Each interface class lists its ids in `kInterfaceIds` (its own id first, then an alternative id
// where it has one). Interface adds no virtual slot of its own, so slot order stays that of the
// interface chain.
#pragma once

#include <type_traits>

#include "qo/sdk/i_ref_countable.h"

namespace qo::sdk {

template <class Derived, class Base = IRefCountable>
class Interface : public Base {
public:
    using Base::queryInterface;

    static const InterfaceId* interfaceId() {
        return interfaceIdFromText(Derived::kInterfaceIds[0]);
    }

    IRefCountable* queryInterface(const InterfaceId* id) override {
        return queryInterfaceChain(id);
    }

protected:
    IRefCountable* queryInterfaceChain(const InterfaceId* id) {
        if (!id)
            return nullptr;
        for (const char* candidate : Derived::kInterfaceIds) {
            if (interfaceIdEquals(id, candidate)) {
                this->addRef();
                return static_cast<Derived*>(this);
            }
        }
        if constexpr (std::is_same_v<Base, IRefCountable>) {
            if (interfaceIdEquals(id, IRefCountable::kInterfaceIds[0])) {
                this->addRef();
                return static_cast<IRefCountable*>(this);
            }
            return nullptr;
        } else {
            return Base::queryInterfaceChain(id);
        }
    }
};

}  // namespace qo::sdk
