#include "app/engine/OverlayShaper.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace quellwave {
namespace {

constexpr double kSlowRadiansPerSecond = 0.6283185307179586;

// The stage-0 and stage-1 fall-off once the overlay sits on its target.
double decayed(double target, double progress) {
    if (progress < 0.75) return target;
    if (progress <= 0.85) return target * std::exp(-2.0 * (progress - 0.75));
    return target * std::exp(-4.0 * (progress - 0.75));
}

// A profile of more than one value read at x, linear between neighbours; last is its last index.
[[gnu::always_inline]] inline double interpolate(const double* values, std::int64_t last, double x) {
    const double position = std::clamp(x, 0.0, 1.0) * static_cast<double>(last);
    // Signed conversions: the values are small and not negative, and these are single instructions.
    const std::int64_t lower = std::min(static_cast<std::int64_t>(position), last - 1);
    const double fraction = position - static_cast<double>(lower);
    return values[lower] + (values[lower + 1] - values[lower]) * fraction;
}

}  // namespace

double readProfile(const std::vector<double>& profile, double x) {
    if (profile.size() == 1) return profile.front();
    return interpolate(profile.data(), static_cast<std::int64_t>(profile.size() - 1), x);
}

// What a later stage's frames share: its profile, the next one's first value and the forms the
// stage takes.
struct OverlayShaper::LaterStage {
    const std::vector<double>* profile = nullptr;
    std::int64_t lastIndex = 0;  // the profile's last index, 0 for a single value
    std::int32_t index = 0;
    bool last = false;          // the session's last stage
    bool rising = false;        // the next profile starts above this one's end
    double first = 0.0;         // the next profile's first value
    bool mayFallBelow = false;  // the hand-over also catches an offset below first
    bool holdsFirst = false;    // a middle stage holding its first value for the first quarter
};

OverlayShaper::OverlayShaper(std::vector<std::vector<double>> profiles, bool shaped)
    : profiles_(std::move(profiles)), shaped_(shaped) {}

double OverlayShaper::offset(std::int32_t index, std::int32_t count, double progress, double swell) {
    double o = 0.0;
    offsets(index, count, std::span(&progress, 1), std::span(&swell, 1), std::span(&o, 1));
    return o;
}

void OverlayShaper::offsets(std::int32_t index, std::int32_t count, std::span<const double> progress,
                            std::span<const double> swell, std::span<double> out) {
    if (!shaped_) {
        const double ceiling = profiles_[index].back();
        for (std::size_t k = 0; k < out.size(); ++k)
            out[k] = std::min(40.0 * std::sin(kSlowRadiansPerSecond * progress[k]), ceiling);
    } else if (index == 0) {
        shapedFirstStage(progress, swell, out);
    } else {
        shapedLaterStage(index, count, progress, swell, out);
    }
}

void OverlayShaper::updateLatch(double progress, double clearUpTo, double armFrom, double swell) {
    if (progress <= clearUpTo)
        latched_ = false;
    else if (progress >= armFrom && !latched_ && swell >= 0.99)
        latched_ = true;
}

void OverlayShaper::shapedFirstStage(std::span<const double> progress, std::span<const double> swell,
                                     std::span<double> out) {
    const auto& profile = profiles_.front();
    const double* values = profile.data();
    const auto lastIndex = static_cast<std::int64_t>(profile.size() - 1);
    for (std::size_t k = 0; k < out.size(); ++k) {
        const double p = progress[k];
        // A single value is its profile's end.
        const double target = p >= 0.61803 || lastIndex == 0 ? profile.back() : interpolate(values, lastIndex, p);
        updateLatch(p, 0.25, 0.5, swell[k]);
        if (p <= 0.25)
            out[k] = swell[k] * target * 4.0 * p;
        else
            out[k] = latched_ ? decayed(target, p) : swell[k] * target;
    }
}

[[gnu::always_inline]] inline double OverlayShaper::shapedLaterFrame(const LaterStage& stage, double progress,
                                                                     double swell) {
    const std::vector<double>& profile = *stage.profile;
    const double target =
        stage.lastIndex == 0 ? profile.front() : interpolate(profile.data(), stage.lastIndex, progress);

    updateLatch(progress, 0.05, 0.06, swell);
    double o;
    if (stage.last)
        o = profile.back() * std::sin(kSlowRadiansPerSecond * progress);
    else if (progress <= 0.05)
        o = swell * target * progress / 0.05;
    else if (!latched_)
        o = swell * target;
    else
        o = (stage.index == 1 || !stage.rising) ? decayed(target, progress) : target;

    if (!stage.last && progress >= 0.75) {
        const double first = stage.first;
        const bool fallenBelow = o < first && stage.mayFallBelow;
        if (fallenBelow || (stage.rising && o > first))
            o = progress < 0.9 ? o + (first - o) * (progress - 0.75) / 0.15 : first;
    }
    if (stage.holdsFirst && progress <= 0.25) o = profile.front();
    return o;
}

void OverlayShaper::shapedLaterStage(std::int32_t index, std::int32_t count, std::span<const double> progress,
                                     std::span<const double> swell, std::span<double> out) {
    LaterStage stage;
    stage.profile = &profiles_[index];
    stage.lastIndex = static_cast<std::int64_t>(stage.profile->size() - 1);
    stage.index = index;
    stage.last = index + 1 >= count;
    if (!stage.last) {
        stage.first = profiles_[index + 1].front();
        stage.rising = stage.first > stage.profile->back();
        stage.mayFallBelow = !(index == 1 && stage.first > stage.profile->back());
    }
    stage.holdsFirst = index >= 2 && index <= count - 2 && count > 3;
    for (std::size_t k = 0; k < out.size(); ++k) out[k] = shapedLaterFrame(stage, progress[k], swell[k]);
}

}  // namespace quellwave
