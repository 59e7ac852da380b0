// Reading the figure values that the agent answers: their points as camera units, so that a
// test can state the shape it expects in the camera's own numbers.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

namespace settings_test {

/** Camera position text "x,y,x,y,..." as numbers. */
inline std::vector<int> cameraNumbers(const std::string& text) {
    std::vector<int> numbers;
    std::stringstream stream(text);
    std::string piece;
    while (std::getline(stream, piece, ','))
        numbers.push_back(std::stoi(piece));
    return numbers;
}

/**
 * Whether the figure's points are the camera points of `expected` (camera position text), each
 * coordinate within `tolerance` of the camera number / 1000.
 */
inline ::testing::AssertionResult hasPoints(const nlohmann::json& value,
                                            const std::string& expected, double tolerance = 1e-6) {
    if (!value.contains("figure") || !value["figure"].is_object() ||
        !value["figure"].contains("points")) {
        return ::testing::AssertionFailure() << "no figure points in " << value.dump();
    }
    const nlohmann::json& points = value["figure"]["points"];
    const std::vector<int> numbers = cameraNumbers(expected);
    if (!points.is_array() || points.size() * 2 != numbers.size())
        return ::testing::AssertionFailure() << points.dump() << " is not " << expected;
    for (size_t i = 0; i < points.size(); ++i) {
        for (size_t j = 0; j < 2; ++j) {
            const double want = numbers[2 * i + j] / 1000.0;
            if (!points[i].is_array() || points[i].size() != 2 || !points[i][j].is_number() ||
                std::abs(points[i][j].get<double>() - want) > tolerance) {
                return ::testing::AssertionFailure() << points.dump() << " is not " << expected;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

inline nlohmann::json parsed(const std::string& text) {
    return nlohmann::json::parse(text, nullptr, /*allow_exceptions*/ false);
}

}  // namespace settings_test
