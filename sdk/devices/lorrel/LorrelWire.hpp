#pragma once
// What goes over the air between the library and a Lorrel headband of the first models (model
// bytes 0 to 2). The packs, frames and converter parameters are those of the older four-channel
// headbands (kestrane/HeadbandWire.hpp): signal packs of 106 bytes, a 2-byte counter and eight
// records of a marker byte and four 24-bit values, every number big-endian; resistance read from
// the signal in windows opened by 0xAA markers; motion packs of 98 and photoplethysmogram packs of
// 50 bytes. Status notifications are 4-byte packs of battery level, error code of the last command,
// device mode and code of the last command executed (Devices::StatusPack); every command, the
// stream commands too, is answered by the status that repeats its code.
//
// The GATT service is 7E400001-B534-F393-68A9-E50E24DCCA95: 02 status (read, notify), 03 command
// (write), 04 signal (notify), 06 (notify, unused), 07 motion and 08 photoplethysmogram (optional,
// notify).

#include <cstdint>

#include "sdk/devices/kestrane/HeadbandWire.hpp"

namespace VexaDevice::Lorrel {

namespace Headband = Kestrane::Headband;

// Last two digits of the GATT UUIDs.
inline constexpr const char* GattSuffix = "95";
// First number of the model number the devices report: 'P'.
inline constexpr uint8_t FamilyCode = 0x50;

// Device modes of the status.
inline constexpr uint8_t PowerDownMode = 1;
inline constexpr uint8_t IdleMode = 2;
inline constexpr uint8_t SignalMode = 3;
inline constexpr uint8_t ResistMode = 4;

// Sampling-frequency codes of the streams that have a fixed rate: 250 Hz motion, 100 Hz
// photoplethysmogram; the resistance has none.
inline constexpr uint8_t MotionRateCode = 4;
inline constexpr uint8_t FpgRateCode = 2;

}  // namespace VexaDevice::Lorrel
