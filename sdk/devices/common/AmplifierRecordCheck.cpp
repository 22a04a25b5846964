#include "sdk/devices/common/AmplifierRecordCheck.hpp"

#include <algorithm>

#include "sdk/core/DeviceError.hpp"
#include "sdk/devices/common/AmplifierGainCode.hpp"

namespace VexaDevice::Devices {

namespace {

OperationResult refused(const char* message) {
    return OperationResult::failed(Utility::kKspErrors.wrongParamValue, message);
}

bool onOrOff(uint8_t value) { return value <= 1; }

}  // namespace

OperationResult checkAmplifierRecord(const AmplifierRecordBytes& record, size_t channels,
                                     const AmplifierTables& tables) {
    if (!tables.knownCurrent(record.current)) return refused("The specified Current value is not supported");
    if (record.signal.size() < channels || record.resist.size() < channels || record.gains.size() < channels)
        return refused("Wrong number of channels is specified");
    for (size_t slot = 0; slot < record.gains.size(); ++slot) {
        const uint8_t gain = record.gains[slot];
        const bool noChannel = slot >= channels && gain == kNoChannelGain;
        if (!noChannel && !tables.knownGain(gain)) return refused("The specified Gain value is not supported");
    }
    if (!std::ranges::all_of(record.signal, onOrOff)) return refused("The specified Mode value is not supported");
    if (!std::ranges::all_of(record.resist, onOrOff)) return refused("The specified Flag value is not supported");
    return OperationResult::done();
}

}  // namespace VexaDevice::Devices
