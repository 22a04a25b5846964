#pragma once
// Wire format of the MorvexBlack device (first hardware variant): its 4-byte status units, the
// command frames and the converter parameters of its signal, motion and photoplethysmogram
// packs. Pure values, no state.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sdk/core/DeviceVersion.hpp"
#include "sdk/devices/kestrane/HeadbandWire.hpp"
#include "sdk/devices/kestrane/KestraneRecords.hpp"
#include "sdk/devices/kestrane/KestraneStatus.hpp"

namespace VexaDevice::MorvexBlack {

using Kestrane::DevAmpStatus;

// Last two digits of the device's GATT UUIDs (7E40000N-B534-F393-68A9-E50E24DCCA90).
inline constexpr const char* GattSuffix = "90";
// First model byte of the device-information record: 'G'.
inline constexpr uint8_t ModelCode = 71;
// The signal, resistance, motion and photoplethysmogram packs, the frames and the offer of the
// older four-channel headbands.
using Kestrane::Headband::amplifierBusy;
using Kestrane::Headband::ChannelCount;
using Kestrane::Headband::DefaultGainIndex;
using Kestrane::Headband::fpgParams;
using Kestrane::Headband::idleFrame;
using Kestrane::Headband::MaxGainIndex;
using Kestrane::Headband::motionParams;
using Kestrane::Headband::NoCode;
using Kestrane::Headband::pingFrame;
using Kestrane::Headband::powerDownFrame;
using Kestrane::Headband::ResistGainIndex;
using Kestrane::Headband::resistModeSignalParams;
using Kestrane::Headband::resistParams;
using Kestrane::Headband::samplingFrequencyCode;
using Kestrane::Headband::SamplingRateHz;
using Kestrane::Headband::signalParams;
using Kestrane::Headband::startResistFrame;
using Kestrane::Headband::startSignalFrame;
using Kestrane::Headband::unitGainSignalParams;

// One status unit: device mode, error code of the last command (0 none), battery level, and a
// byte the protocol does not use.
struct DevStatusPack {
    static constexpr size_t Size = 4;
    std::array<uint8_t, Size> bytes{};

    uint8_t mode() const { return bytes[0]; }
    uint8_t error() const { return bytes[1]; }
    uint8_t battery() const { return bytes[2]; }
};

// The device's answer to a command: the mode and error code of the status that answered.
struct OpCmdRes {
    uint8_t mode = 0;
    uint16_t error = 0;

    bool operator==(const OpCmdRes&) const = default;
};

// Modes that measure: signal, resistance, both.
bool isMeasuringMode(uint8_t mode);

// Throws rt_exception "Device unsupported. ..." for a device that is no MorvexBlack device of a
// known version.
void checkDeviceVersion(const DeviceVersion& version);

}  // namespace VexaDevice::MorvexBlack
