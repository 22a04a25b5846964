#include "sdk/api/SensorScannerWrap.hpp"

#include <stdexcept>

#include "sdk/api/DeliveryGate.hpp"
#include "sdk/api/SensorInfoFill.hpp"

namespace {
constexpr size_t kFoundSensorsQueueCapacity = 2048;
}

// Turns each published device list into found-sensor records on the found-sensors bus. Shared
// between the handle and its list subscriber, so a delivery in flight keeps it alive.
class SensorScannerWrap::Relay {
public:
    Relay() : bus_(kFoundSensorsQueueCapacity) {}

    void publish(const std::vector<std::shared_ptr<VexaDevice::BLE::DeviceInfo>>& devices) {
        const auto pass = gate_.enter();
        if (pass) {
            bus_.notify(VexaDevice::Api::recognisedSensors(devices));
        }
    }

    void close() { gate_.closeAndWait(); }

    FoundSensorsBus& bus() { return bus_; }

private:
    VexaDevice::Api::DeliveryGate gate_;
    FoundSensorsBus bus_;
};

SensorScannerWrap::SensorScannerWrap(std::shared_ptr<VexaDevice::BLE::IBLEDeviceScan> scanner)
    : scanner_(std::move(scanner)), relay_(std::make_shared<Relay>()) {
    listSubscriber_ = std::make_shared<VexaDevice::BLE::DeviceListBus::Callback>(
        [relay = relay_](const std::vector<std::shared_ptr<VexaDevice::BLE::DeviceInfo>>& devices) {
            relay->publish(devices);
        });
    const auto listBus = scanner_->devicesFoundEvent().lock();
    if (!listBus) {
        throw std::logic_error("The scanner has no device list");
    }
    listBus->subscribe(listSubscriber_);
}

SensorScannerWrap::~SensorScannerWrap() {
    relay_->close();
    listSubscriber_.reset();
    scanner_.reset();
}

std::vector<_SensorInfo> SensorScannerWrap::sensors() const {
    return VexaDevice::Api::recognisedSensors(scanner_->getDevices());
}

void SensorScannerWrap::subscribe(const FoundSensorsBus::Subscriber& subscriber) {
    relay_->bus().subscribe(subscriber);
}
