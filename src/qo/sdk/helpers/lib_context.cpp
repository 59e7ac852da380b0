#include "qo/sdk/helpers/lib_context.h"

#include "qo/kit/debug.h"
#include "qo/kit/utils.h"
#include "qo/sdk/ref_countable.h"

namespace qo::sdk {

namespace {

kit::debug::detail::PrintFunc contextPrinter() {
    return kit::debug::detail::linePrinter("[qo::sdk::LibContext] ");
}

}  // namespace

void LibContext::setName(const char* name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto print = contextPrinter();
    if (m_name != kDefaultName && (!name || m_name != name)) {
        // A null name cannot rename a named context either; the report shows it as null.
        kit::debug::detail::assertionFailed(
            print, "m_name == kDefaultName || m_name == std::string(name)",
            kit::utils::format("Attempt to change LibContext name from %s to %s.",
                               kit::utils::toString(m_name).c_str(),
                               kit::utils::toString(name).c_str()),
            __FILE__, __LINE__);
        return;
    }
    QO_ASSERT_PRINT(print, name, "");
    if (!name) {
        m_name = kIncorrectName;
        return;
    }
    QO_ASSERT_PRINT(print, name[0] != '\0', "");
    m_name = name[0] != '\0' ? name : kIncorrectName;
}

void LibContext::setRefCountableRegistry(IRefCountableRegistry* refCountableRegistry) {
    std::lock_guard<std::mutex> lock(m_mutex);
    QO_ASSERT_PRINT(contextPrinter(), !m_refCountableRegistry,
                    "LibContext refCountableRegistry has already been set.");
    if (m_refCountableRegistry)
        return;
    m_refCountableRegistry = refCountableRegistry;
}

LibContext::~LibContext() {
    delete m_refCountableRegistry.exchange(nullptr);
}

std::string LibContext::name() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_name;
}

LibContext& libContext() {
    static LibContext context;
    return context;
}

const char* sdkVersion() {
    return "5.1.4 R1";
}

namespace {

// Never destroyed: detached threads may read the options while the process exits.
struct UnitTestOptions {
    std::mutex mutex;
    std::map<std::string, std::string> values;  // Guarded by mutex.
};

UnitTestOptions& unitTestOptionsStore() {
    static auto* const store = new UnitTestOptions;
    return *store;
}

}  // namespace

std::map<std::string, std::string> unitTestOptions() {
    UnitTestOptions& store = unitTestOptionsStore();
    std::lock_guard<std::mutex> lock(store.mutex);
    return store.values;
}

std::string unitTestOption(const std::string& key) {
    UnitTestOptions& store = unitTestOptionsStore();
    std::lock_guard<std::mutex> lock(store.mutex);
    const auto it = store.values.find(key);
    return it == store.values.end() ? std::string() : it->second;
}

void setUnitTestOptions(std::map<std::string, std::string> options) {
    UnitTestOptions& store = unitTestOptionsStore();
    std::lock_guard<std::mutex> lock(store.mutex);
    store.values.swap(options);
    // The old options are destroyed after the lock is released.
}

void setUnitTestOption(const std::string& key, std::string value) {
    UnitTestOptions& store = unitTestOptionsStore();
    std::lock_guard<std::mutex> lock(store.mutex);
    store.values[key] = std::move(value);
}

void eraseUnitTestOption(const std::string& key) {
    UnitTestOptions& store = unitTestOptionsStore();
    std::lock_guard<std::mutex> lock(store.mutex);
    store.values.erase(key);
}

namespace detail {

void reportObjectCreated(const IRefCountable* object, int32_t refCount) {
    if (IRefCountableRegistry* registry = libContext().refCountableRegistry())
        registry->objectCreated(object, refCount);
}

void reportObjectDestroyed(const IRefCountable* object, int32_t refCount) {
    if (IRefCountableRegistry* registry = libContext().refCountableRegistry())
        registry->objectDestroyed(object, refCount);
}

}  // namespace detail
}  // namespace qo::sdk

namespace {

void reportUnitTestOptionsFailure(const char* what) noexcept {
    try {
        QO_PRINT(std::string("ERROR: Unable to take the unit-test options: ") + what);
    } catch (...) {
        // Nothing left to report through.
    }
}

}  // namespace

extern "C" {

qo::sdk::ILibContext* qoLibContext() {
    return &qo::sdk::libContext();
}

const char* qoSdkVersion() {
    return qo::sdk::sdkVersion();
}

void qoSetUnitTestOptions(const qo::sdk::IStringMap* options) {
    if (!options)
        return;
    try {
        std::map<std::string, std::string> newOptions;
        for (int32_t i = 0; i < options->count(); ++i) {
            const char* key = options->key(i);
            const char* value = options->value(i);
            newOptions.emplace(key ? key : "", value ? value : "");  // The first value wins.
        }
        qo::sdk::setUnitTestOptions(std::move(newOptions));
    } catch (const std::exception& e) {
        reportUnitTestOptionsFailure(e.what());
    } catch (...) {
        // The map is the server's object: whatever it throws must not unwind into the server.
        reportUnitTestOptionsFailure("unknown exception");
    }
}

}  // extern "C"
