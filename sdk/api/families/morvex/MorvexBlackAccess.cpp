#include "sdk/api/families/morvex/MorvexBlackAccess.hpp"

#include "sdk/api/KestraneDeliveries.hpp"
#include "sdk/api/StreamSensorTables.hpp"

namespace VexaDevice::Api {

namespace {

using MorvexBlack::IMorvex;

const AccessTable<IMorvex>& morvexBlackReads() {
    static const AccessTable<IMorvex> table = headbandReads<IMorvex>();
    return table;
}

}  // namespace

MorvexBlackAccess::MorvexBlackAccess(std::shared_ptr<IMorvex> device, uint8_t model)
    : TableAccess(std::move(device), morvexBlackReads()) {
    if (model != 0) {
        offer<Morvex2AmplifierView>(*this);
    }
    offer<WrenletAmplifierView>(*this);
    offer<MorvexRecordsView>(*this);
}

OperationResult MorvexBlackAccess::readAmplifierMorvex2(Morvex2AmplifierParam& out) {
    return readHeadbandAmplifier(device(), out);
}

OperationResult MorvexBlackAccess::readAmplifierWrenlet(WrenletAmplifierParam& out) {
    return readHeadbandAmplifier(device(), out);
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
