#include "sdk/api/families/lorrel/LorrelAccess.hpp"

#include "sdk/api/KestraneDeliveries.hpp"
#include "sdk/api/StreamSensorTables.hpp"

namespace VexaDevice::Api {

namespace {

using Lorrel::ILorrel;

const AccessTable<ILorrel>& lorrelReads() {
    static const AccessTable<ILorrel> table = headbandReads<ILorrel>();
    return table;
}

}  // namespace

LorrelAccess::LorrelAccess(std::shared_ptr<ILorrel> device) : TableAccess(std::move(device), lorrelReads()) {
    offer<LorrelAccess>(*this);
    offer<WrenletAmplifierView>(*this);
}

OperationResult LorrelAccess::readAmplifierWrenlet(WrenletAmplifierParam& out) {
    return readHeadbandAmplifier(device(), out);
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
