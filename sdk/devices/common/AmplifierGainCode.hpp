#pragma once
// The gain byte that the Morvex-type amplifiers take in their start-signal frames.

#include <cstdint>

namespace VexaDevice::Devices {

// The gain an amplifier record carries in a slot the device has no channel for: what reading
// the record gives there, so that a record read can be written back as it is.
inline constexpr uint8_t kNoChannelGain = 255;

// Gain index (0..6) -> gain byte of the start frame: 0->0x10, 1->0x20, 2->0x30, 3->0x40,
// 5->0x50, 6->0x60; index 4 (the amplifier's default) and anything else -> 0x00.
uint8_t amplifierGainCode(uint8_t gainIndex);

}  // namespace VexaDevice::Devices
