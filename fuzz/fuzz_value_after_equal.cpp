// The reply reader must agree with the regular expression "=(.*)" it stands for (checked on
// short inputs, where std::regex itself is safe) and must not fail on any reply.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>

#include "lumo/utils.h"

using namespace qo::vms_server_plugins::analytics::lumo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string reply(reinterpret_cast<const char*>(data), size);
    const std::string value = getValueAfterEqualSign(reply);
    if (size > 512)
        return 0;
    static const std::regex kValue("=(.*)");
    std::smatch match;
    const std::string expected = std::regex_search(reply, match, kValue) ? match[1].str() : "0";
    if (value != expected)
        std::abort();
    return 0;
}
