#include "parameter_table.h"

#include "figure_text.h"

#include <cstdlib>
#include <stdexcept>

namespace lumo_camera {

namespace {

constexpr int kSlots = 8;
const char* const kFigureKinds[] = {"AIX_EXCLUDE_REGION_", "AIX_REGION_", "AIX_LINE_"};

// Parameters outside the slots, with the camera's defaults (booleans as 1 or 0).
const std::pair<const char*, const char*> kGlobalDefaults[] = {
    {"AIX_OBJECT_DETECTION_ENABLE", "1"},
    {"AIX_PERSON_DETECTION_ENABLE", "1"},
    {"AIX_PERSON_DISPLAY_TYPE", "1"},
    {"AIX_PERSON_SENSITIVITY", "0"},
    {"AIX_PERSON_SMARTOBJECT_ENABLE", "1"},
    {"AIX_BICYCLE_DETECTION_ENABLE", "1"},
    {"AIX_BICYCLE_DISPLAY_TYPE", "1"},
    {"AIX_BICYCLE_SENSITIVITY", "0"},
    {"AIX_BICYCLE_SMARTOBJECT_ENABLE", "1"},
    {"AIX_CAR_DETECTION_ENABLE", "1"},
    {"AIX_CAR_DISPLAY_TYPE", "1"},
    {"AIX_CAR_SENSITIVITY", "0"},
    {"AIX_CAR_SMARTOBJECT_ENABLE", "1"},
    // x0,y0,min width,min height,x1,y1,max width,max height in pixels of the 3840 x 2160 frame.
    {"AIX_OBJECT_DETECTION_SIZE", "0,0,23,21,3840,2160,3840,2160"},
    {"AIX_LINE_DAILYRESET_ENABLE", "0"},
    {"AIX_LINE_DAILYRESET_HOUR", "0"},
    {"AIX_LINE_DAILYRESET_MIN", "0"},
    {"AIX_LINE_COUNTOSD_DISPLAY_TIME", "1"},
    {"AIX_LINE_COUNTOSD_DISPLAY_ALLWAYS", "0"},
    {"AIX_TAMPERING_ENABLE", "1"},
    {"AIX_TAMPERING_SENSITIVITY", "1"},
    {"AIX_TAMPERING_DURATION", "3"},
};

// Parameters of every slot; the slot digit is appended to the name.
const std::pair<const char*, const char*> kSlotDefaults[] = {
    {"AIX_EXCLUDE_REGION_ENABLE", "0"},
    {"AIX_EXCLUDE_REGION_TYPE", "0"},
    {"AIX_EXCLUDE_REGION_PERSON_ENABLE", "0"},
    {"AIX_EXCLUDE_REGION_BICYCLE_ENABLE", "0"},
    {"AIX_EXCLUDE_REGION_CAR_ENABLE", "0"},
    {"AIX_EXCLUDE_REGION_DISPLAY_ENABLE", "0"},
    {"AIX_REGION_ENABLE", "0"},
    {"AIX_REGION_EVENT_PERSON_APPEAR", "0"},
    {"AIX_REGION_EVENT_BICYCLE_APPEAR", "0"},
    {"AIX_REGION_EVENT_CAR_APPEAR", "0"},
    {"AIX_REGION_EVENT_PERSON_STAY", "0"},
    {"AIX_REGION_EVENT_BICYCLE_STAY", "0"},
    {"AIX_REGION_EVENT_CAR_STAY", "0"},
    {"AIX_REGION_EVENT_PERSON_DIRECTION", "0"},
    {"AIX_REGION_EVENT_BICYCLE_DIRECTION", "0"},
    {"AIX_REGION_EVENT_CAR_DIRECTION", "0"},
    {"AIX_REGION_EVENT_PERSON_ENTER", "0"},
    {"AIX_REGION_EVENT_BICYCLE_ENTER", "0"},
    {"AIX_REGION_EVENT_CAR_ENTER", "0"},
    {"AIX_REGION_EVENT_PERSON_EXIT", "0"},
    {"AIX_REGION_EVENT_BICYCLE_EXIT", "0"},
    {"AIX_REGION_EVENT_CAR_EXIT", "0"},
    {"AIX_REGION_EVENT_PERSON_LOITERING", "0"},
    {"AIX_REGION_EVENT_STAYDURATION", "1"},
    {"AIX_REGION_EVENT_LOITERINGDURATION", "1"},
    {"AIX_REGION_DISPLAY_ENABLE", "0"},
    {"AIX_LINE_ENABLE", "0"},
    {"AIX_LINE_PERSON_ENABLE", "0"},
    {"AIX_LINE_BICYCLE_ENABLE", "0"},
    {"AIX_LINE_CAR_ENABLE", "0"},
    {"AIX_LINE_DISPLAY_ENABLE", "0"},
    {"AIX_LINE_DIRECTION", "0"},
    {"AIX_LINE_COUNT_ENABLE", "0"},
    {"AIX_LINE_COUNT_RESET", "0"},
    {"AIX_LINE_COUNTOSD_DISPLAY_ENABLE", "0"},
    {"AIX_LINE_COUNTOSD_DISPLAY_EVENT_TYPE", "0"},
    {"AIX_LINE_COUNTOSD_X", "0"},
    {"AIX_LINE_COUNTOSD_Y", "0"},
    {"AIX_LINE_COUNTOSD_FONTSIZE", "50"},
    {"AIX_LINE_COUNTOSD_COLOR", "0"},
};

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool isSlotDigit(char c) {
    return c >= '0' && c < '0' + kSlots;
}

}  // namespace

ParameterTable::ParameterTable() {
    for (const auto& [name, value] : kGlobalDefaults)
        m_values[name] = value;
    for (int slot = 0; slot < kSlots; ++slot) {
        const std::string digit(1, static_cast<char>('0' + slot));
        for (const auto& [name, value] : kSlotDefaults)
            m_values[name + digit] = value;
        m_values["AIX_LINE_COUNTOSD_STRING" + digit] = "%L" + std::to_string(slot + 1) + "%";
        for (const char* kind : kFigureKinds)
            m_figures[kind + digit].line = std::string(kind) == "AIX_LINE_";
    }
}

std::optional<ParameterTable::FigureName> ParameterTable::parseFigureName(const std::string& name) {
    static const std::pair<const char*, FigureRole> kRoles[] = {
        {"CURRENT_POSITION", FigureRole::current},
        {"POSITION", FigureRole::position},
        {"CLEAR", FigureRole::clear},
    };
    for (const char* kind : kFigureKinds) {
        if (!startsWith(name, kind))
            continue;
        const std::string rest = name.substr(std::string(kind).size());
        for (const auto& [word, role] : kRoles) {
            if (!startsWith(rest, word))
                continue;
            const std::string digits = rest.substr(std::string(word).size());
            const bool single = digits.size() == 1 && isSlotDigit(digits[0]);
            const bool doubled = role == FigureRole::position && digits.size() == 2 &&
                                 isSlotDigit(digits[0]) && digits[1] == digits[0];
            if (!single && !doubled)
                return std::nullopt;
            return FigureName{kind + digits.substr(0, 1), role};
        }
    }
    return std::nullopt;
}

bool ParameterTable::isPositionText(const std::string& text) {
    return isFigureText(text);
}

std::string ParameterTable::currentReply(const Figure& figure) {
    const auto joinParts = [](const std::vector<std::string>& parts) {
        if (parts.empty())
            return std::string("0");
        std::string reply = std::to_string(parts.size()) + (parts.size() == 1 ? "," : ";");
        for (size_t i = 0; i < parts.size(); ++i)
            reply += (i == 0 ? "" : ";") + parts[i];
        return reply;
    };
    if (figure.verbatim)
        return *figure.verbatim;
    if (figure.parts)
        return joinParts(*figure.parts);
    if (figure.position.empty())
        return "0";
    if (!figure.line)
        return joinParts({figure.position});

    const std::vector<std::string> n = splitFigureFields(figure.position);
    std::vector<std::string> segments;
    for (size_t i = 0; i + 3 < n.size(); i += 2)
        segments.push_back(n[i] + "," + n[i + 1] + "," + n[i + 2] + "," + n[i + 3]);
    return joinParts(segments);
}

std::optional<std::string> ParameterTable::read(const std::string& name) const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (const auto figureName = parseFigureName(name)) {
        const Figure& figure = m_figures.at(figureName->key);
        switch (figureName->role) {
            case FigureRole::position:
                return figure.position.empty() ? "0" : figure.position;
            case FigureRole::current:
                return currentReply(figure);
            case FigureRole::clear:
                return "0";
        }
    }
    const auto it = m_values.find(name);
    if (it == m_values.end())
        return std::nullopt;
    return it->second;
}

ParameterTable::WriteResult ParameterTable::check(const std::string& name,
                                                  const std::string& value) const {
    if (const auto figureName = parseFigureName(name)) {
        if (figureName->role == FigureRole::current)
            return WriteResult::unknownName;
        if (figureName->role == FigureRole::position && !isPositionText(value))
            return WriteResult::invalidValue;
        return WriteResult::ok;
    }
    return m_values.count(name) != 0 ? WriteResult::ok : WriteResult::unknownName;
}

void ParameterTable::apply(const std::string& name, const std::string& value) {
    if (const auto figureName = parseFigureName(name)) {
        Figure& figure = m_figures.at(figureName->key);
        figure.parts.reset();
        figure.verbatim.reset();
        figure.position = figureName->role == FigureRole::position ? value : "";
        return;
    }
    m_values[name] = value;
}

ParameterTable::WriteResult ParameterTable::write(const std::string& name,
                                                  const std::string& value) {
    std::string failed;
    return writeAll({{name, value}}, failed);
}

ParameterTable::WriteResult ParameterTable::writeAll(
    const std::vector<std::pair<std::string, std::string>>& assignments, std::string& failedName) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& [name, value] : assignments) {
        const WriteResult result = check(name, value);
        if (result != WriteResult::ok) {
            failedName = name;
            return result;
        }
    }
    for (const auto& [name, value] : assignments)
        apply(name, value);
    return WriteResult::ok;
}

void ParameterTable::set(const std::string& name, const std::string& value) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (parseFigureName(name))
        apply(name, value);
    else
        m_values[name] = value;
}

void ParameterTable::reportInParts(const std::string& currentName, std::vector<std::string> parts) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    const auto figureName = parseFigureName(currentName);
    if (!figureName || figureName->role != FigureRole::current)
        throw std::invalid_argument("not a current position: " + currentName);
    m_figures.at(figureName->key).parts = std::move(parts);
}

void ParameterTable::reportVerbatim(const std::string& currentName, std::string reply) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    const auto figureName = parseFigureName(currentName);
    if (!figureName || figureName->role != FigureRole::current)
        throw std::invalid_argument("not a current position: " + currentName);
    m_figures.at(figureName->key).verbatim = std::move(reply);
}

std::vector<std::string> ParameterTable::names() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> result;
    result.reserve(m_values.size());
    for (const auto& entry : m_values)
        result.push_back(entry.first);
    return result;
}

}  // namespace lumo_camera
