// A server that disables or reloads the plugin unloads the library right after releasing its
// objects, while the plugin's detached settings threads (the write, the five-second hold-off) are
// still running. The process must survive them. Runs in a process of its own, started afresh, so
// that the library is loaded there once only and a crash shows as a failure.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "server/media_server.h"
#include "support/test_paths.h"

namespace lumo::host::test {
namespace {

template <typename Function>
bool resolve(void* library, const char* name, Function* out) {
    *out = reinterpret_cast<Function>(dlsym(library, name));
    return *out != nullptr;
}

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
    _exit(2);
}

/** Loads, uses, releases and unloads the plugin, then waits out its hold-off; exits 0. */
[[noreturn]] void useReleaseAndUnload() {
    void* const library = dlopen(pluginPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        fail(std::string("dlopen: ") + dlerror());
    PluginEntryPoints entryPoints;
    entryPoints.libraryPath = pluginPath();
    if (!resolve(library, "qoLibContext", &entryPoints.libContext) ||
        !resolve(library, "qoSdkVersion", &entryPoints.sdkVersion) ||
        !resolve(library, "qoSetUnitTestOptions", &entryPoints.setUnitTestOptions) ||
        !resolve(library, "createQoPlugin", &entryPoints.createPlugin)) {
        fail("an entry point is missing");
    }
    {
        MediaServerOptions options;
        options.installRegistry = false;  // The registry would live in the server, not the plugin.
        MediaServer server(entryPoints, options);
        std::string error;
        if (!server.start(&error))
            fail(error);
        DeviceDescription camera;
        camera.url = "http://127.0.0.254/onvif";  // Nobody answers there: writes fail at once.
        MediaServer::CameraId id = 0;
        if (!server.addCamera(camera, &id, &error))
            fail(error);
        if (!server.changeSettings(id, {{"AIX_PERSON_SENSITIVITY", "7"}}).ok)
            fail("the settings change failed");
        server.shutdown(std::chrono::milliseconds(0));
    }
    if (dlclose(library) != 0)
        fail(std::string("dlclose: ") + dlerror());
    // The hold-off thread wakes five seconds after the write began and then releases the agent.
    std::this_thread::sleep_for(std::chrono::seconds(7));
    _exit(0);
}

TEST(PluginUnload, DetachedSettingsThreadsOutliveTheUnloadedLibrary) {
    // A fresh process: nothing of this test program may have loaded the library before.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(useReleaseAndUnload(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace lumo::host::test
