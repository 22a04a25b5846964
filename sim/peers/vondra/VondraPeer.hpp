#pragma once
// Emulated Vondra headsets: the command-and-stream device with the Vondra command codes
// (0x07 signal and resistance, 0x08 amplifier), no motion or photoplethysmogram, one record a
// pack behind 4-byte counters, little-endian; seven channels in the first generation, four in
// the second.
//
//   auto device = VexaSim::CommandStreamPeer::attach(*radio, address, VexaSim::vondraSettings(VondraPeerGeneration::First));

#include <cstdint>

#include "sim/peers/kestrane/CommandStreamPeer.hpp"

namespace VexaSim {

enum class VondraPeerGeneration : uint8_t { First, Second };

CommandStreamPeerSettings vondraSettings(VondraPeerGeneration generation);

}  // namespace VexaSim
