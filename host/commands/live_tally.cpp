#include "commands/live_tally.h"

#include <algorithm>
#include <cstdio>

#include "qo/sdk/helpers/uuid_helper.h"
#include "report/type_names.h"

namespace lumo::host {

void LiveTally::add(const PacketRecord& record) {
    if (record.kind == PacketKind::object) {
        m_lastFrame = record;
        for (const auto& item : record.items) {
            const std::string id = item.attribute("Object ID");
            if (!item.hasTrackId || id.empty())
                continue;
            const std::string track = qo::sdk::UuidHelper::toStdString(item.trackId);
            m_trackIdsOf[id].insert(track);
            m_objectsOf[track].insert(id);
            m_typeOf[id] = item.typeId;
        }
    }
    if (record.kind != PacketKind::event)
        return;
    for (const auto& item : record.items) {
        ++m_events[item.typeId];
        int line = 0, count = 0;
        if (std::sscanf(item.description.c_str(), "Event Line : [%d], Count : [%d]", &line,
                        &count) == 2)
            m_lineCounts[line].push_back(count);
    }
}

void LiveTally::summarize(RunSummary& summary, nlohmann::json& json, bool tracks) const {
    std::map<std::string, int> tracksByType;
    int stable = 0;
    for (const auto& [id, trackIds] : m_trackIdsOf) {
        ++tracksByType[m_typeOf.at(id)];
        stable += trackIds.size() == 1 && m_objectsOf.at(*trackIds.begin()).size() == 1;
    }
    const int count = static_cast<int>(m_trackIdsOf.size());
    json["tracks"] = {{"count", count}, {"withOneTrackId", stable}, {"byType", tracksByType}};
    if (tracks)
        summary.rows.emplace_back("tracks",
                                  std::to_string(count) + " (" + listOf(tracksByType) + "), " +
                                      (stable == count ? "each with one track id"
                                                       : std::to_string(count - stable) +
                                                             " without one track id of their own"));
    json["events"] = m_events;
    summary.rows.emplace_back("events", listOf(m_events));
    json["lineCounts"] = nlohmann::json::object();
    for (const auto& [line, counts] : m_lineCounts) {
        json["lineCounts"][std::to_string(line)] = counts;
        summary.rows.emplace_back(
            "line " + std::to_string(line),
            "count " + std::to_string(*std::max_element(counts.begin(), counts.end())) + " (" +
                std::to_string(counts.size()) + " crossings reported)");
    }
}

}  // namespace lumo::host
