#include "sdk/devices/dravik/DravikChannels.hpp"

#include <string>
#include <utility>

#include "sdk/core/Log.hpp"
#include "sdk/core/RtException.hpp"
#include "sdk/devices/dravik/DravikGatt.hpp"

namespace VexaDevice::Dravik {

using Utility::rt_exception;

namespace {

bool hasMode(const Channel& channel, int32_t mode) {
    const auto info = channel->rawChannelInfo();
    return info && info->supports(mode);
}

Channel findChannel(const BLE::ChannelMap& map, const Utility::UUID& service, const Utility::UUID& characteristic) {
    const auto foundService = map.find(service);
    if (foundService == map.end()) {
        return nullptr;
    }
    const auto found = foundService->second.find(characteristic);
    return found == foundService->second.end() ? nullptr : found->second;
}

}  // namespace

DravikChannels DravikChannels::find(BLE::IBLEDevice& device) {
    const BLE::ChannelMap map = device.getChannelMap();
    DravikChannels channels;
    channels.battery = findChannel(map, BatteryServiceUuid, BatteryLevelUuid);
    channels.acsStatus = findChannel(map, AcsServiceUuid, AcsStatusUuid);
    channels.acsConfig = findChannel(map, AcsServiceUuid, AcsConfigUuid);
    channels.acsCommand = findChannel(map, AcsServiceUuid, AcsCommandUuid);
    channels.acsData = findChannel(map, AcsServiceUuid, AcsDataUuid);
    channels.fsStatus = findChannel(map, FsServiceUuid, FsStatusUuid);
    channels.fsCommand = findChannel(map, FsServiceUuid, FsCommandUuid);
    channels.fsReply = findChannel(map, FsServiceUuid, FsReplyUuid);
    channels.fsStream = findChannel(map, FsServiceUuid, FsStreamUuid);
    const std::pair<const Channel*, const char*> required[] = {
        {&channels.battery, "Battery Channel cannot be null."},
        {&channels.acsStatus, "ACS Status Channel cannot be null."},
        {&channels.acsConfig, "ACS Config Channel cannot be null."},
        {&channels.acsCommand, "ACS Command Channel cannot be null."},
        {&channels.acsData, "ACS Data Channel cannot be null."},
        {&channels.fsStatus, "FS Status Channel cannot be null."},
        {&channels.fsCommand, "FS Command Channel cannot be null."},
        {&channels.fsReply, "FS Reply Channel cannot be null."},
        {&channels.fsStream, "FS Stream Channel cannot be null."},
    };
    for (const auto& [channel, failure] : required) {
        if (!*channel) {
            throw rt_exception(failure);
        }
    }
    using BLE::ChannelMode::Notify;
    using BLE::ChannelMode::Read;
    using BLE::ChannelMode::Write;
    if (!hasMode(channels.battery, Read) || !hasMode(channels.battery, Notify)) {
        throw rt_exception("Battery characteristic must have both read and notify properties");
    }
    if (!hasMode(channels.acsStatus, Read) || !hasMode(channels.acsStatus, Notify)) {
        throw rt_exception("ACS Status characteristic must have both read and notify properties");
    }
    if (!hasMode(channels.acsConfig, Read) || !hasMode(channels.acsConfig, Write)) {
        throw rt_exception("ACS Config characteristic must have both read and write properties");
    }
    if (!hasMode(channels.acsCommand, Write)) {
        throw rt_exception("ACS Command characteristic must have write property");
    }
    if (!hasMode(channels.acsData, Notify)) {
        throw rt_exception("ACS Data characteristic must have notify property");
    }
    return channels;
}

void setNotify(const Channel& channel, bool on) {
    try {
        if (on && !channel->isNotifying()) {
            channel->startNotify();
        } else if (!on && channel->isNotifying()) {
            channel->stopNotify();
        }
    } catch (const std::exception& error) {
        Utility::sdkLog().warn("[DravikBleProtocol] switching a notification failed: {}", error.what());
    }
}

std::vector<uint8_t> readWithRetries(const Channel& channel, const char* failure, const Devices::LinkLoss& linkLoss,
                                     int attempts) {
    for (int attempt = 1;; ++attempt) {
        if (linkLoss.isLost()) {
            throw rt_exception(failure);
        }
        try {
            std::vector<uint8_t> bytes;
            if (channel->read(bytes)) {
                return bytes;
            }
            if (attempt >= attempts) {
                throw rt_exception(failure);
            }
        } catch (const rt_exception&) {
            throw;
        } catch (const std::exception& error) {
            if (attempt >= attempts) {
                throw rt_exception(std::string(failure) + ": " + error.what());
            }
        }
    }
}

}  // namespace VexaDevice::Dravik
