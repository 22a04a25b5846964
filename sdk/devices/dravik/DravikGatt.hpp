#pragma once
// GATT layout of the Dravik device: battery, the amplifier service (ACS: status, ADC
// configuration, mode commands, sample data) and the file-system service (FS: status, request
// frames, replies, file data and lists).

#include "sdk/core/Uuid.hpp"

namespace VexaDevice::Dravik {

// The device's model character in its Device Information model number.
inline constexpr uint8_t kModelCharacter = 'd';

inline const Utility::UUID BatteryServiceUuid = Utility::parseUuid("0000180F-0000-1000-8000-00805F9B34FB");
inline const Utility::UUID BatteryLevelUuid = Utility::parseUuid("00002A19-0000-1000-8000-00805F9B34FB");

inline const Utility::UUID AcsServiceUuid = Utility::parseUuid("7E400001-B534-F393-68A9-E50E24DC7297");
// Read and notify: 20-byte status packs.
inline const Utility::UUID AcsStatusUuid = Utility::parseUuid("7E400002-B534-F393-68A9-E50E24DC7297");
// Read and write: the 80-byte ADC configuration packet.
inline const Utility::UUID AcsConfigUuid = Utility::parseUuid("7E400003-B534-F393-68A9-E50E24DC7297");
// Written: mode frames.
inline const Utility::UUID AcsCommandUuid = Utility::parseUuid("7E400004-B534-F393-68A9-E50E24DC7297");
// Notify: raw data packets.
inline const Utility::UUID AcsDataUuid = Utility::parseUuid("7E400005-B534-F393-68A9-E50E24DC7297");

inline const Utility::UUID FsServiceUuid = Utility::parseUuid("7E400001-B534-F393-68A9-E50E24DC8297");
inline const Utility::UUID FsStatusUuid = Utility::parseUuid("7E400002-B534-F393-68A9-E50E24DC8297");
inline const Utility::UUID FsCommandUuid = Utility::parseUuid("7E400003-B534-F393-68A9-E50E24DC8297");
inline const Utility::UUID FsReplyUuid = Utility::parseUuid("7E400004-B534-F393-68A9-E50E24DC8297");
inline const Utility::UUID FsStreamUuid = Utility::parseUuid("7E400005-B534-F393-68A9-E50E24DC8297");

}  // namespace VexaDevice::Dravik
