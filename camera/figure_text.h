// Figure text: how the camera stores and answers a region's or line's position, "x,y,x,y,...",
// whole numbers 0 to 1000 in the camera's figure space; "" is no figure, and so is the "0" a
// read of an empty figure answers.
//
// Threading: free functions without shared state.
#pragma once

#include <string>
#include <vector>

#include "scene_generator.h"

namespace lumo_camera {

/** The comma-separated fields of `text`, as written (empty fields kept). */
std::vector<std::string> splitFigureFields(const std::string& text);

/** Whether the camera takes `text` as a position: "" or pairs of whole numbers up to 1000. */
bool isFigureText(const std::string& text);

/** The points of a position text; none for "", "0" or text that is no position. */
std::vector<ScenePoint> parseFigureText(const std::string& text);

}  // namespace lumo_camera
