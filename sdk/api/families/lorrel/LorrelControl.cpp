#include "sdk/api/families/lorrel/LorrelControl.hpp"

#include "sdk/api/StreamSensorTables.hpp"

namespace VexaDevice::Api {

namespace {

using Lorrel::ILorrel;

const ControlTable<ILorrel>& lorrelWrites() {
    static const ControlTable<ILorrel> table = headbandWrites<ILorrel>();
    return table;
}

}  // namespace

LorrelControl::LorrelControl(ILorrel& device) : TableControl(device, lorrelWrites()) {
    offer<WrenletAmplifierWriteView>(*this);
}

OperationResult LorrelControl::writeAmplifierWrenlet(const WrenletAmplifierParam& param) {
    return device().writeAmplifierParam(deviceForm(param, anyNonZero));
}

}  // namespace VexaDevice::Api
