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

}  // namespace

double readProfile(const std::vector<double>& profile, double x) {
    if (profile.size() == 1) return profile.front();
    const auto last = static_cast<std::int64_t>(profile.size() - 1);
    const double position = std::clamp(x, 0.0, 1.0) * static_cast<double>(last);
    // Signed conversions: the values are small and not negative, and these are single instructions.
    const std::int64_t lower = std::min(static_cast<std::int64_t>(position), last - 1);
    const double fraction = position - static_cast<double>(lower);
    return profile[lower] + (profile[lower + 1] - profile[lower]) * fraction;
}

OverlayShaper::OverlayShaper(std::vector<std::vector<double>> profiles, bool shaped)
    : profiles_(std::move(profiles)), shaped_(shaped) {}

double OverlayShaper::offset(std::int32_t index, std::int32_t count, double progress, double swell) {
    const auto& profile = profiles_[index];
    if (!shaped_) return std::min(40.0 * std::sin(kSlowRadiansPerSecond * progress), profile.back());
    return index == 0 ? shapedFirstStage(progress, swell)
                      : shapedLaterStage(index, count, progress, swell);
}

void OverlayShaper::updateLatch(double progress, double clearUpTo, double armFrom, double swell) {
    if (progress <= clearUpTo)
        latched_ = false;
    else if (progress >= armFrom && !latched_ && swell >= 0.99)
        latched_ = true;
}

double OverlayShaper::shapedFirstStage(double progress, double swell) {
    const auto& profile = profiles_.front();
    const double target = progress >= 0.61803 ? profile.back() : readProfile(profile, progress);
    updateLatch(progress, 0.25, 0.5, swell);
    if (progress <= 0.25) return swell * target * 4.0 * progress;
    return latched_ ? decayed(target, progress) : swell * target;
}

double OverlayShaper::shapedLaterStage(std::int32_t index, std::int32_t count, double progress,
                                       double swell) {
    const auto& profile = profiles_[index];
    const bool last = index + 1 >= count;
    const std::vector<double>* next = last ? nullptr : &profiles_[index + 1];
    const bool rising = next != nullptr && next->front() > profile.back();
    const double target = readProfile(profile, progress);

    updateLatch(progress, 0.05, 0.06, swell);
    double o;
    if (last)
        o = profile.back() * std::sin(kSlowRadiansPerSecond * progress);
    else if (progress <= 0.05)
        o = swell * target * progress / 0.05;
    else if (!latched_)
        o = swell * target;
    else
        o = (index == 1 || !rising) ? decayed(target, progress) : target;

    if (next != nullptr && progress >= 0.75) {
        const double first = next->front();
        const bool fallenBelow = o < first && !(index == 1 && first > profile.back());
        if (fallenBelow || (rising && o > first))
            o = progress < 0.9 ? o + (first - o) * (progress - 0.75) / 0.15 : first;
    }
    if (index >= 2 && index <= count - 2 && count > 3 && progress <= 0.25) o = profile.front();
    return o;
}

}  // namespace quellwave
