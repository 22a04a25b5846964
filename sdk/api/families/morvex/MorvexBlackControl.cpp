#include "sdk/api/families/morvex/MorvexBlackControl.hpp"

#include "sdk/api/StreamSensorTables.hpp"

namespace VexaDevice::Api {

namespace {

using MorvexBlack::IMorvex;

const ControlTable<IMorvex>& morvexBlackWrites() {
    static const ControlTable<IMorvex> table = headbandWrites<IMorvex>();
    return table;
}

}  // namespace

MorvexBlackControl::MorvexBlackControl(IMorvex& device, uint8_t model) : TableControl(device, morvexBlackWrites()) {
    offer<WrenletAmplifierWriteView>(*this);
    if (model != 0) {
        offer<Morvex2AmplifierWriteView>(*this);
    }
}

OperationResult MorvexBlackControl::writeAmplifierMorvex2(const Morvex2AmplifierParam& param) {
    return device().writeAmplifierParam(deviceForm(param, exactlyOne));
}

OperationResult MorvexBlackControl::writeAmplifierWrenlet(const WrenletAmplifierParam& param) {
    return device().writeAmplifierParam(deviceForm(param, anyNonZero));
}

}  // namespace VexaDevice::Api
