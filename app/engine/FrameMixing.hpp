#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quellwave {

// What one run of frames needs for its mix beyond its noise, two lanes a frame (left ear, then
// right ear). The engine's frame walk fills it once each frame's phases have followed from the
// previous one's; mixing then needs no frame's predecessor and takes several frames at once. Phases are already brought into [0, 2 pi); values shared by both ears are
// written to both lanes.
struct RunLanes {
    static constexpr std::size_t kMaxFrames = 256;
    static constexpr std::size_t kSize = 2 * kMaxFrames;

    alignas(32) std::array<double, kSize> tonePhase{};         // the tone pair
    alignas(32) std::array<double, kSize> swell{};             // tone swell factor
    alignas(32) std::array<double, kSize> gatePhase{};         // the pulse gate's phase, mode 6 and 16
    alignas(32) std::array<double, kSize> overlayPhase{};      // mode 16: carrier (left), overlay (right)
    alignas(32) std::array<double, kSize> overlayTonePhase{};  // the overlay tone: carrier, overlay
    alignas(32) std::array<double, kSize> companion{};         // mode 16: companion tone sample
    alignas(32) std::array<double, kSize> flutter{};           // mode 16: flutter factor, 1 outside it
    alignas(32) std::array<double, kSize> tremolo{};           // tremolo factor
    alignas(32) std::array<double, kSize> pan{};               // pan factor of each ear
    alignas(32) std::array<double, kSize> texture{};           // texture layer sample
};

// What stays the same for every frame of a run's mix.
struct MixSettings {
    std::uint32_t mode = 4;       // 4, 6 or 16
    double harmonicWeight = 0.0;  // twice the harmonic level
    double toneLevel = 0.0;
    double noiseLevel = 0.0;
    double gateThreshold = 0.0;  // 1 - 2 duty: the gate closes where its sine lies below
    bool overlayTone = false;
    bool tremolo = false;
    bool pan = false;
    bool volume = false;  // multiply by volumeScale here (no burst left to add first)
    double volumeScale = 1.0;
};

// Mixes frames [from, to) of a run: tones, gate, overlay, noise, tremolo, pan and texture (and the
// volume when settings.volume), left and right interleaved into out[2 from] onwards. pink holds
// each frame's left and right pink sample. Each sample is the value that the same operations on
// one double give, on the wide and the narrow lanes alike.
void mixRun(const RunLanes& lanes, const double* pink, const MixSettings& settings, std::size_t from, std::size_t to,
            double* out);

}  // namespace quellwave
