#pragma once
// Wire format shared by the older four-channel headbands (the first MorvexBlack variant and the
// first Lorrel models): 106-byte signal packs of a 2-byte counter and eight records of a marker
// byte and four 24-bit values, big-endian; electrode resistance read from that same signal while
// the device drives its probe current; motion packs of 98 bytes and photoplethysmogram packs of
// 50 bytes behind the same counter; the mode, stream and ping frames and what the devices offer.
// Pure values, no state.

#include <cstdint>
#include <vector>

#include "sdk/core/DeviceVersion.hpp"
#include "sdk/devices/common/StreamCapabilities.hpp"
#include "sdk/devices/kestrane/KestraneRecords.hpp"

namespace VexaDevice::Kestrane::Headband {

inline constexpr uint32_t ChannelCount = 4;
inline constexpr int32_t SamplingRateHz = 250;
// Gain index the amplifier starts with (factor 6).
inline constexpr uint8_t DefaultGainIndex = 4;
// Gain index of the probe current's amplification while resistance is measured (factor 3).
inline constexpr uint8_t ResistGainIndex = 2;
inline constexpr uint8_t MaxGainIndex = 6;
// A motion or photoplethysmogram code, or a sampling-frequency code, the device does not have.
inline constexpr uint8_t NoCode = 0xFF;

// Modes in which the amplifier cannot be set: signal, resistance, both, and the devices' test
// mode 6.
bool amplifierBusy(uint8_t mode);

// Command frames.
std::vector<uint8_t> powerDownFrame();
std::vector<uint8_t> idleFrame();
// 03 and the gain code of `gainIndex` once per channel.
std::vector<uint8_t> startSignalFrame(uint8_t gainIndex);
// 04 and the probe gain code 30 once per channel.
std::vector<uint8_t> startResistFrame();
// 06 and the low byte of the value.
std::vector<uint8_t> pingFrame(int32_t value);

// Converter parameters of the packs.
SignalParams signalParams(uint8_t gainIndex);
// The signal as it is read while the device measures resistance (gain factor 3 on every channel).
SignalParams resistModeSignalParams();
// The signal at gain factor 1: volts before the amplification of the mode it was measured in.
SignalParams unitGainSignalParams();
ResistParams resistParams();
PackParams motionParams();
PackParams fpgParams();

// Sampling-frequency code of a rate: 125 Hz -> 3 ... 8000 Hz -> 9, 255 otherwise.
uint8_t samplingFrequencyCode(int32_t hertz);

// Throws rt_exception "Device unsupported. Failed recognized the device version" when the
// hardware or firmware major number is 0, "Device unsupported. Failed recognized the device
// Family" when the model's first number is not `familyCode`.
void checkDeviceVersion(const DeviceVersion& version, uint8_t familyCode);

// What such a headband offers: signal and resistance with their commands and parameters (the
// gain writable), and the motion and photoplethysmogram streams when it has them.
Devices::Capabilities capabilities(bool hasMotion, bool hasFpg);

}  // namespace VexaDevice::Kestrane::Headband
