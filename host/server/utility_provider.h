// UtilityProvider: the services the server offers a plugin. This server offers none beyond the
// object itself, which the plugin only keeps.
//
// Threading: stateless.
#pragma once

#include "qo/sdk/i_utility_provider.h"
#include "qo/sdk/ref_countable.h"

namespace lumo::host {

class UtilityProvider : public qo::sdk::RefCountable<qo::sdk::IUtilityProvider> {};

}  // namespace lumo::host
