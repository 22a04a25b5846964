#pragma once

#include "app/ui/ScreenView.hpp"

namespace quellwave::ui {

// The catalogue, one numbered row per experience; the chosen row turns yellow.
class SelectionScreen final : public ScreenView {
public:
    SelectionScreen(const UiContext& ui, Choice& choice) : ui_(ui), choice_(choice) {}

    std::optional<Screen> handle(const sf::Event& event) override;
    std::optional<Screen> draw(const FrameTime& time) override;

    // Hit box of catalogue row k: (20, 150 + 40 k), 760 x 30.
    static sf::FloatRect rowArea(int row);

private:
    const UiContext& ui_;
    Choice& choice_;
};

}  // namespace quellwave::ui
