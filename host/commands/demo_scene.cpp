#include "commands/demo_scene.h"

#include "figure_text.h"

namespace lumo::host {

namespace {

using Json = nlohmann::json;
using lumo_camera::SceneFigure;

// What the demo draws in the dialog, in the camera's figure space 0..999.
struct DrawnFigure {
    bool line;
    int number;  // In the dialog, 1..8.
    std::vector<lumo_camera::ScenePoint> points;
    const char* direction;
};

const DrawnFigure kDrawn[] = {
    {true, 1, {{400, 360}, {400, 990}}, "right"},
    {true, 2, {{720, 520}, {760, 830}}, "left"},
    {false, 1, {{450, 800}, {620, 800}, {620, 985}, {450, 985}}, ""},
};

}  // namespace

const char* objectTypeId(lumo_camera::SceneObjectKind kind) {
    static const char* const kTypes[] = {"qo.lumo.Human", "qo.lumo.Car", "qo.lumo.Truck",
                                         "qo.lumo.Bicycle", "qo.lumo.Motorcycle"};
    return kTypes[static_cast<int>(kind)];
}

const char* eventTypeId(lumo_camera::SceneEventKind kind) {
    static const char* const kTypes[] = {
        "qo.lumo.LineCounting", "qo.lumo.Appear",    "qo.lumo.Enter",     "qo.lumo.Stay",
        "qo.lumo.Exit",         "qo.lumo.Loitering", "qo.lumo.Tampering", "qo.lumo.SettingChanged"};
    return kTypes[static_cast<int>(kind)];
}

std::map<std::string, std::string> drawingChanges() {
    std::map<std::string, std::string> changes;
    for (const DrawnFigure& drawn : kDrawn) {
        const std::string n = std::to_string(drawn.number);
        Json figure = {{"points", Json::array()}};
        for (const auto& p : drawn.points)
            figure["points"].push_back({p.x / 1000.0, p.y / 1000.0});
        if (*drawn.direction)
            figure["direction"] = drawn.direction;
        const std::string value =
            Json{{"figure", figure}, {"label", ""}, {"showOnCamera", true}}.dump();
        const std::string kind = drawn.line ? "AIX_LINE_" : "AIX_REGION_";
        changes[kind + "ENABLE" + n] = "true";
        changes[kind + "POSITION" + n] = value;
        for (const char* object : {"PERSON", "BICYCLE", "CAR"}) {
            if (drawn.line)
                changes["AIX_LINE_" + std::string(object) + "_ENABLE" + n] = "true";
            for (const char* action : {"APPEAR", "STAY", "ENTER", "EXIT"}) {
                if (!drawn.line)
                    changes["AIX_REGION_EVENT_" + std::string(object) + "_" + action + n] = "true";
            }
        }
        if (!drawn.line) {
            changes["AIX_REGION_EVENT_PERSON_LOITERING" + n] = "true";
            changes["AIX_REGION_EVENT_STAYDURATION" + n] = "2";
            changes["AIX_REGION_EVENT_LOITERINGDURATION" + n] = "5";
        }
    }
    return changes;
}

std::vector<ShownFigure> drawnFigures() {
    std::vector<ShownFigure> figures;
    for (const DrawnFigure& drawn : kDrawn) {
        ShownFigure shown{drawn.line, drawn.number, {}};
        for (const auto& p : drawn.points)
            shown.points.emplace_back(p.x / 1000.0, p.y / 1000.0);
        figures.push_back(shown);
    }
    return figures;
}

std::vector<SceneFigure> drawnSceneFigures(bool lines) {
    std::vector<SceneFigure> figures;
    for (const DrawnFigure& drawn : kDrawn) {
        if (drawn.line == lines)
            figures.push_back({drawn.number - 1, drawn.points});
    }
    return figures;
}

std::vector<SceneFigure> cameraFigures(const lumo_camera::ParameterTable& table,
                                       const std::string& kind) {
    std::vector<SceneFigure> figures;
    for (int slot = 0; slot < 8; ++slot) {
        const std::string digit = std::to_string(slot);
        const auto position = table.read(kind + "POSITION" + digit);
        if (table.read(kind + "ENABLE" + digit) != "1" || !position)
            continue;
        SceneFigure figure{slot, lumo_camera::parseFigureText(*position)};
        if (!figure.points.empty())
            figures.push_back(std::move(figure));
    }
    return figures;
}

std::vector<ShownFigure> shownFigures(const std::map<std::string, std::string>& values) {
    std::vector<ShownFigure> figures;
    for (const auto& [name, value] : values) {
        const bool line = name.rfind("AIX_LINE_POSITION", 0) == 0;
        if (!line && name.rfind("AIX_REGION_POSITION", 0) != 0)
            continue;
        const Json json = Json::parse(value, nullptr, false);
        if (!json.is_object() || !json.contains("figure") || !json["figure"].is_object())
            continue;
        ShownFigure figure{line, name.back() - '0', {}};
        for (const Json& point : json["figure"].value("points", Json::array())) {
            if (point.is_array() && point.size() == 2 && point[0].is_number() &&
                point[1].is_number())
                figure.points.emplace_back(point[0].get<double>(), point[1].get<double>());
        }
        figures.push_back(std::move(figure));
    }
    return figures;
}

Json figuresJson(const std::vector<SceneFigure>& figures) {
    Json json = Json::array();
    for (const SceneFigure& figure : figures) {
        Json points = Json::array();
        for (const auto& p : figure.points)
            points.push_back({p.x, p.y});
        json.push_back({{"slot", figure.slot}, {"points", points}});
    }
    return json;
}

}  // namespace lumo::host
