#pragma once

#include "app/engine/BeepRepeater.hpp"
#include "app/engine/EndOfSessionBeep.hpp"
#include "app/ui/Background.hpp"
#include "app/ui/Button.hpp"
#include "app/ui/ConfirmationScreen.hpp"
#include "app/ui/EndScreen.hpp"
#include "app/ui/Fonts.hpp"
#include "app/ui/GainEnvelope.hpp"
#include "app/ui/RandomSource.hpp"
#include "app/ui/ScreenView.hpp"
#include "app/ui/SelectionScreen.hpp"
#include "app/ui/SessionAudio.hpp"
#include "app/ui/SessionScreen.hpp"
#include "app/ui/WarningsScreen.hpp"

#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/System/Clock.hpp>

namespace quellwave::ui {

// The program's whole user interface: keeps the display awake, sets the icon, loads the fonts
// and runs the screens until the window closes, a font is missing, the listener declines an
// audio warning or a session finds the data file unusable. Returns the program's exit code.
int runMainLoop();

// The listener's choice before any click: no row shown as chosen, the catalogue's first
// experience held as the selection, the shortest duration.
Choice initialChoice();

// The frame loop over the five screens.
class MainLoop {
public:
    struct Timing {
        GainEnvelope::Timing envelope;
        SessionAudio::Timing session;
        BeepTiming beep;
    };

    MainLoop(sf::RenderWindow& window, const Fonts& fonts, Timing timing);

    // Runs frames until the window closes, an audio warning is declined or a session cannot
    // begin; returns the program's exit code.
    int run();

private:
    // Handles the pending events; false when the window was closed.
    bool handleEvents();
    void drawFrame();
    void moveTo(Screen screen);
    ScreenView& current();

    sf::RenderWindow& window_;
    Buttons buttons_;
    sf::Clock screenClock_;
    sf::Clock frameClock_;
    UiContext ui_;
    RandomSource random_;
    Background background_;
    Choice choice_;
    SessionAudio audio_;
    EndOfSessionBeep beep_;
    WarningsScreen warnings_;
    SelectionScreen selection_;
    ConfirmationScreen confirmation_;
    SessionScreen session_;
    EndScreen end_;
    Screen screen_ = Screen::Warnings;
    bool checksDone_ = false;
};

}  // namespace quellwave::ui
