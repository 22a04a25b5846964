#include "app/ui/WarningsScreen.hpp"

#include "app/ui/ShadowedText.hpp"

#include <SFML/Graphics/RectangleShape.hpp>

#include <array>
#include <cmath>

namespace quellwave::ui {
namespace {

struct WarningLine {
    const char* text;
    float y;
};

constexpr std::array<WarningLine, 9> kWarningLines{{
    {"WARNING: Use high-quality neutral headphones", 150},
    {"(e.g., Audio-Technica ATH-M50x)", 180},
    {"WARNING: This program generates sound to", 220},
    {"alter consciousness.", 250},
    {"Do not use if you have a history of epilepsy", 280},
    {"or conditions that may be triggered by", 310},
    {"audio stimulation.", 340},
    {"Do not use while driving or operating", 370},
    {"heavy machinery.", 400},
}};

}  // namespace

std::optional<Screen> WarningsScreen::handle(const sf::Event& event) {
    const auto press = leftPress(event);
    if (press && ui_.buttons.warningContinue.contains(*press)) {
        return Screen::Selection;
    }
    return std::nullopt;
}

std::optional<Screen> WarningsScreen::draw(const FrameTime& time) {
    choice_.selectedRow = -1;
    sf::RenderWindow& window = ui_.window;
    const Fonts& fonts = ui_.fonts;
    drawShadowedText(window, fonts.roboto, "1.1.8", 10, 570, 24, sf::Color::White, false);
    drawShadowedText(window, fonts.orbitron, "Quellwave", 400, 50, 48, sf::Color(0, 212, 255), true);
    for (const WarningLine& line : kWarningLines) {
        drawShadowedText(window, fonts.roboto, line.text, 400, line.y, 24, sf::Color::White, true);
    }
    sf::RectangleShape glow({220, 70});
    glow.setPosition(290, 490);
    glow.setFillColor(
        sf::Color(255, 255, 0, static_cast<sf::Uint8>(static_cast<int>(100.0 + 50.0 * std::sin(2.0 * time.t)))));
    window.draw(glow);
    ui_.buttons.warningContinue.draw(window, fonts.arial);
    return std::nullopt;
}

}  // namespace quellwave::ui
