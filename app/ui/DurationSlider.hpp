#pragma once

#include <array>

namespace quellwave::ui {

// The duration choice of the confirmation screen: four stops on a track from x = 100 to 700.
class DurationSlider {
public:
    static constexpr std::array<int, 4> kMinutes{30, 40, 50, 60};
    static constexpr float kTrackLeft = 100.0f;
    static constexpr float kTrackRight = 700.0f;
    static constexpr float kStopSpacing = 200.0f;
    static constexpr float kKnobRadius = 10.0f;

    // Where the slider was last drawn (the top of its knob).
    void placeAt(float y) { y_ = y; }
    float y() const { return y_; }

    void reset() {
        index_ = 0;
        dragging_ = false;
    }
    int index() const { return index_; }
    int minutes() const { return kMinutes[static_cast<std::size_t>(index_)]; }
    bool dragging() const { return dragging_; }
    float knobX() const { return stopX(index_); }

    void press(float x, float y);
    void move(float x);
    void release() { dragging_ = false; }

    static float stopX(int index) { return kTrackLeft + kStopSpacing * static_cast<float>(index); }
    static int indexAt(float x);

private:
    int index_ = 0;
    bool dragging_ = false;
    float y_ = 0.0f;
};

}  // namespace quellwave::ui
