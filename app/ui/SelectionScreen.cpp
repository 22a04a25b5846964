#include "app/ui/SelectionScreen.hpp"

#include "app/ui/ShadowedText.hpp"

namespace quellwave::ui {

sf::FloatRect SelectionScreen::rowArea(int row) {
    return {20.0f, 150.0f + 40.0f * static_cast<float>(row), 760.0f, 30.0f};
}

std::optional<Screen> SelectionScreen::handle(const sf::Event& event) {
    const auto press = leftPress(event);
    if (!press) {
        return std::nullopt;
    }
    const auto& catalogue = experienceCatalogue();
    for (std::size_t k = 0; k < catalogue.size(); ++k) {
        if (rowArea(static_cast<int>(k)).contains(*press)) {
            choice_.selectedRow = static_cast<int>(k);
            choice_.selected = catalogue[k];
        }
    }
    if (ui_.buttons.proceed.contains(*press) && choice_.selectedRow != -1) {
        return Screen::Confirmation;
    }
    if (ui_.buttons.back.contains(*press)) {
        return Screen::Warnings;
    }
    return std::nullopt;
}

std::optional<Screen> SelectionScreen::draw(const FrameTime&) {
    choice_.slider.reset();
    sf::RenderWindow& window = ui_.window;
    drawShadowedText(window, ui_.fonts.orbitron, "Select an Experience", 400, 50, 36, sf::Color(0, 212, 255), true);
    const auto& catalogue = experienceCatalogue();
    for (std::size_t k = 0; k < catalogue.size(); ++k) {
        const int row = static_cast<int>(k);
        const sf::Color colour = row == choice_.selectedRow ? sf::Color(255, 255, 0) : sf::Color::White;
        drawShadowedText(window, ui_.fonts.roboto, std::to_string(k + 1) + ") " + catalogue[k].name, 20,
                         rowArea(row).top, 24, colour, false);
    }
    ui_.buttons.proceed.draw(window, ui_.fonts.arial);
    ui_.buttons.back.draw(window, ui_.fonts.arial);
    return std::nullopt;
}

}  // namespace quellwave::ui
