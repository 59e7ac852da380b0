// PluginLibrary: the built plugin loaded as the server loads it (dlopen with RTLD_LOCAL), once
// per process and never unloaded, so that the library's own statics live as long as the tests.
//
// Threading: the first call of instance() loads; afterwards read-only.
#pragma once

#include <dlfcn.h>

#include <string>

namespace qo::sdk::test {

class PluginLibrary {
public:
    static const PluginLibrary& instance() {
        static const PluginLibrary library;
        return library;
    }

    bool loaded() const { return m_handle != nullptr; }
    const std::string& loadError() const { return m_loadError; }

    template <typename Function>
    Function* symbol(const char* name) const {
        return m_handle ? reinterpret_cast<Function*>(dlsym(m_handle, name)) : nullptr;
    }

private:
    PluginLibrary() : m_handle(dlopen(LUMO_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL)) {
        if (!m_handle) {
            const char* error = dlerror();
            m_loadError = error ? error : "unknown dlopen() failure";
        }
    }

    void* m_handle;
    std::string m_loadError;
};

}  // namespace qo::sdk::test
