// LibContext: the one process-wide context of the loaded library: its name (read by every log
// line of the engine and device agents), the optional registry of reference-counted objects and the
// unit-test options. Also the library-internal accessors behind the C entry points
// qoLibContext(), qoSdkVersion() and qoSetUnitTestOptions().
//
// Threading: every member function may be called from any thread; the name is guarded by m_mutex,
// the registry pointer is atomic (it is read by every object construction and destruction). The
// free functions may be called from any thread too; the unit-test options are guarded by their own
// mutex and never handed out by reference.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "qo/sdk/i_lib_context.h"
#include "qo/sdk/i_string_map.h"

namespace qo::sdk {

class LibContext : public ILibContext {
public:
    static constexpr const char* kDefaultName = "unnamed_lib_context";
    static constexpr const char* kIncorrectName = "incorrectly_named_lib_context";

    void setName(const char* name) override;
    void setRefCountableRegistry(IRefCountableRegistry* refCountableRegistry) override;

    ~LibContext() override;

    std::string name() const;
    IRefCountableRegistry* refCountableRegistry() const { return m_refCountableRegistry.load(); }

private:
    mutable std::mutex m_mutex;
    std::string m_name = kDefaultName;                                    // Guarded by m_mutex.
    std::atomic<IRefCountableRegistry*> m_refCountableRegistry{nullptr};  // Owned; set once.
};

LibContext& libContext();
const char* sdkVersion();

// The unit-test options are read by detached threads at any time, so every access goes through
// one lock: readers get a copy, writers replace or edit under the lock.

/** A snapshot of all unit-test options. */
std::map<std::string, std::string> unitTestOptions();
/** One unit-test option ("" when absent). */
std::string unitTestOption(const std::string& key);
/** Replaces all unit-test options at once. */
void setUnitTestOptions(std::map<std::string, std::string> options);
/** Sets one unit-test option, keeping the others. */
void setUnitTestOption(const std::string& key, std::string value);
/** Removes one unit-test option, keeping the others. */
void eraseUnitTestOption(const std::string& key);

}  // namespace qo::sdk

extern "C" {
__attribute__((visibility("default"))) qo::sdk::ILibContext* qoLibContext();
__attribute__((visibility("default"))) const char* qoSdkVersion();
__attribute__((visibility("default"))) void qoSetUnitTestOptions(
    const qo::sdk::IStringMap* options);
}
