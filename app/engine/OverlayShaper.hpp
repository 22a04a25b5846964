#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quellwave {

// The overlay tone's offset from the carrier: each stage's overlay profile read along the stage,
// swelling in with a slow sine, latching onto the profile and handing over to the next stage's
// profile near the stage's end.
class OverlayShaper {
public:
    OverlayShaper() = default;
    // One non-empty profile per stage (Hz); shaped selects the latched, decaying form.
    OverlayShaper(std::vector<std::vector<double>> profiles, bool shaped);

    // The offset o for a frame of stage index (of count stages) at progress P; swell is the
    // frame's |sin(0.6283185307179586 t)| at session time t.
    double offset(std::int32_t index, std::int32_t count, double progress, double swell);

    // The offsets of successive frames of stage index, frame k at progress[k] with swell[k], into
    // out (as long as progress and swell): the values that offset() gives frame by frame.
    void offsets(std::int32_t index, std::int32_t count, std::span<const double> progress,
                 std::span<const double> swell, std::span<double> out);

private:
    struct LaterStage;

    void shapedFirstStage(std::span<const double> progress, std::span<const double> swell, std::span<double> out);
    void shapedLaterStage(std::int32_t index, std::int32_t count, std::span<const double> progress,
                          std::span<const double> swell, std::span<double> out);
    double shapedLaterFrame(const LaterStage& stage, double progress, double swell);
    void updateLatch(double progress, double clearUpTo, double armFrom, double swell);

    std::vector<std::vector<double>> profiles_;
    bool shaped_ = false;
    bool latched_ = false;
};

// A profile's values spread evenly over 0..1 and read at x, linear between neighbours.
double readProfile(const std::vector<double>& profile, double x);

}  // namespace quellwave
