#include "app/ui/ConfirmationScreen.hpp"

#include "app/ui/DescriptionLayout.hpp"
#include "app/ui/ShadowedText.hpp"

#include <SFML/Graphics/CircleShape.hpp>
#include <SFML/Graphics/RectangleShape.hpp>
#include <SFML/Graphics/Text.hpp>

namespace quellwave::ui {

std::optional<Screen> ConfirmationScreen::handle(const sf::Event& event) {
    choice_.selectedRow = -1;
    DurationSlider& slider = choice_.slider;
    if (const auto press = leftPress(event)) {
        slider.press(press->x, press->y);
        if (ui_.buttons.proceed.contains(*press)) {
            choice_.chosenMinutes = slider.minutes();
            return Screen::Session;
        }
        if (ui_.buttons.back.contains(*press)) {
            return Screen::Selection;
        }
    } else if (event.type == sf::Event::MouseMoved) {
        slider.move(static_cast<float>(event.mouseMove.x));
    } else if (event.type == sf::Event::MouseButtonReleased && event.mouseButton.button == sf::Mouse::Left) {
        slider.release();
    }
    return std::nullopt;
}

std::optional<Screen> ConfirmationScreen::draw(const FrameTime&) {
    sf::RenderWindow& window = ui_.window;
    const Fonts& fonts = ui_.fonts;
    const sf::Color white = sf::Color::White;
    drawShadowedText(window, fonts.orbitron, "Confirm Selection", 400, 50, 36, sf::Color(0, 212, 255), true);
    drawShadowedText(window, fonts.roboto, "Selected: " + choice_.selected.name, 20, 150, 24, white, false);
    float y = 200;
    drawShadowedText(window, fonts.roboto, "HOW TO USE SAFELY:", 20, y, 24, white, false);
    y += 30;

    sf::Text measured("", fonts.roboto, 20);
    const auto measure = [&measured](const std::string& line) {
        measured.setString(line);
        return measured.getLocalBounds().width;
    };
    const DescriptionLayout::Result description = DescriptionLayout::layout(choice_.selected.description, y, measure);
    for (const DescriptionLayout::Line& line : description.lines) {
        drawShadowedText(window, fonts.roboto, line.text, 20, line.y, 20, white, false);
    }
    choice_.slider.placeAt(description.nextY + 100);
    drawSlider();
    ui_.buttons.proceed.draw(window, fonts.arial);
    ui_.buttons.back.draw(window, fonts.arial);
    return std::nullopt;
}

void ConfirmationScreen::drawSlider() {
    sf::RenderWindow& window = ui_.window;
    const DurationSlider& slider = choice_.slider;
    const float sliderY = slider.y();

    sf::RectangleShape track({600, 10});
    track.setPosition(DurationSlider::kTrackLeft, sliderY + 5);
    track.setFillColor(sf::Color(100, 100, 100));
    window.draw(track);

    sf::CircleShape knob(DurationSlider::kKnobRadius, 30);
    knob.setPosition(slider.knobX() - DurationSlider::kKnobRadius, sliderY);
    knob.setFillColor(sf::Color(0, 212, 255));
    window.draw(knob);

    for (std::size_t j = 0; j < DurationSlider::kMinutes.size(); ++j) {
        drawShadowedText(window, ui_.fonts.roboto, std::to_string(DurationSlider::kMinutes[j]) + " min",
                         DurationSlider::stopX(static_cast<int>(j)), sliderY + 30, 20, sf::Color::White, true);
    }
    drawShadowedText(window, ui_.fonts.roboto, "Duration: " + std::to_string(slider.minutes()) + " min", 400,
                     sliderY - 30, 24, sf::Color::White, true);
}

}  // namespace quellwave::ui
