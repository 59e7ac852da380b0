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

#include <cstdint>
#include <ostream>
#include <string>

#include <CLI/CLI.hpp>

namespace lumo::host {

struct DemoOptions {
    std::string pluginPath;
    std::string cameraAddress = "127.0.0.2";
    double seconds = 20;
    double rate = 10;
    uint32_t seed = 1;
    bool json = false;
    std::string svgPath = "demo-frame.svg";
    bool quiet = false;
};

CLI::App* addDemoCommand(CLI::App& root, DemoOptions& options);
int runDemoCommand(const DemoOptions& options, std::ostream& out, std::ostream& err);

}  // namespace lumo::host
