#include "sdk/devices/kestrane/KestraneGatt.hpp"

#include "sdk/core/RtException.hpp"

namespace VexaDevice::Kestrane {

namespace ChannelMode = BLE::ChannelMode;
using Utility::rt_exception;

namespace {

std::shared_ptr<BLE::IBLEChannel> lookUp(const BLE::ServiceChannels* service, const std::string& suffix,
                                         KestraneRole role) {
    if (service == nullptr) return nullptr;
    const auto found = service->find(kestraneUuid(suffix, role));
    return found == service->end() ? nullptr : found->second;
}

void require(const std::shared_ptr<BLE::IBLEChannel>& channel, const char* missing) {
    if (!channel) throw rt_exception(missing);
}

bool notifies(const std::shared_ptr<BLE::IBLEChannel>& channel) {
    return channel->rawChannelInfo()->supports(ChannelMode::Notify);
}

void requireNotifyWhenPresent(const std::shared_ptr<BLE::IBLEChannel>& channel, const char* message) {
    if (channel && !notifies(channel)) throw rt_exception(message);
}

}  // namespace

KestraneGattChannels findKestraneChannels(const BLE::ChannelMap& channels, const std::string& suffix, bool withResist) {
    const auto service = channels.find(kestraneUuid(suffix, KestraneRole::Service));
    const BLE::ServiceChannels* characteristics = service == channels.end() ? nullptr : &service->second;
    KestraneGattChannels found;
    found.status = lookUp(characteristics, suffix, KestraneRole::Status);
    found.command = lookUp(characteristics, suffix, KestraneRole::Command);
    found.signal = lookUp(characteristics, suffix, KestraneRole::Signal);
    if (withResist) found.resist = lookUp(characteristics, suffix, KestraneRole::Resist);
    found.envelope = lookUp(characteristics, suffix, KestraneRole::Envelope);
    found.motion = lookUp(characteristics, suffix, KestraneRole::Motion);
    found.fpg = lookUp(characteristics, suffix, KestraneRole::Fpg);

    require(found.status, "Status Channel cannot be null.");
    require(found.command, "Command Channel cannot be null.");
    require(found.signal, "Data Channel cannot be null.");
    if (withResist) require(found.resist, "Resist Channel cannot be null.");
    const auto status = found.status->rawChannelInfo();
    if (!status->supports(ChannelMode::Read) || !status->supports(ChannelMode::Notify))
        throw rt_exception("Status characteristic must have both read and notify properties");
    if (!notifies(found.signal)) throw rt_exception("Data characteristic must have notify properties");
    if (withResist && !notifies(found.resist)) throw rt_exception("Resist characteristic must have notify properties");
    requireNotifyWhenPresent(found.envelope, "Envelope characteristic must have notify properties");
    requireNotifyWhenPresent(found.motion, "IMU characteristic must have notify properties");
    requireNotifyWhenPresent(found.fpg, "FPG characteristic must have notify properties");
    return found;
}

}  // namespace VexaDevice::Kestrane
