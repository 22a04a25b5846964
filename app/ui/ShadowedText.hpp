#pragma once

#include <SFML/Graphics/Color.hpp>
#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/Text.hpp>

#include <string>

namespace quellwave::ui {

// Builds the text as drawShadowedText places it: origin at the top-left of its local bounds,
// or at the middle of its top edge when centred.
sf::Text placedText(const sf::Font& font, const std::string& string, float x, float y, unsigned size, sf::Color colour,
                    bool centred);

// Draws the text with a half-transparent black shadow 2 pixels down and to the right.
void drawShadowedText(sf::RenderTarget& target, const sf::Font& font, const std::string& string, float x, float y,
                      unsigned size, sf::Color colour, bool centred);

}  // namespace quellwave::ui
