// EngineHandler: the server's receiver of the engine's diagnostic events; it keeps a copy of each.
//
// Threading: the plugin may deliver from any thread; every member function is safe to call
// concurrently, all state is guarded by m_mutex.
#pragma once

#include <mutex>
#include <vector>

#include "qo/sdk/analytics/i_engine.h"
#include "qo/sdk/ref_countable.h"
#include "server/diagnostic_event_record.h"

namespace lumo::host {

class EngineHandler : public qo::sdk::RefCountable<qo::sdk::analytics::IEngine0::IHandler> {
public:
    void handleDiagnosticEvent(qo::sdk::IPluginDiagnosticEvent* event) override {
        if (!event)
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.push_back(DiagnosticEventRecord::from(*event));
    }

    std::vector<DiagnosticEventRecord> diagnosticEvents() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<DiagnosticEventRecord> m_events;  // Guarded by m_mutex.
};

}  // namespace lumo::host
