// Packet lines: one line of text per metadata packet the plugin delivered, for people reading a
// replay or a demo. Every line starts with the packet's kind and time; then come its items, each
// with type, track, box and attributes, and for events caption and description.
//
//   object t=1100000 dur=1: qo.lumo.Human track=5c1e9a07 box=0.250,0.250,0.250,0.500
//       {qo.sys.color: Green}; qo.lumo.Car track=...
//   best-shot t=1001000 track=5c1e9a07 url="http://10.1.2.3/shot.jpg" {Object ID: 7}
//   event t=1100000 dur=1: qo.lumo.Enter track=0b7d33f1 active caption="Enter"
//       description="Event Region : [3]"
//
// (shown wrapped; each packet is a single line). Tracks show their first eight hexadecimal
// digits; boxes are x, y, width, height as fractions of the frame, left out when unset; texts are
// quoted in C literal syntax.
//
// For programs the same packet is also one line of JSON, with the whole track id and the box as
// an array:
//
//   {"kind":"object","t":1100000,"dur":1,"items":[{"type":"qo.lumo.Human",
//       "track":"5c1e9a07-...","box":[0.25,0.25,0.25,0.5],"attributes":{"qo.sys.color":"Green"}}]}
//
// Threading: free functions without shared state; packets are only read.
#pragma once

#include <string>

#include "qo/sdk/analytics/i_metadata_packet.h"
#include "qo/sdk/uuid.h"
#include "report/packet_record.h"

namespace lumo::host {

/** The packet's line, without a line feed. */
std::string formatPacketLine(const qo::sdk::analytics::IMetadataPacket* packet);
std::string formatPacketLine(const PacketRecord& record);

/** The packet as one line of JSON, without a line feed. */
std::string formatPacketJson(const PacketRecord& record);

/** The first eight hexadecimal digits of a track id. */
std::string shortTrackId(const qo::sdk::Uuid& trackId);

}  // namespace lumo::host
