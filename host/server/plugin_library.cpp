#include "server/plugin_library.h"

#include <dlfcn.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumo::host {

namespace {

constexpr const char* kBuildOrName = " (build it with make, or give its path with --plugin)";
constexpr const char* kNameThePlugin =
    " (give the path of the built liblumo_analytics_plugin.so with --plugin)";

std::string directoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

template <class Function>
bool resolve(void* handle, const char* name, Function* outFunction) {
    *outFunction = reinterpret_cast<Function>(dlsym(handle, name));
    return *outFunction != nullptr;
}

}  // namespace

std::string PluginLibrary::defaultPath() {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0)
        return std::string("./") + kFileName;
    const std::string directory = directoryOf(std::string(buffer, static_cast<size_t>(length)));
    const std::string beside = directory + "/" + kFileName;
#ifdef LUMO_PLUGIN_INSTALL_DIR
    // Installed, lumo-host lies in bin and the plugin in the plugin folder of the same prefix.
    const std::string folder = LUMO_PLUGIN_INSTALL_DIR;
    const std::string installed =
        (folder.rfind('/', 0) == 0 ? folder : directory + "/../" + folder) + "/" + kFileName;
    if (access(beside.c_str(), F_OK) != 0 && access(installed.c_str(), F_OK) == 0)
        return installed;
#endif
    return beside;
}

PluginLibrary::PluginLibrary(PluginEntryPoints entryPoints)
    : m_entryPoints(std::move(entryPoints)) {}

std::unique_ptr<PluginLibrary> PluginLibrary::load(const std::string& path, std::string* outError) {
    // Without a slash dlopen() would search the system's library path instead of the named file.
    const std::string filePath = path.find('/') == std::string::npos ? "./" + path : path;

    struct stat status {};
    if (path.empty() || stat(filePath.c_str(), &status) != 0) {
        *outError = "plugin library not found: " + path + kBuildOrName;
        return nullptr;
    }

    void* const handle = dlopen(filePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* const reason = dlerror();
        *outError = "cannot load the plugin library: " + std::string(reason ? reason : path) +
                    kNameThePlugin;
        return nullptr;
    }

    PluginEntryPoints entryPoints;
    entryPoints.libraryPath = path;
    const char* missing = nullptr;
    if (!resolve(handle, "qoLibContext", &entryPoints.libContext))
        missing = "qoLibContext";
    else if (!resolve(handle, "qoSdkVersion", &entryPoints.sdkVersion))
        missing = "qoSdkVersion";
    else if (!resolve(handle, "qoSetUnitTestOptions", &entryPoints.setUnitTestOptions))
        missing = "qoSetUnitTestOptions";
    if (missing) {
        // None of its code has run beyond its initialisers, so this one may go again.
        dlclose(handle);
        *outError = path + " is not the LUMO analytics plugin: it does not export " + missing +
                    kNameThePlugin;
        return nullptr;
    }
    resolve(handle, "createQoPlugin", &entryPoints.createPlugin);

    return std::unique_ptr<PluginLibrary>(new PluginLibrary(std::move(entryPoints)));
}

std::string libraryContextName(const std::string& libraryPath) {
    std::string name = libraryPath.substr(libraryPath.rfind('/') + 1);
    const size_t so = name.find(".so");
    if (so != std::string::npos)
        name.erase(so);
    if (name.rfind("lib", 0) == 0 && name.size() > 3)
        name.erase(0, 3);
    return name;
}

}  // namespace lumo::host
