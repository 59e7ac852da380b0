// The readers of the metadata document's sections: a frame and its objects
// (metadata_objects.cpp), the stream with its frame and events (metadata_events.cpp). Each fills
// the payload from the parsed tree and throws only when memory runs out.
//
// Threading: each call works on its own payload; any number may run at once.
#pragma once

#include "lumo/metadata.h"
#include "lumo/metadata_tree.h"

namespace qo::vms_server_plugins::analytics::lumo::Metadata::tree {

/** The frame's time, coordinate transformation and objects; they replace an earlier frame's. */
void readFrame(_Payload& payload, const Node* frame);

/** The stream's frame (through readFrame) and its events. */
void readStream(_Payload& payload, const Node* stream);

}  // namespace qo::vms_server_plugins::analytics::lumo::Metadata::tree
