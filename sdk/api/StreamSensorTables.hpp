#pragma once
// The table rows families have alike. Every family with the amplifier reads (Vondra, Morvex2,
// the Kestrane headbands) answers the sampling frequencies, offset, mode, firmware mode, battery
// and version reads and the battery and mode events through `amplifierReads`. A
// command-and-stream family adds the motion and photoplethysmogram codes and data
// (`streamSensorReads`) and writes those codes with the ping (`streamSensorWrites`); the
// four-channel headbands (MorvexBlack, Lorrel) add the gain (`headbandReads`,
// `headbandWrites`). A family starts from these and adds its own rows.

#include <cstdint>

#include "sdk/api/FamilyTable.hpp"
#include "sdk/api/KestraneDeliveries.hpp"
#include "sdk/api/WrenletAmplifierForm.hpp"

namespace VexaDevice::Api {

template <class Device>
AccessTable<Device> amplifierReads() {
    return {
        .bytes =
            {
                {ByteParameter::FirmwareMode, readOf<uint8_t>(&Device::readFirmwareMode)},
                {ByteParameter::SamplingFrequency, readOf<uint8_t>(&Device::readSamplingFrequency)},
                {ByteParameter::DataOffset, readOf<uint8_t>(&Device::readOffset)},
                {ByteParameter::SamplingFrequencyResist, readOf<uint8_t>(&Device::readSamplingFrequencyResist)},
                {ByteParameter::AmpMode, readOf<uint8_t>(&Device::readSensorMode)},
            },
        .ints = {{IntParameter::BattPower, readOf<int32_t>(&Device::readBattPower)}},
        .version = readOf<SensorVersion>(&Device::readFirmwareVersion),
        .intEvents = {{IntEvent::Battery, deliverTo<ValueDelivery<IntValueCallback>>(&Device::batteryEvent)}},
        .byteEvents = {{ByteEvent::AmpMode, deliverTo<ValueDelivery<ByteValueCallback>>(&Device::ampModeEvent)}},
    };
}

template <class Device>
AccessTable<Device> streamSensorReads() {
    AccessTable<Device> rows = amplifierReads<Device>();
    rows.bytes.insert(rows.bytes.end(),
                      {
                          {ByteParameter::AccelerometerSens, readOf<uint8_t>(&Device::readAccelerometerSens)},
                          {ByteParameter::GyroscopeSens, readOf<uint8_t>(&Device::readGyroscopeSens)},
                          {ByteParameter::SamplingFrequencyMEMS, readOf<uint8_t>(&Device::readSamplingFrequencyMEMS)},
                          {ByteParameter::SamplingFrequencyFPG, readOf<uint8_t>(&Device::readSamplingFrequencyFPG)},
                          {ByteParameter::IrAmplitude, readOf<uint8_t>(&Device::readIrAmplitude)},
                          {ByteParameter::RedAmplitude, readOf<uint8_t>(&Device::readRedAmplitude)},
                      });
    rows.memsData = deliverTo<MemsDelivery>(&Device::memsEvent, Subscription::Records::Kestrane);
    rows.fpgData = deliverTo<FpgDelivery>(&Device::fpgEvent);
    return rows;
}

template <class Device>
AccessTable<Device> headbandReads() {
    AccessTable<Device> rows = streamSensorReads<Device>();
    rows.bytes.emplace_back(ByteParameter::Gain, readOf<uint8_t>(&Device::readGain));
    return rows;
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

template <class Device>
ControlTable<Device> headbandWrites() {
    ControlTable<Device> rows = streamSensorWrites<Device>();
    rows.bytes.emplace_back(WriteParameter::Gain, writeOf<uint8_t>(&Device::writeGain));
    rows.channelsCount = [](Device&) { return static_cast<int32_t>(kHeadbandChannels); };
    return rows;
}

}  // namespace VexaDevice::Api
