#include "report/run_summary.h"

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
    if (!summary.latency.empty()) {
        char line[160];
        std::snprintf(line, sizeof line,
                      "latency: push to delivery p50 %.3f ms, p99 %.3f ms (%llu packets)\n",
                      summary.latency.percentileMs(0.5), summary.latency.percentileMs(0.99),
                      static_cast<unsigned long long>(summary.latency.count()));
        out << line;
    }
    out.flush();
}

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
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
    if (!summary.latency.empty()) {
        json["latencyMs"] = {{"p50", summary.latency.percentileMs(0.5)},
                             {"p99", summary.latency.percentileMs(0.99)}};
    }
    return json;
}

}  // namespace lumo::host
