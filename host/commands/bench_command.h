// `lumo-host bench`: many cameras through the plugin at once, with the figures an integrator asks
// for before putting the plugin on a loaded server: documents pushed, processed and dropped while
// an agent was busy, the plugin's CPU as a share of one core, push-to-delivery latency, threads
// and resident memory.
//
// The cameras' device URLs name a loopback address where no camera listens, so the settings road
// fails at once and only the metadata road is measured. The documents come from a few scenes
// generated before the plugin starts, shared among the cameras, so the generator's cost stays out
// of the figures.
//
// Threading: called from one thread; it runs its own feeding and sampling threads and joins them
// before it returns.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace lumo::host {

/** Runs `lumo-host bench`; `args` are the arguments after "bench". @return The exit status. */
int runBenchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace lumo::host
