#include "lumo/settings_numbers.h"

#include <limits>

namespace qo::vms_server_plugins::analytics::lumo {

namespace {
constexpr int64_t kCalibrationStepUs = 50000;
}  // namespace

std::optional<int32_t> calibrationOffsetUs(const std::string& text) {
    const auto steps = parseWholeNumber(text);
    if (!steps)
        return std::nullopt;
    const int64_t offset = *steps * kCalibrationStepUs;
    if (offset < std::numeric_limits<int32_t>::min() ||
        offset > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int32_t>(offset);
}

}  // namespace qo::vms_server_plugins::analytics::lumo
