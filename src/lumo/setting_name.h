// What a dialog setting is, read once from its name: the kind of value it holds (which decides how
// the value travels to the camera and back) and its slot. Dialog slots count from 1, the camera's
// from 0; a setting without a slot keeps the same name on both sides. Push, readback and the
// figure writes all take their decisions from this reading, so a name is never searched for parts
// of itself in more than one place.
//
// All functions are pure and may run on any number of threads at once.
#pragma once

#include <string>

namespace qo::vms_server_plugins::analytics::lumo {

enum class SettingKind {
    calibration,  // TS_CALIBRATION: the plugin's timestamp offset, never sent to the camera
    highlight,    // HL_DURATION: the plugin's highlight duration, never sent to the camera
    pluginOnly,   // any other name outside the camera's "AIX" parameters
    boolean,      // "true"/"false" in the dialog, 1/0 on the camera
    verbatim,     // numbers and texts passed through unchanged
    displayType,  // whether an object class is shown; also the plugin's own display switch
    regionType,   // "Region"/"Spot" in the dialog, 0/1 on the camera
    figure,       // a region, exclude region or line drawn in the dialog
    objectSize,   // the object size limits
    lineReset,    // momentary button resetting one line's count
    lineResetAll  // momentary button resetting every line's count
};

enum class FigureType { none, region, excludeRegion, line };

enum class ShownClass { none, person, bicycle, car };

struct SettingName {
    std::string name;  // as the dialog has it
    SettingKind kind = SettingKind::pluginOnly;
    std::string stem;        // the name without its slot
    int dialogSlot = 0;      // 0: the setting has no slot
    std::string cameraSlot;  // dialogSlot - 1 as text; empty without a slot
    FigureType figure = FigureType::none;
    ShownClass shownClass = ShownClass::none;

    bool hasSlot() const { return dialogSlot > 0; }
    /** The camera's parameter of this setting. */
    std::string cameraName() const { return stem + cameraSlot; }
    /** The camera's parameter `stem` for the same slot, e.g. the enable flag of a figure. */
    std::string cameraName(const std::string& otherStem) const { return otherStem + cameraSlot; }
    /** The dialog's setting `stem` for the same slot. */
    std::string dialogName(const std::string& otherStem) const;
    /** The camera parameter holding the figure's live shape (figures only). */
    std::string currentPositionName() const;
};

SettingName parseSettingName(const std::string& name);

/** The camera parameters that go with a figure's slot (the slot number follows each). */
struct FigureParameters {
    const char* enable;
    const char* display;
    const char* clear;
};

/** The parameters of a figure type; those of regions for FigureType::none. */
const FigureParameters& figureParameters(FigureType type);

/** The direction a line counts in, per camera slot: 1 for "left", 0 for "right". */
constexpr char kLineDirection[] = "AIX_LINE_DIRECTION";

}  // namespace qo::vms_server_plugins::analytics::lumo
