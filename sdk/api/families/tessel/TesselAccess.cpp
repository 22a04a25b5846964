#include "sdk/api/families/tessel/TesselAccess.hpp"

#include <algorithm>

#include "sdk/api/families/tessel/TesselDeliveries.hpp"

namespace VexaDevice::Api {

namespace {

using Tessel::ITessel;

// Firmware major and minor, hardware major, and the fourth echo word last; the rest 0.
OperationResult readTesselVersion(ITessel& device, SensorVersion& out) {
    Tessel::EchoInfo echo;
    const auto result = device.readVersion(echo);
    out = SensorVersion{static_cast<uint32_t>(echo.major),
                        static_cast<uint32_t>(echo.minor),
                        0,
                        static_cast<uint32_t>(echo.third),
                        0,
                        0,
                        static_cast<uint32_t>(echo.fourth)};
    return result;
}

const AccessTable<ITessel>& tesselReads() {
    static const AccessTable<ITessel> table{
        .bytes =
            {
                {ByteParameter::FirmwareMode, readOf<uint8_t>(&ITessel::readFirmwareMode)},
                {ByteParameter::SamplingFrequency, readOf<uint8_t>(&ITessel::readSamplingFrequency)},
                {ByteParameter::DataOffset, readOf<uint8_t>(&ITessel::readDataOffset)},
                {ByteParameter::Gain, readOf<uint8_t>(&ITessel::readGain)},
                {ByteParameter::AccelerometerSens, readOf<uint8_t>(&ITessel::readAccelerometerSens)},
                {ByteParameter::GyroscopeSens, readOf<uint8_t>(&ITessel::readGyroscopeSens)},
                {ByteParameter::SamplingFrequencyMEMS, readOf<uint8_t>(&ITessel::readSamplingFrequencyMEMS)},
                {ByteParameter::SamplingFrequencyEnvelope, readOf<uint8_t>(&ITessel::readSamplingFrequencyEnvelope)},
                {ByteParameter::SamplingFrequencyResp, readOf<uint8_t>(&ITessel::readSamplingFrequencyResp)},
                {ByteParameter::ADCInput, readOf<uint8_t>(&ITessel::readADCInput)},
                {ByteParameter::ExternalSwitch, readOf<uint8_t>(&ITessel::readExternalSwitch)},
                {ByteParameter::ElectrodeState, readOf<uint8_t>(&ITessel::readElectrodeState)},
                {ByteParameter::MEMSCalibrateState, readOf<uint8_t>(&ITessel::readMEMSCalibrateState)},
            },
        .ints =
            {
                {IntParameter::BattPower, readOf<int32_t>(&ITessel::readBattPower)},
                {IntParameter::Colour, readOf<int32_t>(&ITessel::readColor)},
                {IntParameter::MotionCounter, readOf<int32_t>(&ITessel::readMotionCounter)},
            },
        .version = readTesselVersion,
        .intEvents = {{IntEvent::Battery, deliverTo<ValueDelivery<IntValueCallback>>(&ITessel::batteryEvent)}},
        .byteEvents = {{ByteEvent::ElectrodeState,
                        deliverTo<ValueDelivery<ByteValueCallback>>(&ITessel::electrodeStateEvent)}},
        .memsData = deliverTo<TesselMemsDelivery>(&ITessel::memsEvent),
    };
    return table;
}

}  // namespace

TesselAccess::TesselAccess(std::shared_ptr<ITessel> device) : TableAccess(std::move(device), tesselReads()) {
    offer<TesselAccess>(*this);
}

OperationResult TesselAccess::readHardwareFilters(std::vector<uint8_t>& out) {
    std::set<uint8_t> filters;
    const auto result = device().readHardwareFilters(filters);
    out.assign(filters.begin(), filters.end());
    return result;
}

OperationResult TesselAccess::readMotionCounterParam(TesselMotionCounterParam& out) {
    Tessel::MotionCounterParams params;
    const auto result = device().readMotionCounterParam(params);
    out = TesselMotionCounterParam{params.counterParam1, params.counterParam2};
    return result;
}

OperationResult TesselAccess::readMotionAssistantParam(TesselMotionAssistantParam& out) {
    Tessel::MotionAssistantParams params;
    const auto result = device().readMotionAssistantParam(params);
    out = TesselMotionAssistantParam{params.gyroStart, params.gyroStop, params.limb,
                                     static_cast<uint8_t>(std::min<uint16_t>(params.minPause, 255))};
    return result;
}

OperationResult TesselAccess::readStimulatorParam(TesselStimulatorParam& out) {
    Tessel::StimulationParams params;
    const auto result = device().readStimulatorParam(params);
    out = TesselStimulatorParam{params.current, 0, params.pulseWidth, params.frequency, 0, params.stimulusDuration};
    return result;
}

OperationResult TesselAccess::readStimulatorAndMAState(TesselStimulatorAndMAState& out) {
    Tessel::StimulatorAndMAState state;
    const auto result = device().readStimulatorAndMAState(state);
    out = TesselStimulatorAndMAState{state.stimulatorState, state.motionAssistantState};
    return result;
}

Subscription TesselAccess::addQuaternionData(const HostTarget<QuaternionDataCallback>& host) {
    return Subscription::made(subscribeDelivery(device().quaternionEvent(), QuaternionDelivery{host}));
}

Subscription TesselAccess::addEnvelopeTessel(const HostTarget<EnvelopeDataCallback>& host) {
    return Subscription::made(subscribeDelivery(device().envelopeEvent(), EnvelopeDelivery{host}));
}

Subscription TesselAccess::addSignalTessel(const HostTarget<TesselSamplesCallback>& host) {
    return Subscription::made(
        subscribeDelivery(device().signalEvent(), TesselSamplesDelivery<Tessel::_SignalData>{host}));
}

Subscription TesselAccess::addRespirationTessel(const HostTarget<TesselSamplesCallback>& host) {
    return Subscription::made(
        subscribeDelivery(device().respirationEvent(), TesselSamplesDelivery<Tessel::_RespirationData>{host}));
}

}  // namespace VexaDevice::Api
