// `lumo-host bench`: many cameras through the plugin at once, with the figures an integrator asks
// for before putting the plugin on a loaded server: documents pushed, processed and dropped while
// an agent was busy, the plugin's CPU as a share of one core, push-to-delivery latency, threads
// and resident memory. With --churn, cameras bound and released one after another instead, with
// the threads, open files and memory they leave behind.
//
// The cameras' device URLs name a loopback address where no camera listens, so the settings road
// fails at once and only the metadata road is measured. The documents come from a few scenes
// generated before the plugin starts, shared among the cameras, so the generator's cost stays out
// of the figures.
//
// Threading: called from one thread; it runs its own feeding and sampling threads and joins them
// before it returns.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include <CLI/CLI.hpp>

#include "server/media_server.h"

namespace lumo::host {

struct BenchOptions {
    std::string pluginPath;
    int cameras = 128;
    int rate = 10;
    int seconds = 30;
    uint32_t seed = 1;
    int simulatedCores = 0;  // 0: the machine's own count.
    int sampleEverySeconds = 0;
    int churnRounds = 0;
    bool json = false;
};

/** Nothing listens on port 80 here, so the plugin's camera requests are refused at once. */
constexpr char kNoCameraUrl[] = "http://127.0.0.1/";

CLI::App* addBenchCommand(CLI::App& root, BenchOptions& options);
int runBenchCommand(const BenchOptions& options, std::ostream& out, std::ostream& err);
/** The --churn run. */
int runChurn(const BenchOptions& options, std::ostream& out, std::ostream& err);
/** The server's options for the bench's runs. */
MediaServerOptions benchServerOptions(const BenchOptions& options);

}  // namespace lumo::host
