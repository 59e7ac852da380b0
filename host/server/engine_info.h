// EngineInfo: the server's description of the engine instance; its id becomes part of the
// engine's log prefix.
//
// Threading: immutable after construction; may be read from any thread.
#pragma once

#include <string>

#include "qo/sdk/analytics/i_engine_info.h"
#include "qo/sdk/ref_countable.h"

namespace lumo::host {

class EngineInfo : public qo::sdk::RefCountable<qo::sdk::analytics::IEngineInfo> {
public:
    explicit EngineInfo(std::string id) : m_id(std::move(id)) {}

    const char* id() const override { return m_id.c_str(); }

private:
    const std::string m_id;
};

}  // namespace lumo::host
