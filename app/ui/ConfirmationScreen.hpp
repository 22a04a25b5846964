#pragma once

#include "app/ui/ScreenView.hpp"

namespace quellwave::ui {

// The chosen experience with its safety notes and the duration slider.
class ConfirmationScreen final : public ScreenView {
public:
    ConfirmationScreen(const UiContext& ui, Choice& choice) : ui_(ui), choice_(choice) {}

    std::optional<Screen> handle(const sf::Event& event) override;
    std::optional<Screen> draw(const FrameTime& time) override;

private:
    void drawSlider();

    const UiContext& ui_;
    Choice& choice_;
};

}  // namespace quellwave::ui
