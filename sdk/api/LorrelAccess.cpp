#include "sdk/api/LorrelAccess.hpp"

#include "sdk/api/KestraneDeliveries.hpp"
#include "sdk/api/WrenletAmplifierForm.hpp"

namespace VexaDevice::Api {

namespace {

using Lorrel::ILorrel;

const AccessTable<ILorrel>& lorrelReads() {
    static const AccessTable<ILorrel> table{
        .bytes =
            {
                {ByteParameter::FirmwareMode, readOf<uint8_t>(&ILorrel::readFirmwareMode)},
                {ByteParameter::SamplingFrequency, readOf<uint8_t>(&ILorrel::readSamplingFrequency)},
                {ByteParameter::DataOffset, readOf<uint8_t>(&ILorrel::readOffset)},
                {ByteParameter::Gain, readOf<uint8_t>(&ILorrel::readGain)},
                {ByteParameter::AccelerometerSens, readOf<uint8_t>(&ILorrel::readAccelerometerSens)},
                {ByteParameter::GyroscopeSens, readOf<uint8_t>(&ILorrel::readGyroscopeSens)},
                {ByteParameter::SamplingFrequencyMEMS, readOf<uint8_t>(&ILorrel::readSamplingFrequencyMEMS)},
                {ByteParameter::SamplingFrequencyFPG, readOf<uint8_t>(&ILorrel::readSamplingFrequencyFPG)},
                {ByteParameter::IrAmplitude, readOf<uint8_t>(&ILorrel::readIrAmplitude)},
                {ByteParameter::RedAmplitude, readOf<uint8_t>(&ILorrel::readRedAmplitude)},
                {ByteParameter::SamplingFrequencyResist, readOf<uint8_t>(&ILorrel::readSamplingFrequencyResist)},
                {ByteParameter::AmpMode, readOf<uint8_t>(&ILorrel::readSensorMode)},
            },
        .ints = {{IntParameter::BattPower, readOf<int32_t>(&ILorrel::readBattPower)}},
        .version = readOf<SensorVersion>(&ILorrel::readFirmwareVersion),
        .intEvents = {{IntEvent::Battery, deliverTo<ValueDelivery<IntValueCallback>>(&ILorrel::batteryEvent)}},
        .byteEvents = {{ByteEvent::AmpMode, deliverTo<ValueDelivery<ByteValueCallback>>(&ILorrel::ampModeEvent)}},
        .memsData = deliverTo<MemsDelivery>(&ILorrel::memsEvent, Subscription::Records::Kestrane),
        .fpgData = deliverTo<FpgDelivery>(&ILorrel::fpgEvent),
    };
    return table;
}

}  // namespace

LorrelAccess::LorrelAccess(std::shared_ptr<ILorrel> device) : TableAccess(std::move(device), lorrelReads()) {}

OperationResult LorrelAccess::readAmplifierWrenlet(WrenletAmplifierParam& out) {
    Kestrane::WrenletAmplifierParam param;
    const auto result = device().readAmplifierParam(param);
    copyToHost(param, out);
    return result;
}

Subscription LorrelAccess::addSignalLorrel(const HostTarget<MorvexSignalCallback>& host) {
    return Subscription::made(
        subscribeDelivery(device().signalEvent(), PickedSignalDelivery{host, ElectrodePicker::fixedOrder()}));
}

Subscription LorrelAccess::addResistLorrel(const HostTarget<FourChannelResistCallback>& host) {
    return Subscription::made(
        subscribeDelivery(device().resistEvent(), FourChannelResistDelivery{host, ElectrodePicker::fixedOrder()}));
}

}  // namespace VexaDevice::Api
