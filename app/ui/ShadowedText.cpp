#include "app/ui/ShadowedText.hpp"

namespace quellwave::ui {

sf::Text placedText(const sf::Font& font, const std::string& string, float x, float y, unsigned size, sf::Color colour,
                    bool centred) {
    sf::Text text(string, font, size);
    text.setFillColor(colour);
    const sf::FloatRect bounds = text.getLocalBounds();
    text.setOrigin(centred ? bounds.left + bounds.width / 2.0f : bounds.left, bounds.top);
    text.setPosition(x, y);
    return text;
}

void drawShadowedText(sf::RenderTarget& target, const sf::Font& font, const std::string& string, float x, float y,
                      unsigned size, sf::Color colour, bool centred) {
    const sf::Text text = placedText(font, string, x, y, size, colour, centred);
    sf::Text shadow = text;
    shadow.setFillColor(sf::Color(0, 0, 0, 128));
    shadow.move(2.0f, 2.0f);
    target.draw(shadow);
    target.draw(text);
}

}  // namespace quellwave::ui
