#include "app/platform/DialogText.hpp"

namespace quellwave::platform {
namespace {

void wrapParagraph(std::string_view paragraph, float maxWidth, const std::function<float(std::string_view)>& measure,
                   std::vector<std::string>& lines) {
    std::string line;
    std::size_t start = 0;
    while (start <= paragraph.size()) {
        std::size_t end = paragraph.find(' ', start);
        if (end == std::string_view::npos) {
            end = paragraph.size();
        }
        const std::string_view word = paragraph.substr(start, end - start);
        const std::string candidate = line.empty() ? std::string(word) : line + " " + std::string(word);
        if (!line.empty() && measure(candidate) > maxWidth) {
            lines.push_back(line);
            line = std::string(word);
        } else {
            line = candidate;
        }
        start = end + 1;
    }
    lines.push_back(line);
}

}  // namespace

std::vector<std::string> wrapText(const std::string& text, float maxWidth,
                                  const std::function<float(std::string_view)>& measure) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find('\n', start);
        const std::string_view view(text);
        wrapParagraph(view.substr(start, end == std::string::npos ? std::string::npos : end - start), maxWidth, measure,
                      lines);
        if (end == std::string::npos) {
            return lines;
        }
        start = end + 1;
    }
}

DialogAnswer answerForKey(DialogKind kind, DialogKey key) {
    if (kind == DialogKind::Error) {
        return DialogAnswer::Ok;
    }
    return key == DialogKey::Enter ? DialogAnswer::Yes : DialogAnswer::No;
}

DialogAnswer answerWhenClosed(DialogKind kind) {
    return kind == DialogKind::Error ? DialogAnswer::Ok : DialogAnswer::No;
}

DialogAnswer answerWhenNotShown(DialogKind kind) {
    return kind == DialogKind::Error ? DialogAnswer::Ok : DialogAnswer::Yes;
}

std::vector<DialogButton> buttonsFor(DialogKind kind) {
    if (kind == DialogKind::Error) {
        return {{"OK", DialogAnswer::Ok}};
    }
    return {{"Yes", DialogAnswer::Yes}, {"No", DialogAnswer::No}};
}

std::string consoleLine(const DialogRequest& request) { return request.caption + ": " + request.text; }

}  // namespace quellwave::platform
