#pragma once

namespace quellwave::ui {

// The listener's volume in percent, changed in steps of 5 within 0..100. The stream takes it
// as a gain of at most 60.
class ListenerVolume {
public:
    static constexpr double kStart = 80.0;
    static constexpr double kStep = 5.0;
    static constexpr double kMaxGain = 60.0;

    void up();
    void down();
    double percent() const { return percent_; }
    double gain() const { return percent_ / 100.0 * kMaxGain; }
    // v of the visual: the volume in tenths
    double tenths() const { return percent_ / 10.0; }

private:
    double percent_ = kStart;
};

}  // namespace quellwave::ui
