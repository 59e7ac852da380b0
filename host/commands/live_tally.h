// LiveTally: what the plugin made of a camera's stream, counted from the packets it delivered:
// tracks by the camera's object id with the track ids they got, events by type, each counting
// line's counts, and the last object packet (the frame `--svg` draws).
//
// Threading: none of its own; used by the run's taking thread only.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "report/packet_record.h"
#include "report/run_summary.h"

namespace lumo::host {

class LiveTally {
public:
    void add(const PacketRecord& record);
    /** Adds the rows (tracks only with `tracks`) and their JSON. */
    void summarize(RunSummary& summary, nlohmann::json& json, bool tracks) const;
    const PacketRecord& lastFrame() const { return m_lastFrame; }

private:
    std::map<std::string, int> m_events;
    std::map<int, std::vector<int>> m_lineCounts;
    std::map<std::string, std::set<std::string>> m_trackIdsOf;  // By the camera's object id.
    std::map<std::string, std::set<std::string>> m_objectsOf;   // By track id.
    std::map<std::string, std::string> m_typeOf;
    PacketRecord m_lastFrame;
};

}  // namespace lumo::host
