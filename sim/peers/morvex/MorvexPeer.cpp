#include "sim/peers/morvex/MorvexPeer.hpp"

#include "sdk/core/DeviceInfoReader.hpp"
#include "sdk/devices/morvex/MorvexGatt.hpp"

namespace VexaSim {

namespace {

namespace Property = VexaDevice::BLE::Platform::CharacteristicProperty;
namespace Gatt = VexaDevice::Morvex;

std::vector<uint8_t> textValue(const std::string& text)
{
    return {text.begin(), text.end()};
}

}  // namespace

void MorvexPeer::Device::announce(const std::vector<uint8_t>& value)
{
    status->setValue(value);
    status->notify(value);
}

std::shared_ptr<MorvexPeer> MorvexPeer::attach(SimRadio& radio, uint64_t address, MorvexPeerSettings settings,
                                               MorvexPeerTiming timing)
{
    auto peripheral = radio.addPeripheral(address, "Morvex");
    return std::shared_ptr<MorvexPeer>(new MorvexPeer(std::move(peripheral), std::move(settings), timing));
}

MorvexPeer::MorvexPeer(std::shared_ptr<SimPeripheral> peripheral, MorvexPeerSettings settings, MorvexPeerTiming timing)
    : peripheral_(std::move(peripheral)), timing_(timing), device_(std::make_shared<Device>(std::move(settings)))
{
    buildGatt();
    streamer_ = std::thread([this] { stream(); });
}

MorvexPeer::~MorvexPeer()
{
    {
        std::lock_guard lock(clockMutex_);
        stopping_ = true;
    }
    clock_.notify_all();
    streamer_.join();
}

void MorvexPeer::buildGatt()
{
    const MorvexPeerSettings& settings = device_->model.settings();
    auto information = peripheral_->addService(Gatt::DeviceInformationServiceUuid);
    using namespace VexaDevice::Utility;
    information->addCharacteristic(kSerialNumberCharacteristic, Property::Read, textValue(settings.serialNumber));
    information->addCharacteristic(kModelNumberCharacteristic, Property::Read, textValue(settings.modelNumber));
    information->addCharacteristic(kHardwareRevisionCharacteristic, Property::Read,
                                   textValue(settings.hardwareRevision));
    information->addCharacteristic(kFirmwareRevisionCharacteristic, Property::Read,
                                   textValue(settings.firmwareRevision));

    auto service = peripheral_->addService(Gatt::MorvexServiceUuid);
    status_ = service->addCharacteristic(Gatt::MorvexStatusUuid, Property::Read | Property::Notify,
                                         device_->model.statusValue());
    command_ = service->addCharacteristic(Gatt::MorvexCommandUuid, Property::Write);
    data_ = service->addCharacteristic(Gatt::MorvexDataUuid, Property::Notify);
    device_->status = status_;

    command_->onWrite([weak = std::weak_ptr<Device>(device_)](const std::vector<uint8_t>& frame) {
        if (const auto device = weak.lock()) {
            std::lock_guard lock(device->mutex);
            if (const auto reply = device->model.onCommand(frame))
                device->announce(*reply);
            else
                device->status->setValue(device->model.statusValue());
        }
        return GattStatus::Success;
    });
}

void MorvexPeer::stream()
{
    std::unique_lock clock(clockMutex_);
    while (!clock_.wait_for(clock, timing_.notificationPeriod, [this] { return stopping_; })) {
        std::vector<uint8_t> notification;
        {
            std::lock_guard lock(device_->mutex);
            for (int i = 0; i < timing_.packsPerNotification; ++i) {
                const auto pack = device_->model.nextPack();
                if (!pack)
                    break;
                notification.insert(notification.end(), pack->begin(), pack->end());
            }
        }
        if (!notification.empty() && data_->notify(std::move(notification)))
            packsSent_ += static_cast<uint64_t>(timing_.packsPerNotification);
    }
}

uint8_t MorvexPeer::state() const
{
    std::lock_guard lock(device_->mutex);
    return device_->model.state();
}

void MorvexPeer::setSilent(bool silent)
{
    std::lock_guard lock(device_->mutex);
    device_->model.setSilent(silent);
}

void MorvexPeer::setRefusal(uint8_t error)
{
    std::lock_guard lock(device_->mutex);
    device_->model.setRefusal(error);
}

void MorvexPeer::setIgnoring(bool ignoring)
{
    std::lock_guard lock(device_->mutex);
    device_->model.setIgnoring(ignoring);
}

void MorvexPeer::setResistance(uint8_t electrode, double ohms)
{
    std::lock_guard lock(device_->mutex);
    device_->model.setResistance(electrode, ohms);
}

void MorvexPeer::setBattery(uint8_t level)
{
    std::lock_guard lock(device_->mutex);
    device_->model.setBattery(level);
    device_->announce(device_->model.statusValue());
}

}  // namespace VexaSim
