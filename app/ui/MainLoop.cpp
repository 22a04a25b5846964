#include "app/ui/MainLoop.hpp"

#include "app/platform/Platform.hpp"
#include "app/platform/WindowIcon.hpp"
#include "app/ui/AudioChecks.hpp"
#include "app/ui/Globals.hpp"
#include "app/ui/MessageBoxes.hpp"

#include <SFML/Window/Event.hpp>

namespace quellwave::ui {
namespace {

bool beforeSession(Screen screen) {
    return screen == Screen::Warnings || screen == Screen::Selection || screen == Screen::Confirmation;
}

}  // namespace

Choice initialChoice() {
    const auto& catalogue = experienceCatalogue();
    return {-1, catalogue.empty() ? Experience{} : catalogue.front(), {}, DurationSlider::kMinutes[0]};
}

int runMainLoop() {
    platform::currentPlatform().display.keepAwake();
    sf::RenderWindow& programWindow = window();
    const platform::WindowIcon icon = platform::windowIcon();
    if (icon.pixels != nullptr) {
        programWindow.setIcon(icon.width, icon.height, icon.pixels);
    }
    Fonts fonts;
    if (const auto missing = fonts.load()) {
        showError(*missing);
        return 0;
    }
    MainLoop loop(programWindow, fonts, {});
    return loop.run();
}

MainLoop::MainLoop(sf::RenderWindow& window, const Fonts& fonts, Timing timing)
    : window_(window),
      buttons_(Buttons::make()),
      ui_{window, fonts, buttons_, screenClock_},
      background_(random_),
      choice_(initialChoice()),
      audio_(timing.session),
      beep_(timing.beep),
      warnings_(ui_, choice_),
      selection_(ui_, choice_),
      confirmation_(ui_, choice_),
      session_(ui_, choice_, audio_, random_, confirmation_, timing.envelope),
      end_(ui_, beep_) {}

ScreenView& MainLoop::current() {
    switch (screen_) {
    case Screen::Warnings: return warnings_;
    case Screen::Selection: return selection_;
    case Screen::Confirmation: return confirmation_;
    case Screen::Session: return session_;
    case Screen::End: break;
    }
    return end_;
}

void MainLoop::moveTo(Screen screen) {
    screen_ = screen;
    current().enter();
}

bool MainLoop::handleEvents() {
    sf::Event event;
    while (window_.pollEvent(event)) {
        if (event.type == sf::Event::Closed) {
            window_.close();
            return false;
        }
        const Screen from = screen_;
        if (const auto next = current().handle(event)) {
            moveTo(*next);
            // A click between the screens before a session waits for the next frame's events.
            if (beforeSession(from) && beforeSession(*next)) {
                break;
            }
        }
    }
    return true;
}

void MainLoop::drawFrame() {
    const float dt = frameClock_.restart().asSeconds();
    background_.update(dt);
    const float t = screenClock_.getElapsedTime().asSeconds();
    window_.clear(sf::Color::Black);
    background_.draw(window_);
    if (const auto next = current().draw({t, dt})) {
        moveTo(*next);
    }
    window_.display();
}

int MainLoop::run() {
    while (window_.isOpen()) {
        if (!handleEvents()) {
            break;
        }
        drawFrame();
        if (const auto code = audio_.exitCode()) {
            return *code;
        }
        if (!checksDone_) {
            checksDone_ = true;
            if (!runAudioChecks()) {
                return 0;
            }
        }
    }
    return 0;
}

}  // namespace quellwave::ui
