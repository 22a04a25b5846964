#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quellwave::e2e {

// Interleaved 16-bit stereo as recorded from the sound server, with the measurements the
// whole-program test makes on it. Times are seconds from the start of the recording.
class StereoRecording {
public:
    StereoRecording(std::vector<std::int16_t> interleaved, unsigned rate);

    unsigned rate() const { return rate_; }
    double seconds() const { return static_cast<double>(frames()) / rate_; }
    std::size_t frames() const { return samples_.size() / 2; }

    // Root mean square of both channels over [from, to), on the 0..1 scale.
    double rms(double from, double to) const;
    // Start of the first window of `window` seconds whose level exceeds `threshold`.
    std::optional<double> onset(double threshold, double window = 0.02) const;
    // The strongest frequency of the product of the two channels between lowHz and highHz:
    // the beat between a tone in one ear and a nearby tone in the other.
    double beatBetweenChannels(double from, double to, double lowHz, double highHz, double stepHz = 0.05) const;
    // Level of a frequency in one channel over [from, to) (Goertzel), relative to full scale.
    double toneLevel(int channel, double hz, double from, double to) const;

    struct ToneWindow {
        double start;
        double level;
    };
    // The window of `length` seconds within [from, to) where the frequency is loudest.
    ToneWindow loudestToneWindow(int channel, double hz, double from, double to, double length) const;

private:
    std::size_t frameAt(double seconds) const;

    std::vector<std::int16_t> samples_;
    unsigned rate_;
};

}  // namespace quellwave::e2e
