// `lumo-host demo`: the whole system in one run, for a person trying the plugin. It loads the
// plugin, starts the substitute camera in this process, binds it with the dialog's defaults, draws
// two counting lines and a region through the settings road and reads them back, plays a
// generated street scene through the device agent (time-compressed), prints every packet the
// plugin delivers and a summary, and draws the last frame's boxes with the figures into an SVG
// picture.
//
// Without a camera (port 80 cannot be bound) it goes on with the metadata part alone, the scene
// counting on the figures as drawn.
//
// Threading: called from one thread; the camera serves on its own threads, the plugin delivers on
// its own.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace lumo::host {

/** Runs `lumo-host demo`; `args` are the arguments after "demo". @return The exit status. */
int runDemoCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace lumo::host
