#include "lumo/setting_name.h"

#include <string_view>

#include "lumo/settings_numbers.h"

namespace qo::vms_server_plugins::analytics::lumo {

namespace {

constexpr std::string_view kPosition = "POSITION";

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

struct FigurePrefix {
    std::string_view prefix;  // followed by "POSITION"
    FigureType type;
};

constexpr FigurePrefix kFigures[] = {{"AIX_EXCLUDE_REGION_", FigureType::excludeRegion},
                                     {"AIX_REGION_", FigureType::region},
                                     {"AIX_LINE_", FigureType::line}};

// Endings of the settings whose value the camera takes as the dialog has it.
constexpr std::string_view kVerbatimEndings[] = {"DURATION",
                                                 "SENSITIVITY",
                                                 "_HOUR",
                                                 "_MIN",
                                                 "OSD_X",
                                                 "OSD_Y",
                                                 "OSD_STRING",
                                                 "OSD_FONTSIZE",
                                                 "OSD_COLOR",
                                                 "OSD_FONTCOLOR",
                                                 "OSD_DISPLAY_TIME",
                                                 "OSD_IMAGETYPE",
                                                 "OSD_DISPLAYNUM",
                                                 "OSD_DISPLAY_STREAM",
                                                 "REGION_HEIGHT",
                                                 "REGION_WIDTH"};

struct ClassPrefix {
    std::string_view prefix;
    ShownClass shownClass;
};

constexpr ClassPrefix kClasses[] = {{"AIX_PERSON_", ShownClass::person},
                                    {"AIX_BICYCLE_", ShownClass::bicycle},
                                    {"AIX_CAR_", ShownClass::car}};

/** Splits off the trailing digits: the slot, counted from 1. */
void readSlot(SettingName& setting) {
    const std::string& name = setting.name;
    size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9')
        --digits;
    const auto slot = parseWholeNumber(std::string_view(name).substr(digits));
    if (digits == name.size() || !slot || *slot < 1) {
        setting.stem = name;
        return;
    }
    setting.stem = name.substr(0, digits);
    setting.dialogSlot = *slot;
    setting.cameraSlot = std::to_string(*slot - 1);
}

SettingKind camerasKind(SettingName& setting) {
    const std::string_view stem = setting.stem;
    if (stem == "AIX_LINE_COUNT_RESET_ALL")
        return SettingKind::lineResetAll;
    if (startsWith(stem, "AIX_LINE_COUNT_RESET"))
        return SettingKind::lineReset;
    if (stem == "AIX_OBJECT_DETECTION_SIZE")
        return SettingKind::objectSize;
    for (const FigurePrefix& figure : kFigures) {
        if (startsWith(stem, figure.prefix) &&
            startsWith(stem.substr(figure.prefix.size()), kPosition)) {
            setting.figure = figure.type;
            return SettingKind::figure;
        }
    }
    for (const std::string_view ending : kVerbatimEndings) {
        if (endsWith(stem, ending))
            return SettingKind::verbatim;
    }
    if (endsWith(stem, "_REGION_TYPE"))
        return SettingKind::regionType;
    if (endsWith(stem, "_DISPLAY_TYPE")) {
        for (const ClassPrefix& prefix : kClasses) {
            if (startsWith(stem, prefix.prefix))
                setting.shownClass = prefix.shownClass;
        }
        return SettingKind::displayType;
    }
    return SettingKind::boolean;
}

}  // namespace

std::string SettingName::dialogName(const std::string& otherStem) const {
    return hasSlot() ? otherStem + std::to_string(dialogSlot) : otherStem;
}

std::string SettingName::currentPositionName() const {
    for (const FigurePrefix& prefix : kFigures) {
        if (prefix.type == figure) {
            return std::string(prefix.prefix) + "CURRENT_" + stem.substr(prefix.prefix.size()) +
                   cameraSlot;
        }
    }
    return cameraName();
}

const FigureParameters& figureParameters(FigureType type) {
    static constexpr FigureParameters kRegion{"AIX_REGION_ENABLE", "AIX_REGION_DISPLAY_ENABLE",
                                              "AIX_REGION_CLEAR"};
    static constexpr FigureParameters kExcludeRegion{"AIX_EXCLUDE_REGION_ENABLE",
                                                     "AIX_EXCLUDE_REGION_DISPLAY_ENABLE",
                                                     "AIX_EXCLUDE_REGION_CLEAR"};
    static constexpr FigureParameters kLine{"AIX_LINE_ENABLE", "AIX_LINE_DISPLAY_ENABLE",
                                            "AIX_LINE_CLEAR"};
    if (type == FigureType::excludeRegion)
        return kExcludeRegion;
    if (type == FigureType::line)
        return kLine;
    return kRegion;
}

SettingName parseSettingName(const std::string& name) {
    SettingName setting;
    setting.name = name;
    readSlot(setting);
    if (name == "TS_CALIBRATION")
        setting.kind = SettingKind::calibration;
    else if (name == "HL_DURATION")
        setting.kind = SettingKind::highlight;
    else if (startsWith(name, "AIX"))
        setting.kind = camerasKind(setting);
    return setting;
}

}  // namespace qo::vms_server_plugins::analytics::lumo
