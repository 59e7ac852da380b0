// Camera region replies: rebuilding must never crash or read past the reply, and what it
// rebuilds must read back as figure points.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "lumo/geometry.h"

using namespace qo::vms_server_plugins::analytics::lumo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string reply(reinterpret_cast<const char*>(data), size);
    try {
        // A count without its part throws: the readback drops the setting.
        const nlohmann::json points = cameraTextToFigurePoints(getCurrentRegion(reply));
        if (!points.is_array())
            std::abort();
    } catch (const std::invalid_argument&) {
    } catch (const std::out_of_range&) {
    }
    return 0;
}
