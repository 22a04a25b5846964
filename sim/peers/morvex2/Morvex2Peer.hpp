#pragma once
// Emulated Morvex2 devices: the command-and-stream device with four channels, or eight for the
// '0' and 'f' models of variant 3, 4-byte counters and little-endian packs.

#include <cstdint>

#include "sim/peers/kestrane/CommandStreamPeer.hpp"

namespace VexaSim {

// `model` is the model code ('0', 'G', 'I', 'P', 'f'; others for refusal tests), `variant` the
// second number of the model text.
CommandStreamPeerSettings morvex2Settings(char model, uint8_t variant);

}  // namespace VexaSim
