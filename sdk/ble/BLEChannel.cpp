#include "sdk/ble/BLEChannel.hpp"

#include <algorithm>
#include <mutex>
#include <stdexcept>

#include "sdk/ble/StatusText.hpp"
#include "sdk/core/Log.hpp"

namespace VexaDevice::BLE {

using Utility::sdkLog;

namespace {
constexpr size_t dataBusCapacity = 2048;
}

RawChannelInfo::RawChannelInfo(const Utility::UUID& serviceUuid, const Utility::UUID& characteristicUuid,
                               std::vector<int32_t> modes)
    : serviceUuid_(serviceUuid), characteristicUuid_(characteristicUuid), modes_(std::move(modes)) {}

std::string RawChannelInfo::characteristicUuidText() const { return Utility::uuidToString(characteristicUuid_); }

std::vector<int32_t> RawChannelInfo::modes() const { return modes_; }

bool RawChannelInfo::supports(const int32_t& mode) const {
    return std::find(modes_.begin(), modes_.end(), mode) != modes_.end();
}

BLEChannel::BLEChannel(std::shared_ptr<RawChannelInfo> info,
                       std::shared_ptr<Platform::IGattCharacteristic> characteristic)
    : info_(std::move(info)), characteristic_(std::move(characteristic)) {
    if (!info_) throw std::runtime_error("Raw Channel Info cannot be null.");
    if (!characteristic_) throw std::runtime_error("Gatt Characteristic cannot be null.");
    dataBus_ = std::make_shared<DataBus>(dataBusCapacity);
}

BLEChannel::~BLEChannel() {
    Platform::Registration handler;
    {
        std::unique_lock lock(mutex_);
        handler = detachHandler();
    }
    // Releasing the handler waits for a notification in flight, which only uses the bus.
}

void BLEChannel::startNotify() {
    sdkLog().trace("[BLEChannel][startNotify]");
    std::unique_lock lock(mutex_);
    if (!initNotify()) {
        throw std::runtime_error("Unable start notify: [" + info_->characteristicUuidText() + "] [unsupported mode]");
    }
}

bool BLEChannel::initNotify() {
    if (subscribed_) return true;
    if (!info_->supports(ChannelMode::Notify)) return false;
    if (!characteristic_) {
        notifyEnabled_ = true;
        return true;
    }
    // The handler is in place before the device starts sending, so no early value is lost.
    std::weak_ptr<DataBus> weakBus = dataBus_;
    Platform::Registration registration =
        characteristic_->onValueChanged([weakBus, notified = notified_](const std::vector<uint8_t>& value) {
            {
                std::lock_guard count(notified->mutex);
                ++notified->count;
            }
            auto bus = weakBus.lock();
            if (!bus) return;
            try {
                bus->notify(value);
            } catch (...) {
                sdkLog().trace("[BLEChannel][valueChanged] subscriber failed");
            }
        });
    if (characteristic_->writeClientConfiguration(Platform::ClientConfiguration::Notify) !=
        Platform::GattStatus::Success) {
        throw std::runtime_error("Unable set notification callback: [" + info_->characteristicUuidText() + "]");
    }
    valueChanged_ = std::move(registration);
    notifyEnabled_ = true;
    subscribed_ = true;
    sdkLog().trace("[BLEChannel][initNotify][ok]");
    return true;
}

Platform::Registration BLEChannel::detachHandler() {
    if (!subscribed_) return {};
    subscribed_ = false;
    return std::move(valueChanged_);
}

void BLEChannel::stopNotify() {
    sdkLog().trace("[BLEChannel][stopNotify]");
    Platform::Registration handler;
    {
        std::unique_lock lock(mutex_);
        if (!subscribed_) return;
        handler = detachHandler();
        notifyEnabled_ = false;
        // The device stops sending too; one that cannot be told (link gone) stops with its link.
        try {
            const auto status = characteristic_->writeClientConfiguration(Platform::ClientConfiguration::None);
            if (status != Platform::GattStatus::Success) {
                sdkLog().warn("Unable stop notify: [{}] [{}]", info_->characteristicUuidText(),
                              static_cast<int>(status));
            }
        } catch (const Platform::PlatformError& error) {
            sdkLog().warn("Unable stop notify: [{}] [{}]", info_->characteristicUuidText(), error.message);
        } catch (const std::exception& error) {
            sdkLog().warn("Unable stop notify: [{}] [{}]", info_->characteristicUuidText(), error.what());
        }
    }
}

bool BLEChannel::isNotifying() {
    std::shared_lock lock(mutex_);
    return notifyEnabled_;
}

std::weak_ptr<DataBus> BLEChannel::dataEvent() { return dataBus_; }

std::shared_ptr<RawChannelInfo> BLEChannel::rawChannelInfo() { return info_; }

// A notification counted before the check below is applied ahead of the read, which is dropped;
// one counted after it is applied after the read's value.
bool BLEChannel::readUnlessNotified(const std::function<void(const std::vector<uint8_t>&)>& apply) {
    uint64_t before = 0;
    {
        std::lock_guard count(notified_->mutex);
        before = notified_->count;
    }
    std::vector<uint8_t> value;
    if (!read(value)) return false;
    std::lock_guard count(notified_->mutex);
    if (notified_->count == before) apply(value);
    return true;
}

void BLEChannel::setCharacteristic(std::shared_ptr<Platform::IGattCharacteristic> characteristic) {
    Platform::Registration oldHandler;
    std::unique_lock lock(mutex_);
    oldHandler = detachHandler();
    characteristic_ = std::move(characteristic);
    if (notifyEnabled_ && characteristic_) {
        sdkLog().trace("[BLEChannel][setCharacteristic]");
        initNotify();
    }
}

bool BLEChannel::write(const std::vector<uint8_t>& data, Platform::IGattCharacteristic::Acknowledged acknowledged) {
    std::unique_lock lock(mutex_);
    if (!characteristic_) return false;
    try {
        return characteristic_->writeValue(data, std::move(acknowledged)) == Platform::GattStatus::Success;
    } catch (const std::exception& error) {
        sdkLog().warn("Failed write characteristic value: {}", error.what());
    } catch (const Platform::PlatformError& error) {
        sdkLog().warn("Failed write characteristic value: {}", error.message);
    } catch (...) {
        sdkLog().warn("Failed write characteristic value.");
    }
    return false;
}

bool BLEChannel::read(std::vector<uint8_t>& out) {
    std::unique_lock lock(mutex_);
    if (!characteristic_) return false;
    try {
        Platform::GattReadResult result = characteristic_->readValue();
        if (result.status != Platform::GattStatus::Success) {
            sdkLog().warn("Failed read characteristic value: {}", gattStatusText(result.status));
            return false;
        }
        out.reserve(out.size() + result.value.size());
        out.insert(out.end(), result.value.begin(), result.value.end());
        return true;
    } catch (const std::exception& error) {
        sdkLog().warn("Failed read characteristic value: {}", error.what());
    } catch (...) {
        sdkLog().warn("Failed read characteristic value.");
    }
    return false;
}

}  // namespace VexaDevice::BLE
