#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace quellwave {

enum class AmbienceKind : std::uint32_t { Phase = 0, NoiseBurst = 2 };

struct AmbienceEvent {
    double position;  // fraction of the whole session, 0..1
    AmbienceKind kind;
    double amount;  // strength, 0..1
};

// The events of ambience preset 4, 6 or 16 in firing order; throws std::invalid_argument for
// any other number.
std::span<const AmbienceEvent> ambiencePreset(std::uint32_t preset);

// Fires a preset's events as the session passes their positions, at most one per frame.
class AmbienceSequencer {
public:
    void applyPreset(std::uint32_t preset);

    // Returns the event that fires at this fraction of the session, or null.
    const AmbienceEvent* run(double fraction);

    // The position of the next event to fire; null when all have fired.
    const double* nextPosition() const { return next_ < events_.size() ? &events_[next_].position : nullptr; }

private:
    std::span<const AmbienceEvent> events_;
    std::size_t next_ = 0;
};

// A short noise burst shaped by a half-sine over 32 frames.
class NoiseBurst {
public:
    static constexpr int kFrames = 32;

    void fire(double left, double right);

    bool active() const { return framesLeft_ > 0; }

    // Adds this frame's share of the burst, if any, to the two samples.
    void addTo(double& left, double& right) {
        if (framesLeft_ > 0) addShare(left, right);
    }

private:
    void addShare(double& left, double& right);

    double left_ = 0.0;
    double right_ = 0.0;
    int framesLeft_ = 0;
};

}  // namespace quellwave
