#pragma once

#include "app/ui/ScreenView.hpp"

namespace quellwave::ui {

// The first screen: version, title and the safety warnings, with a glowing Continue button.
class WarningsScreen final : public ScreenView {
public:
    WarningsScreen(const UiContext& ui, Choice& choice) : ui_(ui), choice_(choice) {}

    std::optional<Screen> handle(const sf::Event& event) override;
    std::optional<Screen> draw(const FrameTime& time) override;

private:
    const UiContext& ui_;
    Choice& choice_;
};

}  // namespace quellwave::ui
