// Camera line replies: rebuilding fails only with the standard conversion errors, never by
// crashing or reading past the reply.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "lumo/geometry.h"

using namespace qo::vms_server_plugins::analytics::lumo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string reply(reinterpret_cast<const char*>(data), size);
    try {
        const std::string polyline = getCurrentLine(reply);
        (void)cameraTextToFigurePoints(polyline);
    } catch (const std::invalid_argument&) {
    } catch (const std::out_of_range&) {
    }
    return 0;
}
