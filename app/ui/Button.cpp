#include "app/ui/Button.hpp"

#include <SFML/Graphics/Text.hpp>

#include <utility>

namespace quellwave::ui {

Button::Button(sf::FloatRect area, Look look, Label label) : area_(area), look_(look), label_(std::move(label)) {
    bounds_ = box().getGlobalBounds();
}

sf::RectangleShape Button::box() const {
    sf::RectangleShape shape({area_.width, area_.height});
    shape.setPosition(area_.left, area_.top);
    shape.setFillColor(look_.fill);
    shape.setOutlineColor(look_.outline);
    shape.setOutlineThickness(look_.outlineThickness);
    return shape;
}

void Button::draw(sf::RenderTarget& target, const sf::Font& font) const {
    target.draw(box());

    sf::Text text(label_.text, font, label_.size);
    text.setFillColor(label_.colour);
    const sf::FloatRect bounds = text.getLocalBounds();
    text.setOrigin(bounds.left + bounds.width / 2.0f, bounds.top + bounds.height / 2.0f);
    text.setPosition(label_.centre);
    target.draw(text);
}

Buttons Buttons::make() {
    const sf::Color cyan(0, 212, 255);
    const sf::Color red(255, 100, 100);
    const sf::Color white = sf::Color::White;
    const sf::Color black = sf::Color::Black;
    return Buttons{
        Button({300, 500, 200, 50}, {white, black, 2.0f}, {"Continue", 24, black, {400, 525}}),
        Button({450, 500, 200, 50}, {cyan}, {"Continue", 24, white, {550, 525}}),
        Button({150, 500, 200, 50}, {red}, {"Back", 24, white, {250, 525}}),
        Button({300, 490, 200, 50}, {red}, {"Exit Session", 24, white, {400, 515}}),
        Button({510, 490, 50, 50}, {sf::Color(100, 255, 100)}, {"+", 36, white, {535, 515}}),
        Button({570, 490, 50, 50}, {sf::Color(100, 100, 255)}, {"-", 36, white, {595, 515}}),
        Button({300, 490, 200, 50}, {sf::Color(0, 255, 0)}, {"Yes", 24, black, {400, 515}}),
    };
}

}  // namespace quellwave::ui
