// RunSummary: the closing table of a run that pushed documents to a device agent (replay, demo):
// documents pushed, processed and dropped, packets by kind, further rows a command adds, the
// plugin objects left after the shutdown and the push-to-delivery latency, as text lines
//
//   documents: 200 pushed, 199 processed, 1 dropped (1 while the agent was busy)
//   packets: 199 object, 21 best-shot, 60 event
//   ...
//   plugin objects alive after shutdown: none
//   latency: push to delivery p50 0.214 ms, p99 0.912 ms (280 packets)
//
// or as one JSON object.
//
// Threading: a plain value and free functions without shared state.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "report/latency_histogram.h"
#include "report/packet_record.h"

namespace lumo::host {

struct RunSummary {
    int pushed = 0;
    int processed = 0;
    int dropped = 0;
    /** Of the dropped documents, those that came while the agent was busy; -1: not told apart. */
    int droppedWhileBusy = -1;
    std::map<PacketKind, int> packets;
    /** Rows of the command's own, shown after the packets. */
    std::vector<std::pair<std::string, std::string>> rows;
    std::string liveObjects = "none";
    /** Push to delivery, one sample per delivered packet. */
    LatencyHistogram latency;
};

void printSummary(std::ostream& out, const RunSummary& summary);

/** `value` with `decimals` digits after the point. */
std::string fixed(double value, int decimals);

/** {"documents":{...},"packets":{...},"liveObjects":...,"latencyMs":{"p50":..,"p99":..}}. */
nlohmann::json summaryJson(const RunSummary& summary);

}  // namespace lumo::host
