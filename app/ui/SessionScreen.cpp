#include "app/ui/SessionScreen.hpp"

#include "app/ui/MessageBoxes.hpp"
#include "app/ui/ShadowedText.hpp"
#include "app/ui/StageDisplay.hpp"

#include <SFML/Graphics/RectangleShape.hpp>

namespace quellwave::ui {

SessionScreen::SessionScreen(const UiContext& ui, const Choice& choice, SessionAudio& audio, const RandomSource& random,
                             ScreenView& waiting, GainEnvelope::Timing envelopeTiming)
    : ui_(ui), choice_(choice), audio_(audio), waiting_(waiting), visual_(random), envelope_(envelopeTiming) {}

std::optional<Screen> SessionScreen::handle(const sf::Event& event) {
    if (!started_) {
        return std::nullopt;
    }
    if (const auto press = leftPress(event)) {
        if (ui_.buttons.exitSession.contains(*press)) {
            return leave();
        }
        if (ui_.buttons.volumeUp.contains(*press)) {
            changeVolume(true);
        } else if (ui_.buttons.volumeDown.contains(*press)) {
            changeVolume(false);
        }
    } else if (event.type == sf::Event::KeyPressed) {
        if (event.key.code == sf::Keyboard::Up) {
            changeVolume(true);
        } else if (event.key.code == sf::Keyboard::Down) {
            changeVolume(false);
        }
    }
    return std::nullopt;
}

Screen SessionScreen::leave() {
    audio_.leave();
    started_ = false;
    envelope_.reset();
    ui_.screenClock.restart();
    return Screen::Selection;
}

void SessionScreen::changeVolume(bool up) {
    up ? volume_.up() : volume_.down();
    if (envelope_.followsVolumeDirectly()) {
        audio_.setGain(volume_.gain());
    }
}

std::optional<Screen> SessionScreen::start(const FrameTime& time) {
    switch (audio_.begin(choice_.selected.code, choice_.chosenMinutes)) {
    case SessionAudio::Start::Pending:
    case SessionAudio::Start::Failed:  // the main loop ends the program
        waiting_.draw(time);
        return std::nullopt;
    case SessionAudio::Start::NoOutput: showError(kNoOutputText); return Screen::Selection;
    case SessionAudio::Start::Started: break;
    }
    envelope_.start();
    fadeClock_.restart();
    ui_.screenClock.restart();
    started_ = true;
    return std::nullopt;
}

bool SessionScreen::advanceEnvelope(float t) {
    const GainEnvelope::Outcome outcome = envelope_.advance(
        {fadeClock_.getElapsedTime().asSeconds(), audio_.gain(), volume_.gain(), audio_.sessionSeconds(), t});
    if (outcome.gain) {
        audio_.setGain(*outcome.gain);
    }
    if (outcome.restartClock) {
        fadeClock_.restart();
    }
    return outcome.sessionOver;
}

std::optional<Screen> SessionScreen::draw(const FrameTime& time) {
    if (!started_) {
        return start(time);
    }
    if (audio_.outputLost()) {
        const Screen next = leave();
        showError(kOutputLostText);
        return next;
    }
    if (advanceEnvelope(time.t)) {
        audio_.finish();
        started_ = false;
        ui_.screenClock.restart();
        return Screen::End;
    }
    VisualFrame frame;
    frame.t = time.t;
    frame.dt = time.dt;
    frame.v = volume_.tenths();
    audio_.readFrequencies(frame);
    const SessionSnapshot snapshot = audio_.snapshot();
    const std::int32_t current = snapshot.progress.stageIndex;
    visual_.draw(ui_.window, frame, current, audio_.stageBeat(current));
    drawTexts(time.t, snapshot);
    return std::nullopt;
}

void SessionScreen::drawTexts(float t, const SessionSnapshot& snapshot) {
    sf::RenderWindow& window = ui_.window;
    const sf::Font& font = ui_.fonts.roboto;
    const sf::Color white = sf::Color::White;
    drawShadowedText(window, font, "Close your eyes, do not move and focus on the sound...", 20, 20, 24, white, false);
    drawShadowedText(window, font, "Use Up/Down keys or buttons for volume", 20, 50, 24, white, false);
    drawShadowedText(window, font, stage_display::volumeLine(volume_.percent()), 20, 80, 24, white, false);
    drawShadowedText(window, font, stage_display::timeRemainingLine(audio_.sessionSeconds(), t), 20, 110, 24, white,
                     false);
    float y = 150;
    for (const std::string& line : stage_display::stageLines(snapshot)) {
        drawShadowedText(window, font, line, 20, y, 24, white, false);
        y += 25;
    }
    drawProgressBar(y + 25, t);
    ui_.buttons.exitSession.draw(window, ui_.fonts.arial);
    ui_.buttons.volumeUp.draw(window, ui_.fonts.arial);
    ui_.buttons.volumeDown.draw(window, ui_.fonts.arial);
}

void SessionScreen::drawProgressBar(float y, float t) {
    constexpr float kWidth = 760;
    constexpr float kHeight = 20;
    sf::RenderWindow& window = ui_.window;

    sf::RectangleShape background({kWidth, kHeight});
    background.setPosition(20, y);
    background.setFillColor(sf::Color(50, 50, 50));
    window.draw(background);

    sf::RectangleShape bar({kWidth * stage_display::progressShare(t, audio_.sessionSeconds()), kHeight});
    bar.setPosition(20, y);
    bar.setFillColor(sf::Color(0, 255, 0));
    window.draw(bar);

    sf::RectangleShape frame({kWidth, kHeight});
    frame.setPosition(20, y);
    frame.setFillColor(sf::Color::Transparent);
    frame.setOutlineColor(sf::Color::White);
    frame.setOutlineThickness(2);
    window.draw(frame);
}

}  // namespace quellwave::ui
