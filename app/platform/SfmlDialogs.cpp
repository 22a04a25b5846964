#include "app/platform/SfmlDialogs.hpp"

#include "app/platform/DesktopPlacement.hpp"
#include "app/platform/DialogText.hpp"
#include "app/platform/DisplayConnection.hpp"

#include <SFML/Graphics.hpp>

#include <algorithm>
#include <iostream>
#include <optional>

namespace quellwave::platform {
namespace {

constexpr unsigned kWidth = 460;
constexpr unsigned kCharacterSize = 15;
constexpr float kMargin = 18.0f;
constexpr float kGlyphSpace = 64.0f;
constexpr float kButtonWidth = 88.0f;
constexpr float kButtonHeight = 28.0f;
constexpr float kButtonGap = 10.0f;

sf::String fromUtf8(std::string_view text) { return sf::String::fromUtf8(text.begin(), text.end()); }

std::optional<sf::Font> loadFont(const std::vector<std::filesystem::path>& candidates) {
    for (const auto& path : candidates) {
        std::error_code ignored;
        sf::Font font;
        if (std::filesystem::is_regular_file(path, ignored) && font.loadFromFile(path.string())) {
            return font;
        }
    }
    return std::nullopt;
}

void drawErrorGlyph(sf::RenderTarget& target, sf::Vector2f centre) {
    sf::CircleShape disc(20.0f, 40);
    disc.setOrigin(20.0f, 20.0f);
    disc.setPosition(centre);
    disc.setFillColor(sf::Color(210, 40, 40));
    target.draw(disc);
    for (float angle : {45.0f, -45.0f}) {
        sf::RectangleShape bar({24.0f, 4.0f});
        bar.setOrigin(12.0f, 2.0f);
        bar.setPosition(centre);
        bar.setRotation(angle);
        bar.setFillColor(sf::Color::White);
        target.draw(bar);
    }
}

void drawWarningGlyph(sf::RenderTarget& target, sf::Vector2f centre) {
    sf::ConvexShape triangle(3);
    triangle.setPoint(0, {centre.x, centre.y - 20.0f});
    triangle.setPoint(1, {centre.x + 22.0f, centre.y + 18.0f});
    triangle.setPoint(2, {centre.x - 22.0f, centre.y + 18.0f});
    triangle.setFillColor(sf::Color(250, 200, 30));
    target.draw(triangle);
    sf::RectangleShape stem({4.0f, 16.0f});
    stem.setPosition(centre.x - 2.0f, centre.y - 8.0f);
    stem.setFillColor(sf::Color::Black);
    target.draw(stem);
    sf::CircleShape dot(2.5f);
    dot.setPosition(centre.x - 2.5f, centre.y + 11.0f);
    dot.setFillColor(sf::Color::Black);
    target.draw(dot);
}

// One open message box: its layout, drawing and event handling.
class DialogWindow {
public:
    DialogWindow(const DialogRequest& request, const sf::Font& font)
        : request_(request), font_(font), buttons_(buttonsFor(request.kind)) {
        const float textWidth = static_cast<float>(kWidth) - kGlyphSpace - 2.0f * kMargin;
        lines_ = wrapText(request.text, textWidth, [&](std::string_view line) {
            return sf::Text(fromUtf8(line), font_, kCharacterSize).getLocalBounds().width;
        });
        const float lineHeight = font_.getLineSpacing(kCharacterSize);
        const float textHeight = std::max(40.0f, lineHeight * static_cast<float>(lines_.size()));
        height_ = static_cast<unsigned>(kMargin + textHeight + kMargin + kButtonHeight + kMargin);
    }

    DialogAnswer run() {
        sf::RenderWindow window(sf::VideoMode(kWidth, height_), fromUtf8(request_.caption),
                                sf::Style::Titlebar | sf::Style::Close);
        settleOnDesktop(window);
        window.requestFocus();
        draw(window);
        sf::Event event;
        while (window.waitEvent(event)) {
            if (const auto answer = answerFor(event)) {
                window.close();
                return *answer;
            }
            draw(window);
        }
        return answerWhenClosed(request_.kind);
    }

private:
    std::optional<DialogAnswer> answerFor(const sf::Event& event) const {
        switch (event.type) {
        case sf::Event::Closed: return answerWhenClosed(request_.kind);
        case sf::Event::KeyPressed:
            if (event.key.code == sf::Keyboard::Enter) {
                return answerForKey(request_.kind, DialogKey::Enter);
            }
            if (event.key.code == sf::Keyboard::Escape) {
                return answerForKey(request_.kind, DialogKey::Escape);
            }
            return std::nullopt;
        case sf::Event::MouseButtonPressed: {
            const sf::Vector2f point(static_cast<float>(event.mouseButton.x), static_cast<float>(event.mouseButton.y));
            for (std::size_t i = 0; i < buttons_.size(); ++i) {
                if (buttonShape(i).getGlobalBounds().contains(point)) {
                    return buttons_[i].answer;
                }
            }
            return std::nullopt;
        }
        default: return std::nullopt;
        }
    }

    sf::FloatRect buttonRect(std::size_t index) const {
        const float count = static_cast<float>(buttons_.size());
        const float left = static_cast<float>(kWidth) - kMargin - count * kButtonWidth - (count - 1.0f) * kButtonGap +
                           static_cast<float>(index) * (kButtonWidth + kButtonGap);
        const float top = static_cast<float>(height_) - kMargin - kButtonHeight;
        return {left, top, kButtonWidth, kButtonHeight};
    }

    // The button as drawn: a click anywhere on it, its outline included, presses it.
    sf::RectangleShape buttonShape(std::size_t index) const {
        const sf::FloatRect rect = buttonRect(index);
        sf::RectangleShape shape({rect.width, rect.height});
        shape.setPosition(rect.left, rect.top);
        shape.setFillColor(sf::Color(225, 225, 225));
        shape.setOutlineColor(index == 0 ? sf::Color(0, 120, 215) : sf::Color(140, 140, 140));
        shape.setOutlineThickness(index == 0 ? 2.0f : 1.0f);
        return shape;
    }

    void draw(sf::RenderWindow& window) const {
        window.clear(sf::Color(240, 240, 240));
        const sf::Vector2f glyphCentre(kMargin + 22.0f, kMargin + 22.0f);
        if (request_.kind == DialogKind::Error) {
            drawErrorGlyph(window, glyphCentre);
        } else {
            drawWarningGlyph(window, glyphCentre);
        }
        const float lineHeight = font_.getLineSpacing(kCharacterSize);
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            sf::Text line(fromUtf8(lines_[i]), font_, kCharacterSize);
            line.setFillColor(sf::Color::Black);
            line.setPosition(kMargin + kGlyphSpace, kMargin + lineHeight * static_cast<float>(i));
            window.draw(line);
        }
        for (std::size_t i = 0; i < buttons_.size(); ++i) {
            const sf::FloatRect rect = buttonRect(i);
            window.draw(buttonShape(i));
            sf::Text label(buttons_[i].label, font_, kCharacterSize);
            label.setFillColor(sf::Color::Black);
            const sf::FloatRect bounds = label.getLocalBounds();
            label.setOrigin(bounds.left + bounds.width / 2.0f, bounds.top + bounds.height / 2.0f);
            label.setPosition(rect.left + rect.width / 2.0f, rect.top + rect.height / 2.0f);
            window.draw(label);
        }
        window.display();
    }

    const DialogRequest& request_;
    const sf::Font& font_;
    std::vector<DialogButton> buttons_;
    std::vector<std::string> lines_;
    unsigned height_ = 0;
};

}  // namespace

SfmlDialogs::SfmlDialogs(std::vector<std::filesystem::path> fontCandidates)
    : fontCandidates_(std::move(fontCandidates)) {}

std::vector<std::filesystem::path> SfmlDialogs::systemFonts() {
    return {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
            "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
            "/usr/share/fonts/truetype/freefont/FreeSans.ttf"};
}

DialogAnswer SfmlDialogs::show(const DialogRequest& request) {
    std::cerr << consoleLine(request) << std::endl;
    if (displayProblem()) {
        return answerWhenNotShown(request.kind);
    }
    const auto font = loadFont(fontCandidates_);
    if (!font) {
        return answerWhenNotShown(request.kind);
    }
    return DialogWindow(request, *font).run();
}

}  // namespace quellwave::platform
