#pragma once
// Emulated Wrenlet sensors: the command-and-stream device with four channels, motion and
// photoplethysmogram, in either generation (2-byte counters and big-endian packs, or 4-byte
// counters and little-endian packs).

#include <cstdint>

#include "sim/peers/kestrane/CommandStreamPeer.hpp"

namespace VexaSim {

enum class WrenletPeerGeneration : uint8_t { First, Second };

// `model` is the model code the device reports ('G', 'I' or 'P'; others for refusal tests).
CommandStreamPeerSettings wrenletSettings(WrenletPeerGeneration generation, char model = 'P');

}  // namespace VexaSim
