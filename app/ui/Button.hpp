#pragma once

#include <SFML/Graphics/Color.hpp>
#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/Rect.hpp>
#include <SFML/Graphics/RectangleShape.hpp>
#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/System/Vector2.hpp>

#include <string>

namespace quellwave::ui {

// A filled rectangle with a centred label. The label is drawn with the button font. A click
// counts anywhere on the drawn rectangle, its outline included.
class Button {
public:
    struct Look {
        sf::Color fill;
        sf::Color outline = sf::Color::Transparent;
        float outlineThickness = 0.0f;
    };
    struct Label {
        std::string text;
        unsigned size;
        sf::Color colour;
        sf::Vector2f centre;
    };

    Button(sf::FloatRect area, Look look, Label label);

    bool contains(sf::Vector2f point) const { return bounds_.contains(point); }
    const sf::FloatRect& area() const { return area_; }
    // What is drawn: the area grown by the outline.
    const sf::FloatRect& bounds() const { return bounds_; }
    const Label& label() const { return label_; }
    void draw(sf::RenderTarget& target, const sf::Font& font) const;

private:
    sf::RectangleShape box() const;

    sf::FloatRect area_;
    sf::FloatRect bounds_;
    Look look_;
    Label label_;
};

// Every button of the program, placed once.
struct Buttons {
    Button warningContinue;
    Button proceed;  // "Continue" on the selection and confirmation screens
    Button back;
    Button exitSession;
    Button volumeUp;
    Button volumeDown;
    Button yes;

    static Buttons make();
};

}  // namespace quellwave::ui
