// FakeDeviceInfo: the server's description of a camera, with texts that need escaping in renderings
// and a count of password reads, since the password must never reach a log.
//
// Threading: read-only once made, apart from the read count (tests read it on their own thread).
#pragma once

#include <string>
#include <utility>

#include "qo/sdk/i_device_info.h"
#include "qo/sdk/ref_countable.h"

namespace qo::sdk::test {

class FakeDeviceInfo : public RefCountable<IDeviceInfo> {
public:
    explicit FakeDeviceInfo(std::string id = "{dev-id}") : m_id(std::move(id)) {}

    const char* id() const override { return m_id.c_str(); }
    const char* vendor() const override { return "Lumovane"; }
    const char* model() const override { return "LUMO \"AI\""; }
    const char* firmware() const override { return "1.2.3"; }
    const char* name() const override { return "Gate\tcam"; }
    const char* url() const override { return "http://10.0.0.5/onvif"; }
    const char* login() const override { return "admin"; }
    const char* password() const override {
        ++passwordReads;
        return "secret";
    }
    const char* sharedId() const override { return "shared"; }
    const char* logicalId() const override { return "7"; }
    int32_t channelNumber() const override { return 2; }

    mutable int passwordReads = 0;

private:
    std::string m_id;
};

}  // namespace qo::sdk::test
