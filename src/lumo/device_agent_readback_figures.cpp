// Figure readback: the region, exclude-region and line slots read from the camera into the dialog's
// figures, with the enable checkbox of each slot. The full readback reads a slot among the other
// settings, the figure readback (getCurrentRoI) only the 24 slots; one reader serves both, their
// differences held in a FigureReading.
#include <exception>
#include <vector>

#include "lumo/device_agent.h"
#include "lumo/geometry.h"
#include "lumo/readback.h"
#include "lumo/settings_numbers.h"
#include "lumo/utils.h"

namespace qo::vms_server_plugins::analytics::lumo {

using Json = nlohmann::json;

/** What sets the two readbacks of a figure slot apart. */
struct FigureReading {
    /** The value of a slot without a figure. */
    const char* emptyFigure;
    /**
     * Older firmware answers "Ok" for a current position: true reads the stored position instead,
     * false leaves the slot out.
     */
    bool storedPositionOnOk;
    /** Whether a line's counting direction is read. */
    bool readsDirection;
    /**
     * true: "showOnCamera" follows the slot's enable flag. false: a disabled slot is also switched
     * off on the camera's picture and shows false; an enabled one shows the camera's display flag.
     */
    bool enableDecidesShown;
    /**
     * Whether the points are read before the enable flag: a slot whose points do not convert then
     * reports nothing and the camera's display is left alone; otherwise its enable is reported.
     */
    bool pointsFirst;
};

const FigureReading DeviceAgent::kFullReadback{
    "{\"figure\":null,\"label\":\"\",\"showOnCamera\":false}", true, true, false, true};
const FigureReading DeviceAgent::kFigureReadback{"{\"figure\":null}", false, false, true, false};

namespace {

constexpr int kSlotCount = 8;

/** Compact JSON; texts with invalid UTF-8 are mended rather than thrown at. */
std::string compact(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

bool DeviceAgent::readbackFigure(const SettingName& setting, std::string reply,
                                 const FigureReading& how, Readback& readback) const {
    const bool isLine = setting.figure == FigureType::line;
    std::string value = getValueAfterEqualSign(reply);
    if (reply.find("Ok") != std::string::npos) {
        if (!how.storedPositionOnOk)
            return true;
        // Unanswered, the "Ok" alone would read as an empty slot.
        if (!readbackRequest(readback, readQuery(setting.cameraName()), reply)) {
            readback.unanswered(setting.name);
            return true;
        }
        value = getValueAfterEqualSign(reply);
    } else if (value != "0") {
        value = isLine ? getCurrentLine(value) : getCurrentRegion(value);
    }
    if (value == "0") {
        recordSetting(setting.name, how.emptyFigure, &readback);
        return true;
    }

    Json figure = Json::object();
    if (how.pointsFirst)
        figure["points"] = cameraTextToFigurePoints(value);
    if (isLine && how.readsDirection) {
        std::string direction;
        if (readbackRequest(readback, readQuery(setting.cameraName(kLineDirection)), direction)) {
            const auto left = parseWholeNumber(getValueAfterEqualSign(direction));
            if (!left)
                return false;
            figure["direction"] = *left != 0 ? "left" : "right";
        }
    }
    Json figureValue = Json::object();

    const FigureParameters& parameters = figureParameters(setting.figure);
    std::string enable;
    if (readbackRequest(readback, readQuery(setting.cameraName(parameters.enable)), enable)) {
        const bool enabled = getValueAfterEqualSign(enable) != "0";
        recordSetting(setting.dialogName(parameters.enable), enabled ? "true" : "false", &readback);
        if (how.enableDecidesShown) {
            figureValue["showOnCamera"] = enabled;
        } else if (!enabled) {
            figureValue["showOnCamera"] = false;
            // A disabled figure is not drawn on the camera's picture either.
            std::string ignored;
            readbackRequest(readback, writeQuery(setting.cameraName(parameters.display), "0"),
                            ignored);
        }
    }

    std::string display;
    if (readbackRequest(readback, readQuery(setting.cameraName(parameters.display)), display) &&
        !figureValue.contains("showOnCamera")) {
        const auto shown = parseWholeNumber(getValueAfterEqualSign(display));
        if (!shown)
            return false;
        figureValue["showOnCamera"] = *shown != 0;
    }

    if (!how.pointsFirst)
        figure["points"] = cameraTextToFigurePoints(value);
    figureValue["figure"] = figure;
    recordSetting(setting.name, compact(figureValue), &readback);
    return true;
}

void DeviceAgent::getCurrentRoI(SettingsResult* outResult) const {
    static const char* const kFigures[] = {"AIX_REGION_POSITION", "AIX_EXCLUDE_REGION_POSITION",
                                           "AIX_LINE_POSITION"};
    Readback readback;
    std::vector<std::string> names;
    for (const char* figure : kFigures) {
        for (int slot = 1; slot <= kSlotCount; ++slot)
            names.push_back(figure + std::to_string(slot));
    }
    readback.run(names, [this, &names, &readback](size_t i) {
        const SettingName setting = parseSettingName(names[i]);
        std::string reply;
        if (!readbackRequest(readback, readQuery(setting.currentPositionName()), reply)) {
            readback.unanswered(setting.name);
            return;
        }
        bool understood = false;
        try {
            understood = readbackFigure(setting, reply, kFigureReadback, readback);
        } catch (const std::exception&) {
            // The geometry refused the camera's text.
        }
        if (!understood)
            readback.failed(setting.name, Readback::kNotUnderstood);
    });
    *outResult = SettingsResult(readback.finish().releasePtr());
}

}  // namespace qo::vms_server_plugins::analytics::lumo
