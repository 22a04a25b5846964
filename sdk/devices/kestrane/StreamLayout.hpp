#pragma once
// What a command-and-stream family makes of a device it recognised: the GATT suffix, the
// converter parameters of its streams and what it offers; and its amplifier settings.

#include <cstdint>
#include <string>
#include <vector>

#include "sdk/core/SensorEnums.hpp"
#include "sdk/devices/kestrane/KestraneRecords.hpp"

namespace VexaDevice::Kestrane {

struct StreamLayout {
    std::string suffix;  // last two digits of the GATT UUIDs
    uint32_t channelCount = 4;
    uint32_t amplifierSlots = 4;  // channel pairs in the amplifier frame
    int32_t samplingRate = 250;   // hertz
    SignalParams signal;
    ResistParams resist;
    PackParams motion;
    PackParams fpg;
    bool littleEndian = false;  // signal, motion and photoplethysmogram packs; resistance packs are little-endian
    // Offered whatever channels the device has; the protocol adds the motion and
    // photoplethysmogram entries when their channels exist.
    Sensor::CommandSet commands;
    Sensor::ParameterMap parameters;
    Sensor::FeatureSet features;
};

// The streams of a device with `channels` EEG channels at 250 Hz: signal packs of
// `samplesPerPack` records of 3-byte values, resistance packs of one record of 4-byte values,
// motion packs of eight records of 2-byte values (codes 1 and 1), photoplethysmogram packs of
// eight records of 3-byte values (codes 5 and 5); every pack headed by a `counterSize`-byte
// counter except the resistance packs (4 bytes). Gain 6 and probe current code 1 on every
// channel; resistance between 0 and 4 MOhm. Suffix, commands, parameters and features are left
// for the family.
StreamLayout streamLayout(uint32_t channels, uint32_t samplesPerPack, uint32_t counterSize, bool littleEndian);

// Start and stop of the signal and of the resistance, idle and power-down.
Sensor::CommandSet modeCommands();
// The mode commands and start and stop of signal and resistance together: the commands of the
// families whose amplifier measures both at once.
Sensor::CommandSet streamCommands();

// The parameters every command-and-stream family offers (name, state, address, serial number,
// firmware mode, sampling frequency, offset, firmware version, battery, mode, family,
// resistance sampling frequency, amplifier).
Sensor::ParameterMap streamParameters();

// Bytes of one signal pack.
uint32_t signalPackSize(uint32_t channels, uint32_t samplesPerPack, uint32_t counterSize);

// One amplifier setting, one entry per slot of the family's record (at least one per channel):
// signal flag (0 or 1), resistance flag (0 or 1), gain code; and the probe current code.
struct AmplifierSettings {
    std::vector<uint8_t> signalEnabled;
    std::vector<uint8_t> resistEnabled;
    std::vector<uint8_t> gain;
    uint8_t current = 0;
};

// The gain and probe-current codes of the default setting; the layouts' converter parameters
// are those of this setting.
inline constexpr uint8_t DefaultGainCode = 4;
inline constexpr uint8_t DefaultCurrentCode = 1;

// Signal and resistance on every channel at the default codes: what the protocols send once
// connected.
AmplifierSettings defaultAmplifier(uint32_t channels);

}  // namespace VexaDevice::Kestrane
