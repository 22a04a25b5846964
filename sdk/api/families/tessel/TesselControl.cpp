#include "sdk/api/families/tessel/TesselControl.hpp"

namespace VexaDevice::Api {

namespace {

using Tessel::ITessel;

const ControlTable<ITessel>& tesselWrites() {
    static const ControlTable<ITessel> table{
        .bytes =
            {
                {WriteParameter::SamplingFrequency, writeOf<uint8_t>(&ITessel::writeSamplingFrequency)},
                {WriteParameter::Gain, writeOf<uint8_t>(&ITessel::writeGain)},
                {WriteParameter::DataOffset, writeOf<uint8_t>(&ITessel::writeDataOffset)},
                {WriteParameter::FirmwareMode, writeOf<uint8_t>(&ITessel::writeFirmwareMode)},
                {WriteParameter::ADCInput, writeOf<uint8_t>(&ITessel::writeADCInput)},
                {WriteParameter::ExternalSwitch, writeOf<uint8_t>(&ITessel::writeExternalSwitch)},
                {WriteParameter::AccelerometerSens, writeOf<uint8_t>(&ITessel::writeAccelerometerSens)},
                {WriteParameter::GyroscopeSens, writeOf<uint8_t>(&ITessel::writeGyroscopeSens)},
            },
        // One signal channel; one stimulation phase where the current stimulator is fitted.
        .channelsCount = [](ITessel&) { return 1; },
        .maxStimulPhases =
            [](ITessel& device) {
                return device.isSupportedCommand(Sensor::SensorCommand::StartCurrentStimulation) ? 1 : 0;
            },
        .supportedFilters = [](ITessel& device) { return device.supportedFilters(); },
    };
    return table;
}

}  // namespace

TesselControl::TesselControl(ITessel& device) : TableControl(device, tesselWrites()) { offer<TesselControl>(*this); }

OperationResult TesselControl::writeHardwareFilters(const std::set<uint8_t>& filters) {
    return device().writeHardwareFilters(filters);
}

OperationResult TesselControl::writeMotionAssistantParam(const TesselMotionAssistantParam& param) {
    return device().writeMotionAssistantParam(Tessel::MotionAssistantParams{param.StartThreshold, param.StopThreshold,
                                                                            param.SelectorCode, param.IntervalCode});
}

OperationResult TesselControl::writeMotionCounterParam(const TesselMotionCounterParam& param) {
    return device().writeMotionCounterParam(Tessel::MotionCounterParams{param.CounterParam1, param.CounterParam2});
}

OperationResult TesselControl::writeStimulatorParam(const TesselStimulatorParam& param) {
    return device().writeStimulatorParam(
        Tessel::StimulationParams{param.Amplitude, param.PulseWidth, param.Frequency, param.Duration});
}

OperationResult TesselControl::readSignalSettings(uint8_t& out) {
    out = device().readSignalSettings();
    return OperationResult::done();
}

OperationResult TesselControl::writeSignalSettings(uint8_t value) { return device().writeSignalSettings(value); }

}  // namespace VexaDevice::Api
