// `lumo-host replay FILE...`: recorded ONVIF metadata documents through one camera's device agent,
// one at a time, each packet the plugin delivers printed as a line, then a summary.
//
// Threading: called from one thread; the plugin delivers on its own.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "server/device_info.h"

namespace lumo::host {

struct ReplayOptions {
    std::string pluginPath;
    DeviceDescription device;
    int64_t startUs = 1'000'000;
    int64_t stepUs = 100'000;
    int64_t firstPacketWaitMs = 250;
    std::vector<std::string> files;
};

CLI::App* addReplayCommand(CLI::App& root, ReplayOptions& options);
int runReplay(const ReplayOptions& options, std::ostream& out, std::ostream& err);

}  // namespace lumo::host
