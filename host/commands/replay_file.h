// Replay files: reading one recorded ONVIF metadata document for `lumo-host replay`, with a
// one-line reason, saying what to do, when a file cannot serve.
//
// A file that cannot be read, is empty, holds binary data or is XML cut short or broken is
// refused before it reaches the plugin: a person gave the wrong file, and the plugin would only
// drop it without a word. Text that is not XML at all still goes to the plugin, which drops it,
// as it drops a well-formed document that holds no metadata.
//
// Threading: a free function without shared state.
#pragma once

#include <string>

namespace lumo::host {

/** @return Empty, with the file in *outContents; or why the file cannot be replayed. */
std::string readReplayFile(const std::string& path, std::string* outContents);

}  // namespace lumo::host
