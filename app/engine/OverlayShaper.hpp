#pragma once

#include <cstdint>
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

private:
    double shapedFirstStage(double progress, double swell);
    double shapedLaterStage(std::int32_t index, std::int32_t count, double progress, double swell);
    void updateLatch(double progress, double clearUpTo, double armFrom, double swell);

    std::vector<std::vector<double>> profiles_;
    bool shaped_ = false;
    bool latched_ = false;
};

// A profile's values spread evenly over 0..1 and read at x, linear between neighbours.
double readProfile(const std::vector<double>& profile, double x);

}  // namespace quellwave
