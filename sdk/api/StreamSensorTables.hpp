#pragma once
// The table rows every command-and-stream family (Morvex2, MorvexBlack) has alike: its byte reads
// of the sampling frequencies, offset, mode and motion and photoplethysmogram codes, the battery
// and mode events, the motion and photoplethysmogram data, and the writes of those codes with
// the ping. A family starts from these and adds its own rows.

#include <cstdint>

#include "sdk/api/FamilyTable.hpp"
#include "sdk/api/KestraneDeliveries.hpp"

namespace VexaDevice::Api {

template <class Device>
AccessTable<Device> streamSensorReads() {
    return {
        .bytes =
            {
                {ByteParameter::SamplingFrequency, readOf<uint8_t>(&Device::readSamplingFrequency)},
                {ByteParameter::DataOffset, readOf<uint8_t>(&Device::readOffset)},
                {ByteParameter::AccelerometerSens, readOf<uint8_t>(&Device::readAccelerometerSens)},
                {ByteParameter::GyroscopeSens, readOf<uint8_t>(&Device::readGyroscopeSens)},
                {ByteParameter::SamplingFrequencyMEMS, readOf<uint8_t>(&Device::readSamplingFrequencyMEMS)},
                {ByteParameter::SamplingFrequencyFPG, readOf<uint8_t>(&Device::readSamplingFrequencyFPG)},
                {ByteParameter::IrAmplitude, readOf<uint8_t>(&Device::readIrAmplitude)},
                {ByteParameter::RedAmplitude, readOf<uint8_t>(&Device::readRedAmplitude)},
                {ByteParameter::SamplingFrequencyResist, readOf<uint8_t>(&Device::readSamplingFrequencyResist)},
                {ByteParameter::AmpMode, readOf<uint8_t>(&Device::readSensorMode)},
                {ByteParameter::FirmwareMode, readOf<uint8_t>(&Device::readFirmwareMode)},
            },
        .ints = {{IntParameter::BattPower, readOf<int32_t>(&Device::readBattPower)}},
        .version = readOf<SensorVersion>(&Device::readFirmwareVersion),
        .intEvents = {{IntEvent::Battery, deliverTo<ValueDelivery<IntValueCallback>>(&Device::batteryEvent)}},
        .byteEvents = {{ByteEvent::AmpMode, deliverTo<ValueDelivery<ByteValueCallback>>(&Device::ampModeEvent)}},
        .memsData = deliverTo<MemsDelivery>(&Device::memsEvent, Subscription::Records::Kestrane),
        .fpgData = deliverTo<FpgDelivery>(&Device::fpgEvent),
    };
}

template <class Device>
ControlTable<Device> streamSensorWrites() {
    return {
        .bytes =
            {
                {WriteParameter::AccelerometerSens, writeOf<uint8_t>(&Device::writeAccelerometerSens)},
                {WriteParameter::GyroscopeSens, writeOf<uint8_t>(&Device::writeGyroscopeSens)},
                {WriteParameter::IrAmplitude, writeOf<uint8_t>(&Device::writeIrAmplitude)},
                {WriteParameter::RedAmplitude, writeOf<uint8_t>(&Device::writeRedAmplitude)},
            },
        .ping = writeOf<int32_t>(&Device::ping),
    };
}

}  // namespace VexaDevice::Api
