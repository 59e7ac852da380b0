// PluginEntryPoints: the four C functions through which a server reaches the plugin library.
//
// Kept apart from the loader so that the media server can be driven by any source of entry points:
// the dlopen()ed library in production, in-process stand-ins in tests.
//
// Threading: a plain value; the functions themselves may be called from any thread.
#pragma once

#include <string>

#include "qo/sdk/i_lib_context.h"
#include "qo/sdk/i_plugin.h"
#include "qo/sdk/i_string_map.h"

namespace lumo::host {

struct PluginEntryPoints {
    /** Where the functions come from; names the library in messages. */
    std::string libraryPath;

    qo::sdk::ILibContext* (*libContext)() = nullptr;
    const char* (*sdkVersion)() = nullptr;
    void (*setUnitTestOptions)(const qo::sdk::IStringMap* options) = nullptr;
    /** Null when the library does not export createQoPlugin; version and naming still work. */
    qo::sdk::IPlugin* (*createPlugin)() = nullptr;
};

}  // namespace lumo::host
