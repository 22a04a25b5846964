#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quellwave::ui {

// Breaks an experience description into lines that fit the confirmation screen: a line that
// grows wider than the limit is cut at its last space. Line feeds stay inside the lines.
class DescriptionLayout {
public:
    struct Line {
        std::string text;
        float y;
    };
    struct Result {
        std::vector<Line> lines;
        float nextY;  // below the last line
    };
    using Measure = std::function<float(const std::string&)>;

    static constexpr float kMaxWidth = 780.0f;
    static constexpr float kLineHeight = 25.0f;
    static constexpr float kBottom = 600.0f;

    static Result layout(const std::string& description, float firstY, const Measure& measure);
};

}  // namespace quellwave::ui
