#include "app/ui/DescriptionLayout.hpp"

namespace quellwave::ui {

DescriptionLayout::Result DescriptionLayout::layout(const std::string& description, float firstY,
                                                    const Measure& measure) {
    Result result{{}, firstY};
    float& y = result.nextY;
    std::string line;
    std::string::size_type lastSpace = std::string::npos;
    for (const char c : description) {
        if (y >= kBottom) {
            break;
        }
        line += c;
        if (c == ' ') {
            lastSpace = line.size() - 1;
        }
        if (lastSpace != std::string::npos && lastSpace > 0 && measure(line) > kMaxWidth) {
            result.lines.push_back({line.substr(0, lastSpace), y});
            y += kLineHeight;
            line.erase(0, lastSpace + 1);
            lastSpace = line.rfind(' ');
        }
    }
    if (!line.empty() && y < kBottom) {
        result.lines.push_back({line, y});
        y += kLineHeight;
    }
    return result;
}

}  // namespace quellwave::ui
