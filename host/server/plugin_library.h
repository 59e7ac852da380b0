// PluginLibrary: the plugin's shared library loaded into this process, with its C entry points.
//
// A library that does not export createQoPlugin still loads: its version and library context work
// without the plugin object, and only creating the plugin fails, with a clear message. The
// library is never unloaded: detached threads of the plugin may run its code after the last object
// is gone, and its library context lives until the process exits.
//
// Threading: immutable after load(); the entry points may be called from any thread.
#pragma once

#include <memory>
#include <string>

#include "server/plugin_entry_points.h"

namespace lumo::host {

class PluginLibrary {
public:
    static constexpr const char* kFileName = "liblumo_analytics_plugin.so";

    /** kFileName in the directory of the running executable or, where it is not, in the plugin
     * folder of the prefix the executable was installed into. */
    static std::string defaultPath();

    /**
     * Loads the library and resolves its exports. On failure returns null and puts a one-line
     * reason into *outError: the file is missing, dlopen() failed (with its text), or the library
     * is not this plugin (an export is missing).
     */
    static std::unique_ptr<PluginLibrary> load(const std::string& path, std::string* outError);

    const std::string& path() const { return m_entryPoints.libraryPath; }
    const PluginEntryPoints& entryPoints() const { return m_entryPoints; }
    bool hasCreatePlugin() const { return m_entryPoints.createPlugin != nullptr; }

private:
    explicit PluginLibrary(PluginEntryPoints entryPoints);

    PluginEntryPoints m_entryPoints;
};

/** The name a server gives a library's context: "/x/libfoo_bar.so.1" -> "foo_bar". */
std::string libraryContextName(const std::string& libraryPath);

}  // namespace lumo::host
