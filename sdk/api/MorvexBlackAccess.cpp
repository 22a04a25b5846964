#include "sdk/api/MorvexBlackAccess.hpp"

#include "sdk/api/KestraneDeliveries.hpp"
#include "sdk/api/StreamSensorTables.hpp"
#include "sdk/api/WrenletAmplifierForm.hpp"

namespace VexaDevice::Api {

namespace {

using MorvexBlack::IMorvex;

const AccessTable<IMorvex>& morvexBlackReads() {
    static const AccessTable<IMorvex> table = [] {
        auto rows = streamSensorReads<IMorvex>();
        rows.bytes.emplace_back(ByteParameter::Gain, readOf<uint8_t>(&IMorvex::readGain));
        return rows;
    }();
    return table;
}

}  // namespace

MorvexBlackAccess::MorvexBlackAccess(std::shared_ptr<IMorvex> device, uint8_t model)
    : TableAccess(std::move(device), morvexBlackReads()), model_(model) {}

OperationResult MorvexBlackAccess::readAmplifierMorvex2(Morvex2AmplifierParam& out) {
    if (model_ == 0) {
        return unsupportedRead();
    }
    Kestrane::WrenletAmplifierParam param;
    const auto result = device().readAmplifierParam(param);
    copyToHost(param, out);
    return result;
}

OperationResult MorvexBlackAccess::readAmplifierWrenlet(WrenletAmplifierParam& out) {
    Kestrane::WrenletAmplifierParam param;
    const auto result = device().readAmplifierParam(param);
    copyToHost(param, out);
    return result;
}

Subscription MorvexBlackAccess::addSignalDataMorvex(const HostTarget<MorvexSignalCallback>& host) {
    return Subscription::made(
        subscribeDelivery(device().signalEvent(), PickedSignalDelivery{host, ElectrodePicker::fixedOrder()}),
        Subscription::Records::Kestrane);
}

Subscription MorvexBlackAccess::addResistMorvex(const HostTarget<MorvexResistCallback>& host) {
    return Subscription::made(
        subscribeDelivery(device().resistEvent(), PickedResistDelivery{host, ElectrodePicker::fixedOrder()}),
        Subscription::Records::Kestrane);
}

}  // namespace VexaDevice::Api
