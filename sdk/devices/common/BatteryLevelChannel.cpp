#include "sdk/devices/common/BatteryLevelChannel.hpp"

#include <algorithm>

#include "sdk/core/Log.hpp"
#include "sdk/core/RtException.hpp"

namespace VexaDevice::Devices {

namespace {

constexpr int32_t FullLevel = 100;

void store(std::atomic<int32_t>& level, const std::vector<uint8_t>& value) {
    if (!value.empty()) level = std::min<int32_t>(value.front(), FullLevel);
}

}  // namespace

BatteryLevelChannel::BatteryLevelChannel(const BLE::ChannelMap& channels, const std::atomic<bool>& stopped,
                                         int readAttempts, std::weak_ptr<Utility::CvWait> wake)
    : stopped_(stopped), readAttempts_(readAttempts) {
    const auto service = channels.find(BatteryServiceUuid);
    if (service != channels.end()) {
        const auto found = service->second.find(BatteryLevelUuid);
        if (found != service->second.end()) channel_ = found->second;
    }
    if (!channel_) throw Utility::rt_exception("Battery Channel cannot be null.");
    const auto info = channel_->rawChannelInfo();
    if (!info->supports(BLE::ChannelMode::Notify) || !info->supports(BLE::ChannelMode::Read))
        throw Utility::rt_exception("Battery characteristic must have both read and notify properties");

    read();
    handler_ = std::make_shared<BLE::DataBus::Callback>(
        [level = level_, wake = std::move(wake)](const std::vector<uint8_t>& value) {
            store(*level, value);
            if (const auto waiter = wake.lock()) waiter->notify();
        });
    if (const auto bus = channel_->dataEvent().lock()) bus->subscribe(handler_);
    channel_->startNotify();
}

BatteryLevelChannel::~BatteryLevelChannel() {
    try {
        channel_->stopNotify();
    } catch (const std::exception& e) {
        Utility::sdkLog().warn("[Battery] stopping the notification failed: {}", e.what());
    }
}

void BatteryLevelChannel::read() {
    for (int attempt = 0; attempt < readAttempts_; ++attempt) {
        if (stopped_) return;
        std::vector<uint8_t> value;
        if (channel_->read(value)) {
            store(*level_, value);
            return;
        }
    }
    throw Utility::rt_exception("Can not read Battery power");
}

}  // namespace VexaDevice::Devices
