// IMetadataTypes: the metadata types the server currently needs; this plugin produces all anyway.
#pragma once

#include "qo/sdk/interface.h"

namespace qo::sdk::analytics {

class IMetadataTypes : public Interface<IMetadataTypes> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::IMetadataTypes"};
};

}  // namespace qo::sdk::analytics
