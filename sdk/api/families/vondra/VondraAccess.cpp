#include "sdk/api/families/vondra/VondraAccess.hpp"

#include <cstddef>
#include <type_traits>

#include "sdk/api/KestraneDeliveries.hpp"
#include "sdk/api/StreamSensorTables.hpp"
#include "sdk/api/families/vondra/VondraDeliveries.hpp"

namespace VexaDevice::Api {

namespace {

using Vondra::IVondra;
using Vondra2::IVondra2;

const AccessTable<IVondra>& vondraReads() {
    static const AccessTable<IVondra> table = amplifierReads<IVondra>();
    return table;
}

const AccessTable<IVondra2>& vondra2Reads() {
    static const AccessTable<IVondra2> table = streamSensorReads<IVondra2>();
    return table;
}

// The host's record: as many entries of each array as it has channels, and the current.
template <class HostParam>
HostParam hostAmplifier(const Vondra::VondraAmplifierParam& param) {
    HostParam out{};
    for (size_t channel = 0; channel < std::extent_v<decltype(HostParam::ChMode)>; ++channel) {
        out.ChMode[channel] = param.signalUse[channel];
        out.ChFlag[channel] = param.resistUse[channel];
        out.ChGain[channel] = param.gain[channel];
    }
    out.Current = param.current;
    return out;
}

}  // namespace

VondraAccess::VondraAccess(std::shared_ptr<IVondra> device) : TableAccess(std::move(device), vondraReads()) {
    offer<VondraAccess>(*this);
}

OperationResult VondraAccess::readAmplifierVondra(VondraAmplifierParam& out) {
    Vondra::VondraAmplifierParam param;
    const auto result = device().readAmplifierParam(param);
    out = hostAmplifier<VondraAmplifierParam>(param);
    return result;
}

Subscription VondraAccess::addSignalVondra(const HostTarget<VondraSignalCallback>& host) {
    return Subscription::made(subscribeDelivery(device().signalEvent(), VondraSignalDelivery{host}));
}

Subscription VondraAccess::addResistVondra(const HostTarget<VondraResistCallback>& host) {
    return Subscription::made(subscribeDelivery(device().resistEvent(), VondraResistDelivery{host}));
}

Vondra2Access::Vondra2Access(std::shared_ptr<IVondra2> device) : TableAccess(std::move(device), vondra2Reads()) {
    offer<Vondra2Access>(*this);
}

OperationResult Vondra2Access::readAmplifierVondra2(Vondra2AmplifierParam& out) {
    Vondra2::Vondra2AmplifierParam param;
    const auto result = device().readAmplifierParam(param);
    out = hostAmplifier<Vondra2AmplifierParam>(param);
    return result;
}

Subscription Vondra2Access::addSignalVondra2(const HostTarget<MorvexSignalCallback>& host) {
    return Subscription::made(
        subscribeDelivery(device().signalEvent(), PickedSignalDelivery{host, ElectrodePicker::inOrder()}));
}

Subscription Vondra2Access::addResistVondra2(const HostTarget<FourChannelResistArrayCallback>& host) {
    return Subscription::made(subscribeDelivery(device().resistEvent(), FourChannelResistArrayDelivery{host}));
}

}  // namespace VexaDevice::Api
