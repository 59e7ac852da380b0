// IObjectTrackInfo: what the server knows of a track an action was started on; passed on unread.
#pragma once

#include "qo/sdk/interface.h"

namespace qo::sdk::analytics {

class IObjectTrackInfo : public Interface<IObjectTrackInfo> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::IObjectTrackInfo"};
};

}  // namespace qo::sdk::analytics
