// MetadataTypes: the metadata types the server asks a device agent for. This server asks for
// everything the agent declares, which an empty list says.
//
// Threading: stateless.
#pragma once

#include "qo/sdk/analytics/i_metadata_types.h"
#include "qo/sdk/ref_countable.h"

namespace lumo::host {

class MetadataTypes : public qo::sdk::RefCountable<qo::sdk::analytics::IMetadataTypes> {};

}  // namespace lumo::host
