#include "sdk/ble/BLEDevice.hpp"

#include <mutex>
#include <stdexcept>
#include <thread>

#include "sdk/ble/StatusText.hpp"
#include "sdk/core/Log.hpp"
#include "sdk/core/RtException.hpp"

namespace VexaDevice::BLE {

namespace Property = Platform::CharacteristicProperty;
using Utility::rt_exception;
using Utility::sdkLog;

namespace {

constexpr size_t connectionBusCapacity = 2048;

std::vector<int32_t> modesOf(uint32_t properties) {
    std::vector<int32_t> modes;
    if (properties & Property::Read) modes.push_back(ChannelMode::Read);
    if (properties & Property::Write) modes.push_back(ChannelMode::Write);
    if (properties & Property::Notify) modes.push_back(ChannelMode::Notify);
    return modes;
}

}  // namespace

std::shared_ptr<BLEDevice> BLEDevice::create(const DeviceId& id, PairingParam pairing, BLEDeviceTiming timing) {
    auto device = std::make_shared<BLEDevice>(Private{}, id, pairing, timing);
    // The device follows its own connection bus through a weak reference, so a delivery
    // that races its destruction finds nothing to call.
    std::weak_ptr<BLEDevice> weak = device;
    device->ownSubscriber_ = std::make_shared<ConnectionBus::Callback>([weak] {
        if (auto self = weak.lock()) self->onConnectionChanged();
    });
    device->connectionBus_->subscribe(device->ownSubscriber_);
    return device;
}

BLEDevice::BLEDevice(Private, const DeviceId& id, PairingParam pairing, BLEDeviceTiming timing)
    : id_(id), pairing_(pairing), timing_(timing), platform_(Platform::currentPlatform()) {
    try {
        device_ = openDevice();
        name_ = device_->name();
        token_ = std::make_shared<std::atomic<bool>>(false);
        connectionBus_ = std::make_shared<ConnectionBus>(connectionBusCapacity, timing_.connectionBus);
        reboundBus_ = std::make_shared<ConnectionBus>(connectionBusCapacity, timing_.connectionBus);
        watchConnection();
        discoverServices();
        token_->store(true);
    } catch (const std::exception& error) {
        sdkLog().error("Cannot create BLE device: {}", error.what());
        throw std::runtime_error(std::string("Cannot create BLE device: ") + error.what());
    } catch (...) {
        sdkLog().error("Cannot create BLE device.");
        throw std::runtime_error("Cannot create BLE device.");
    }
}

BLEDevice::~BLEDevice() {
    sdkLog().trace("[BLEDevice]:[delete][begin]");
    if (device_) {
        statusChanged_.reset();
        servicesRebound_.reset();
        try {
            device_->close();
        } catch (...) {
            // Closing is best effort while the object goes away.
        }
        channelMap_.clear();
    }
    sdkLog().trace("[BLEDevice]:[delete][end]");
}

std::shared_ptr<Platform::IPeripheral> BLEDevice::openDevice() const {
    auto device = platform_->openPeripheral(id_.toUInt64());
    if (!device) throw std::runtime_error("Device is not reachable. Device object pointer is null.");
    return device;
}

void BLEDevice::watchConnection() {
    std::weak_ptr<ConnectionBus> weakBus = connectionBus_;
    std::weak_ptr<std::atomic<bool>> weakToken = token_;
    statusChanged_ = device_->onConnectionStatusChanged([weakBus, weakToken] {
        auto bus = weakBus.lock();
        auto token = weakToken.lock();
        if (bus && token && token->load()) bus->emit();
    });
    // Delivered on the bus's own thread: its subscribers read the device, and the stack's thread
    // that tells of the change is the one that hands them the values they wait for.
    std::weak_ptr<ConnectionBus> weakRebound = reboundBus_;
    servicesRebound_ = device_->onServicesRebound([weakRebound, weakToken] {
        auto bus = weakRebound.lock();
        auto token = weakToken.lock();
        if (bus && token && token->load()) bus->emit();
    });
}

void BLEDevice::pair() {
    if (!pairing_.requested()) return;
    const Platform::PairingInfo info = device_->pairingInfo();
    if (info.isPaired) return;
    if (!info.canPair) throw std::runtime_error("Device pairing failed: [Forbidden pairing]");
    try {
        Platform::Registration requests = device_->onPairingRequested([](Platform::PairingRequest& request) {
            if (request.kind() == Platform::PairingKind::ConfirmOnly ||
                request.kind() == Platform::PairingKind::DisplayPin) {
                request.accept();
            }
        });
        const Platform::PairingStatus status =
            device_->pair(Platform::PairingKind::ConfirmOnly, Platform::ProtectionLevel::Encryption);
        requests.reset();
        // A device the system paired meanwhile is as good as one paired now.
        if (status != Platform::PairingStatus::Paired && status != Platform::PairingStatus::AlreadyPaired) {
            throw std::runtime_error("Pairing result: [" + pairingStatusText(status) + "]");
        }
        sdkLog().trace("Device pairing: [ok]");
    } catch (const std::exception& error) {
        throw std::runtime_error(std::string("Device pairing failed. ") + error.what());
    }
}

void BLEDevice::detachCharacteristics() {
    for (auto& [service, channels] : channelMap_) {
        for (auto& [characteristic, channel] : channels) channel->setCharacteristic(nullptr);
    }
}

void BLEDevice::discoverServices() {
    pair();
    for (int attempt = 0; attempt < timing_.discoveryAttempts; ++attempt) {
        const int remaining = timing_.discoveryAttempts - 1 - attempt;
        try {
            if (discoveryAttempt(remaining)) return;
            std::this_thread::sleep_for(timing_.discoveryRetryPause);
        } catch (const rt_exception&) {
            if (remaining == 0) throw;
        } catch (const std::exception& error) {
            if (remaining == 0)
                throw rt_exception(std::string("Failed read BLE GattServices/GatCharacteristics: ") + error.what());
        } catch (...) {
            if (remaining == 0) throw rt_exception("Failed read BLE GattServices/GatCharacteristics.");
        }
    }
}

bool BLEDevice::discoveryAttempt(int remaining) {
    channels_.clear();
    detachCharacteristics();
    const Platform::GattServicesResult services = device_->gattServices();
    if (services.status != Platform::GattStatus::Success) {
        if (remaining == 0) throw rt_exception("GetGattServices Failed: " + gattStatusText(services.status));
        sdkLog().warn("GetGattServices Failed: [{}] [Attemtp]:[{}]", gattStatusText(services.status), remaining);
        return false;
    }
    for (const auto& service : services.services) {
        const Utility::UUID serviceUuid = service->uuid();
        const Platform::GattCharacteristicsResult characteristics = service->characteristics();
        if (characteristics.status != Platform::GattStatus::Success) {
            const std::string status = gattStatusText(characteristics.status);
            const std::string uuidText = Utility::uuidToString(serviceUuid);
            if (remaining == 0)
                throw rt_exception("GetCharacteristics Failed: " + status + " Service UUID: " + uuidText);
            sdkLog().warn("GetCharacteristics Failed: [{}] [Service UUID]:[{}]  [Attemtp]:[{}]", status, uuidText,
                          remaining);
            return false;
        }
        auto& serviceChannels = channelMap_[serviceUuid];
        for (const auto& characteristic : characteristics.characteristics) {
            const Utility::UUID characteristicUuid = characteristic->uuid();
            auto info = std::make_shared<RawChannelInfo>(serviceUuid, characteristicUuid,
                                                         modesOf(characteristic->properties()));
            channels_.push_back(info);
            auto existing = serviceChannels.find(characteristicUuid);
            if (existing == serviceChannels.end()) {
                serviceChannels.emplace(characteristicUuid, std::make_shared<BLEChannel>(info, characteristic));
            } else {
                existing->second->setCharacteristic(characteristic);
            }
        }
    }
    return true;
}

std::vector<std::shared_ptr<RawChannelInfo>> BLEDevice::getChannels() {
    std::shared_lock lock(mutex_);
    return channels_;
}

bool BLEDevice::isDisconnected() {
    std::shared_lock lock(mutex_);
    return !device_ || device_->connectionStatus() != Platform::ConnectionStatus::Connected;
}

std::string BLEDevice::name() { return name_; }

ChannelMap BLEDevice::getChannelMap() {
    std::shared_lock lock(mutex_);
    ChannelMap copy;
    for (const auto& [service, channels] : channelMap_) {
        auto& serviceCopy = copy[service];
        for (const auto& [characteristic, channel] : channels) serviceCopy.emplace(characteristic, channel);
    }
    return copy;
}

std::weak_ptr<ConnectionBus> BLEDevice::connectionChangedEvent() { return connectionBus_; }

std::weak_ptr<ConnectionBus> BLEDevice::servicesReboundEvent() { return reboundBus_; }

DeviceId BLEDevice::id() { return id_; }

void BLEDevice::connectLocked() {
    if (device_ && device_->connectionStatus() == Platform::ConnectionStatus::Connected) return;
    if (!device_) device_ = openDevice();
    discoverServices();
    token_->store(true);
    watchConnection();  // replaces the previous registration: one handler at a time
    connectionBus_->emit();
}

void BLEDevice::connect() {
    try {
        {
            std::unique_lock lock(mutex_);
            connectLocked();
        }
        settlePendingDisconnect();
    } catch (const std::exception& error) {
        settlePendingDisconnect();
        sdkLog().warn("Failed connect to BLE device: {}", error.what());
        throw std::runtime_error(std::string("Failed connect to BLE device: ") + error.what());
    } catch (...) {
        settlePendingDisconnect();
        sdkLog().warn("Failed connect to BLE device.");
        throw std::runtime_error("Failed connect to BLE device.");
    }
}

void BLEDevice::disconnect() {
    try {
        std::unique_lock lock(mutex_);
        if (!device_ || device_->connectionStatus() != Platform::ConnectionStatus::Connected) return;
        token_->store(false);
        detachCharacteristics();
        auto closing = std::move(device_);
        statusChanged_.reset();
        servicesRebound_.reset();
        closing->close();
        for (int poll = 0;
             poll < timing_.disconnectPolls && closing->connectionStatus() == Platform::ConnectionStatus::Connected;
             ++poll) {
            std::this_thread::sleep_for(timing_.disconnectPollInterval);
        }
        token_->store(true);
        connectionBus_->emit();
    } catch (const std::exception& error) {
        sdkLog().warn("An error occurred while disconnecting BLE device: {}", error.what());
    } catch (...) {
        sdkLog().warn("An error occurred while disconnecting  BLE device.");
    }
    settlePendingDisconnect();
}

void BLEDevice::onConnectionChanged() {
    disconnectPending_.store(true);
    settlePendingDisconnect();
}

void BLEDevice::settlePendingDisconnect() {
    // The flag is raised before the lock is tried and read after every release, so a
    // disconnection reported while connect or disconnect held the lock is still processed.
    while (disconnectPending_.load()) {
        std::unique_lock lock(mutex_, std::try_to_lock);
        if (!lock.owns_lock()) return;
        disconnectPending_.store(false);
        try {
            processDisconnectLocked();
        } catch (...) {
            sdkLog().warn("Coud not process disconnect");
        }
    }
}

void BLEDevice::processDisconnectLocked() {
    sdkLog().trace("Connection changed: dev:[{}]", device_ ? "NOT_NULL" : "NULL");
    if (!device_ || device_->connectionStatus() != Platform::ConnectionStatus::Disconnected) return;
    token_->store(false);
    detachCharacteristics();
    statusChanged_.reset();
    servicesRebound_.reset();
    device_.reset();
}

}  // namespace VexaDevice::BLE
