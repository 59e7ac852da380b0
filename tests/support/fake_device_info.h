// The device a test binds: the server's description of one camera, with the address and
// credentials the test gives and fixed values for the rest (a quote and a tab among them, to
// exercise quoting). Counts password reads: the password must never reach a log.
//
// Threading: every getter may be called from any thread; the read count is atomic.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "qo/sdk/i_device_info.h"
#include "qo/sdk/ref_countable.h"

namespace lumo_test {

class FakeDeviceInfo : public qo::sdk::RefCountable<qo::sdk::IDeviceInfo> {
public:
    /** No camera answers at the default address: every exchange fails at once. */
    explicit FakeDeviceInfo(std::string id = "camera-1", std::string url = "http://camera.invalid/",
                            std::string login = "admin", std::string password = "secret")
        : m_id(std::move(id)),
          m_url(std::move(url)),
          m_login(std::move(login)),
          m_password(std::move(password)) {}

    const char* id() const override { return m_id.c_str(); }
    const char* vendor() const override { return "Lumovane"; }
    const char* model() const override { return "LUMO \"AI\""; }
    const char* firmware() const override { return "1.2.3"; }
    const char* name() const override { return "Gate\tcam"; }
    const char* url() const override { return m_url.c_str(); }
    const char* login() const override { return m_login.c_str(); }
    const char* password() const override { return ++passwordReads, m_password.c_str(); }
    const char* sharedId() const override { return "shared"; }
    const char* logicalId() const override { return "7"; }
    int32_t channelNumber() const override { return 2; }

    mutable std::atomic<int> passwordReads{0};

private:
    const std::string m_id, m_url, m_login, m_password;
};

}  // namespace lumo_test
