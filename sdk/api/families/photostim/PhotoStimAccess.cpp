#include "sdk/api/families/photostim/PhotoStimAccess.hpp"

namespace VexaDevice::Api {

namespace {

using PhotoStim::IPhotoStim;

const AccessTable<IPhotoStim>& photoStimReads() {
    static const AccessTable<IPhotoStim> table{
        .bytes =
            {
                {ByteParameter::FirmwareMode, readOf<uint8_t>(&IPhotoStim::readFirmwareMode)},
                {ByteParameter::StimMode, readOf<uint8_t>(&IPhotoStim::readStimState)},
                {ByteParameter::PhotoStimSyncState, readOf<uint8_t>(&IPhotoStim::readSyncState)},
            },
        .ints =
            {
                {IntParameter::BattPower, readOf<int32_t>(&IPhotoStim::readBattPower)},
                {IntParameter::BattVoltage, readOf<int32_t>(&IPhotoStim::readBattVoltage)},
            },
        .version = readOf<SensorVersion>(&IPhotoStim::readFirmwareVersion),
        .intEvents =
            {
                {IntEvent::Battery, deliverTo<ValueDelivery<IntValueCallback>>(&IPhotoStim::batteryEvent)},
                {IntEvent::BatteryVoltage,
                 deliverTo<ValueDelivery<IntValueCallback>>(&IPhotoStim::batteryVoltageEvent)},
            },
        .byteEvents =
            {
                {ByteEvent::StimMode, deliverTo<ValueDelivery<ByteValueCallback>>(&IPhotoStim::stimStatusEvent)},
                {ByteEvent::PhotoStimSyncState,
                 deliverTo<ValueDelivery<ByteValueCallback>>(&IPhotoStim::syncStatusEvent)},
            },
    };
    return table;
}

}  // namespace

PhotoStimAccess::PhotoStimAccess(std::shared_ptr<IPhotoStim> device)
    : TableAccess(std::move(device), photoStimReads()) {
    offer<StimulatorView>(*this);
}

OperationResult PhotoStimAccess::readPhotoStimTimeDefer(double& out) { return device().readTimeDefer(out); }

OperationResult PhotoStimAccess::readStimPrograms(std::vector<StimulProgram>& out) {
    std::vector<PhotoStim::StimProgram> programs;
    const OperationResult result = device().readStimPrograms(programs);
    out.clear();
    for (const auto& program : programs) {
        out.push_back(hostProgram(program));
    }
    return result;
}

}  // namespace VexaDevice::Api
