#include "host/run_summary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace lumo::host {

namespace {

constexpr PacketKind kKinds[] = {PacketKind::object, PacketKind::bestShot, PacketKind::event};

int countOf(const RunSummary& summary, PacketKind kind) {
    const auto it = summary.packets.find(kind);
    return it == summary.packets.end() ? 0 : it->second;
}

}  // namespace

double percentile(std::vector<double> samples, double fraction) {
    if (samples.empty())
        return 0;
    const auto rank = static_cast<size_t>(
        std::max(1.0, std::ceil(fraction * static_cast<double>(samples.size()))));
    std::nth_element(samples.begin(), samples.begin() + (rank - 1), samples.end());
    return samples[rank - 1];
}

void printSummary(std::ostream& out, const RunSummary& summary) {
    out << "documents: " << summary.pushed << " pushed, " << summary.processed << " processed, "
        << summary.dropped << " dropped";
    if (summary.droppedWhileBusy >= 0)
        out << " (" << summary.droppedWhileBusy << " while the agent was busy)";
    out << "\npackets:";
    for (PacketKind kind : kKinds) {
        out << (kind == PacketKind::object ? " " : ", ") << countOf(summary, kind) << " "
            << packetKindName(kind);
    }
    if (const int unknown = countOf(summary, PacketKind::unknown); unknown > 0)
        out << ", " << unknown << " unknown";
    out << "\n";
    for (const auto& [label, text] : summary.rows)
        out << label << ": " << text << "\n";
    out << "plugin objects alive after shutdown: " << summary.liveObjects << "\n";
    if (!summary.latenciesMs.empty()) {
        char line[160];
        std::snprintf(line, sizeof line,
                      "latency: push to delivery p50 %.3f ms, p99 %.3f ms (%zu packets)\n",
                      percentile(summary.latenciesMs, 0.5), percentile(summary.latenciesMs, 0.99),
                      summary.latenciesMs.size());
        out << line;
    }
    out.flush();
}

nlohmann::json summaryJson(const RunSummary& summary) {
    nlohmann::json json;
    json["documents"] = {
        {"pushed", summary.pushed}, {"processed", summary.processed}, {"dropped", summary.dropped}};
    if (summary.droppedWhileBusy >= 0)
        json["documents"]["droppedWhileBusy"] = summary.droppedWhileBusy;
    json["packets"] = nlohmann::json::object();
    for (PacketKind kind : kKinds)
        json["packets"][packetKindName(kind)] = countOf(summary, kind);
    json["liveObjects"] = summary.liveObjects;
    if (!summary.latenciesMs.empty()) {
        json["latencyMs"] = {{"p50", percentile(summary.latenciesMs, 0.5)},
                             {"p99", percentile(summary.latenciesMs, 0.99)}};
    }
    return json;
}

}  // namespace lumo::host
