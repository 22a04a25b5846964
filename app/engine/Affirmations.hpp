#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

#include "app/engine/ClipPlayer.hpp"

namespace quellwave {

// One spoken affirmation: its words and the fraction of its stage at or after which it may start.
struct Affirmation {
    std::string_view text;
    double position;
};

inline constexpr std::size_t kAffirmationPhaseCount = 3;
inline constexpr std::size_t kAffirmationsPerPhase = 4;
inline constexpr std::size_t kAffirmationCount = kAffirmationPhaseCount * kAffirmationsPerPhase;

// The affirmations of the three phases (going in, the deep part, coming back), in clip order:
// clip k of the data file speaks entry k. Only the count and the positions drive playback.
inline constexpr std::array<std::array<Affirmation, kAffirmationsPerPhase>, kAffirmationPhaseCount> kAffirmations{{
    {{{"My breath is slow and easy.", 0.1},
      {"My shoulders soften and let go.", 0.3},
      {"I am safe and at ease.", 0.5},
      {"My mind is quiet and clear.", 0.7}}},
    {{{"I rest in a calm, open space.", 0.2},
      {"Each thought drifts by like a cloud.", 0.4},
      {"I notice the stillness within me.", 0.6},
      {"My awareness is gentle and wide.", 0.8}}},
    {{{"I slowly return to this room.", 0.3},
      {"I bring this calm along with me.", 0.5},
      {"My body feels rested and steady.", 0.7},
      {"I am awake, clear and refreshed.", 0.95}}},
}};

// The clip to start, as the player hands it to the sound.
struct ClipStart {
    std::size_t clip;
    float volume;  // 0..100, a whole number
    float pitch;
};

// Decides which affirmation clip is due at a trigger point. Each clip plays at most once per
// session and the clips play in ascending order; a clip that becomes due while another one
// sounds starts at a later trigger, once the sound has stopped.
class AffirmationSchedule {
public:
    explicit AffirmationSchedule(std::size_t clipCount) : clipCount_(clipCount) {}

    // The clip to start now, if any; remembers it as started.
    std::optional<ClipStart> next(const AffirmationCue& cue, bool soundPlaying);

    // Every clip unplayed again, none started.
    void reset();

private:
    std::size_t clipCount_;
    std::array<bool, kAffirmationCount> played_{};
    std::optional<std::size_t> lastStarted_;
};

}  // namespace quellwave
