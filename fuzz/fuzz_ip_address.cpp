// The address reader must agree with the regular expression (\d{1,3}\.){3}\d{1,3} it stands
// for (checked on short inputs, where std::regex itself is safe).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>

#include "lumo/utils.h"

using namespace qo::vms_server_plugins::analytics::lumo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string url(reinterpret_cast<const char*>(data), size);
    const std::string address = extractIpAddress(url);
    if (size > 512)
        return 0;
    static const std::regex kAddress(R"((\d{1,3}\.){3}\d{1,3})");
    std::smatch match;
    const std::string expected = std::regex_search(url, match, kAddress) ? match[0].str() : "";
    if (address != expected)
        std::abort();
    return 0;
}
