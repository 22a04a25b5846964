#pragma once

#include "app/engine/ExperienceCatalogue.hpp"
#include "app/ui/Button.hpp"
#include "app/ui/DurationSlider.hpp"
#include "app/ui/Fonts.hpp"

#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/System/Clock.hpp>
#include <SFML/Window/Event.hpp>

#include <optional>

namespace quellwave::ui {

enum class Screen { Warnings = 0, Selection = 1, Confirmation = 2, Session = 3, End = 4 };

// What every screen draws with.
struct UiContext {
    sf::RenderWindow& window;
    const Fonts& fonts;
    const Buttons& buttons;
    sf::Clock& screenClock;  // restarted when a session starts, is left and ends
};

// The listener's choice, made on the selection and confirmation screens.
struct Choice {
    int selectedRow = -1;
    Experience selected;
    DurationSlider slider;
    int chosenMinutes = DurationSlider::kMinutes[0];
};

// Seconds of the frame being drawn.
struct FrameTime {
    float t;   // on the screen clock
    float dt;  // since the previous frame
};

// One screen of the program: reacts to window events and draws itself.
class ScreenView {
public:
    virtual ~ScreenView() = default;
    // Returns the screen to move to, if the event leads elsewhere.
    virtual std::optional<Screen> handle(const sf::Event& event) = 0;
    // Draws one frame; a screen that finishes on its own returns where to go next.
    virtual std::optional<Screen> draw(const FrameTime& time) = 0;
    // Called when the loop moves to this screen.
    virtual void enter() {}
};

// The position of a left-button press, or nothing for other events.
std::optional<sf::Vector2f> leftPress(const sf::Event& event);

}  // namespace quellwave::ui
