// The demo's scene as the plugin sees it: the plugin's type ids of the scene's objects and events;
// the two counting lines and the region the demo draws in the settings dialog, the changes that
// draw them, and the same figures read back, from the dialog (fractions of the frame) and from the
// camera's parameters (the camera's figure space), which the scene counts on.
//
// Threading: free functions without shared state.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "parameter_table.h"
#include "report/frame_picture.h"
#include "scene_generator.h"

namespace lumo::host {

/** The plugin's type id for a scene object, "qo.lumo.Human" and so on. */
const char* objectTypeId(lumo_camera::SceneObjectKind kind);
/** The plugin's type id for a scene event, "qo.lumo.LineCounting" and so on. */
const char* eventTypeId(lumo_camera::SceneEventKind kind);

/** The dialog's changes that draw the figures and switch on their events. */
std::map<std::string, std::string> drawingChanges();

/** The figures as drawn, for a run without a camera to read them back from. */
std::vector<ShownFigure> drawnFigures();
std::vector<lumo_camera::SceneFigure> drawnSceneFigures(bool lines);

/** The enabled figures of one kind ("AIX_LINE_", "AIX_REGION_") as the camera stores them. */
std::vector<lumo_camera::SceneFigure> cameraFigures(const lumo_camera::ParameterTable& table,
                                                    const std::string& kind);

/** The figures among the dialog's values. */
std::vector<ShownFigure> shownFigures(const std::map<std::string, std::string>& values);

/** [{"slot":..,"points":[[x,y],...]},...] */
nlohmann::json figuresJson(const std::vector<lumo_camera::SceneFigure>& figures);

}  // namespace lumo::host
