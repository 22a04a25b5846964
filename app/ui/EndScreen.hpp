#pragma once

#include "app/engine/EndOfSessionBeep.hpp"
#include "app/ui/ScreenView.hpp"

namespace quellwave::ui {

// After a session: beeps until the listener confirms being fully awake.
class EndScreen final : public ScreenView {
public:
    EndScreen(const UiContext& ui, EndOfSessionBeep& beep) : ui_(ui), beep_(beep) {}

    std::optional<Screen> handle(const sf::Event& event) override;
    std::optional<Screen> draw(const FrameTime& time) override;
    void enter() override { beepStarted_ = false; }

private:
    const UiContext& ui_;
    EndOfSessionBeep& beep_;
    bool beepStarted_ = false;
};

}  // namespace quellwave::ui
