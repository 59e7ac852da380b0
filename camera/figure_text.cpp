#include "figure_text.h"

#include <cstdlib>

namespace lumo_camera {

std::vector<std::string> splitFigureFields(const std::string& text) {
    std::vector<std::string> fields;
    size_t begin = 0;
    for (;;) {
        const size_t end = text.find(',', begin);
        fields.push_back(text.substr(begin, end == std::string::npos ? end : end - begin));
        if (end == std::string::npos)
            return fields;
        begin = end + 1;
    }
}

bool isFigureText(const std::string& text) {
    if (text.empty())
        return true;
    const std::vector<std::string> numbers = splitFigureFields(text);
    if (numbers.size() % 2 != 0)
        return false;
    for (const std::string& n : numbers) {
        if (n.empty() || n.size() > 4 || n.find_first_not_of("0123456789") != std::string::npos ||
            std::atoi(n.c_str()) > 1000) {
            return false;
        }
    }
    return true;
}

std::vector<ScenePoint> parseFigureText(const std::string& text) {
    std::vector<ScenePoint> points;
    if (text.empty() || !isFigureText(text))
        return points;
    const std::vector<std::string> numbers = splitFigureFields(text);
    for (size_t i = 0; i + 1 < numbers.size(); i += 2)
        points.push_back({std::atoi(numbers[i].c_str()), std::atoi(numbers[i + 1].c_str())});
    return points;
}

}  // namespace lumo_camera
