#pragma once
// Wire format of the Tessel-class sensors: the 20-byte command frame with its checksum, the
// command and error tables, the reply decoder and the setter arguments. The data packs are in
// TesselPacks, the capability reply in TesselCapabilityReply. Pure functions, no I/O.
// Multi-byte fields are little-endian unless said otherwise.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "sdk/core/DeviceError.hpp"
#include "sdk/core/OperationResult.hpp"
#include "sdk/devices/tessel/TesselCapabilityReply.hpp"
#include "sdk/devices/tessel/TesselPacks.hpp"
#include "sdk/devices/tessel/TesselRecords.hpp"

namespace VexaDevice::Tessel {

// Command codes (byte 3 of a frame and of its reply).
namespace Code {
inline constexpr uint8_t Error = 0;
inline constexpr uint8_t SetFsam = 3;
inline constexpr uint8_t SwitchFilterState = 9;
inline constexpr uint8_t SwitchAdcInp = 10;
inline constexpr uint8_t SetPgaGain = 13;
inline constexpr uint8_t StartStim = 17;
inline constexpr uint8_t StopStim = 18;
inline constexpr uint8_t SetStimParam = 19;
inline constexpr uint8_t GetStimParam = 21;
inline constexpr uint8_t DoCalibration = 22;
inline constexpr uint8_t GetShAndStimState = 23;
inline constexpr uint8_t SetDataOffset = 33;
inline constexpr uint8_t SwitchExtComInputs = 35;
inline constexpr uint8_t GetSensorParam = 36;
inline constexpr uint8_t SetAccelSens = 37;
inline constexpr uint8_t SetGyroSens = 38;
inline constexpr uint8_t ResetQuatData = 41;
inline constexpr uint8_t StartMemsCalib = 42;
inline constexpr uint8_t GetMemsCalibStatus = 43;
inline constexpr uint8_t StartAdcDataThrow = 64;
inline constexpr uint8_t StopAdcDataThrow = 65;
inline constexpr uint8_t StartMemsDataThrow = 66;
inline constexpr uint8_t StopMemsDataThrow = 67;
inline constexpr uint8_t StartRespDataThrow = 68;
inline constexpr uint8_t StopRespDataThrow = 69;
inline constexpr uint8_t GetElectrodeState = 70;
inline constexpr uint8_t StartQuatDataThrow = 77;
inline constexpr uint8_t StopQuatDataThrow = 78;
inline constexpr uint8_t ActivateApp = 84;
inline constexpr uint8_t ActivateBoot = 86;
inline constexpr uint8_t SetShParam = 112;
inline constexpr uint8_t ShStart = 113;
inline constexpr uint8_t ShStop = 114;
inline constexpr uint8_t GetShParam = 115;
inline constexpr uint8_t SetMotionCounterParam = 128;
inline constexpr uint8_t GetMotionCounterParam = 129;
inline constexpr uint8_t GetMotionCounterVal = 130;
inline constexpr uint8_t ResetMotionCounterVal = 131;
inline constexpr uint8_t StartEnvelopeDataThrow = 135;
inline constexpr uint8_t StopEnvelopeDataThrow = 136;
inline constexpr uint8_t Echo = 160;
inline constexpr uint8_t GetSerialNum = 161;
inline constexpr uint8_t GetBatteryV = 164;
inline constexpr uint8_t FindMe = 167;
inline constexpr uint8_t SetSerialNum = 168;
}  // namespace Code

// The device's error codes are its own; the library's are those of Utility::kSpacedErrors.
namespace ErrorCode {
inline constexpr int32_t NoError = 0;
}  // namespace ErrorCode

// "UNKNOWN" for codes outside the tables.
std::string commandName(uint8_t code);
std::string deviceErrorName(int32_t code);

// The result of a command: `ok` as the reply says; a reply carrying a device error code gives
// that code and "Device error: [name]" (on success too, with the name of code 0), any other
// reply code 0 and no message.
OperationResult deviceResult(const OpCmdRes& reply);

// Leading word of a command frame and of every reply.
inline constexpr uint16_t FrameMark = 0xFFDF;

// Hardware filters a frame can switch (bits 0..5 of its mask).
inline constexpr uint8_t FilterCount = 6;

// A setting code up to `highest` as it is, anything above UnknownSetting.
inline uint8_t codeUpTo(uint8_t value, uint8_t highest) { return value <= highest ? value : UnknownSetting; }

// Bytes 8-19 of a frame.
using CommandArgs = std::array<uint8_t, 12>;

// Makes bytes 0-7 of a frame add up to 0 modulo 256.
uint8_t frameChecksum(std::span<const uint8_t, 7> head);

// DF FF 00 code, the 24-bit serial, the checksum, then the arguments.
std::vector<uint8_t> buildCommandFrame(uint8_t code, const CommandArgs& args, uint32_t serial);

// Replies that carry data (battery voltage, electrode state) rather than answer a command.
bool isDataReply(const TesselPack& pack);

// The reply a command waiter sees, or nothing for a pack that answers no command (codes above
// 168, codes without a reply, and the data replies). `firmware` decides which optional
// commands the capability list offers.
std::optional<OpCmdRes> decodeReply(const TesselPack& pack, FirmwareVersion firmware);

EchoInfo decodeEcho(const TesselPack& pack);

// Setting codes of the frames: sampling-frequency index 3..9 -> 0..6, gain index
// 0..6 -> 1, 2, 3, 4, 0, 5, 6; 255 for anything else.
uint8_t samplingFrequencyDeviceCode(uint8_t index);
uint8_t gainDeviceCode(uint8_t index);

// Arguments of the setter frames.
CommandArgs byteArgs(uint8_t value);
CommandArgs filterArgs(const std::set<uint8_t>& filters);
CommandArgs stimulationArgs(const StimulationParams& params);
CommandArgs motionAssistantArgs(const MotionAssistantParams& params);
CommandArgs motionCounterArgs(const MotionCounterParams& params);

}  // namespace VexaDevice::Tessel
