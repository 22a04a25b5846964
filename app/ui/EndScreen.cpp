#include "app/ui/EndScreen.hpp"

#include "app/ui/Globals.hpp"
#include "app/ui/ShadowedText.hpp"

namespace quellwave::ui {

std::optional<Screen> EndScreen::handle(const sf::Event& event) {
    const auto press = leftPress(event);
    if (press && ui_.buttons.yes.contains(*press)) {
        beep_.stop();
        return Screen::Selection;
    }
    return std::nullopt;
}

std::optional<Screen> EndScreen::draw(const FrameTime&) {
    if (!beepStarted_) {
        beep_.start(sampleRate);
        beepStarted_ = true;
    } else {
        drawShadowedText(ui_.window, ui_.fonts.roboto, "The session has ended.", 20, 20, 24, sf::Color::White, false);
        drawShadowedText(ui_.window, ui_.fonts.roboto, "Are you fully awake and back in normal awareness?", 20, 50, 24,
                         sf::Color::White, false);
    }
    ui_.buttons.yes.draw(ui_.window, ui_.fonts.arial);
    return std::nullopt;
}

}  // namespace quellwave::ui
