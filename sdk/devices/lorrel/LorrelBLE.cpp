#include "sdk/devices/lorrel/LorrelBLE.hpp"

#include <stdexcept>

#include "sdk/core/DeviceInfoReader.hpp"
#include "sdk/core/RtException.hpp"

namespace VexaDevice::Lorrel {

namespace {

constexpr uint8_t FirstWrenletModel = 3;
constexpr uint8_t SecondWrenletModel = 5;

}  // namespace

// The device's creation failure names the class and carries the protocol's text, not its code.
LorrelBLE::ProtocolSlot LorrelBLE::protocolOf(uint8_t model, const std::shared_ptr<BLE::IBLEDevice>& ble,
                                              BLE::ServiceChannels information, const Devices::ProtocolTiming& timing) {
    try {
        if (model < FirstWrenletModel) return makeLorrelBleProtocol(ble, std::move(information), timing);
        if (model < SecondWrenletModel) return Kestrane::makeWrenletBleProtocol(ble, std::move(information), timing);
        return Kestrane::makeWrenletBleProtocol2(ble, std::move(information), timing);
    } catch (const Utility::rt_exception& e) {
        throw std::runtime_error(e.what());
    }
}

LorrelBLE::LorrelBLE(std::shared_ptr<BLE::IBLEDevice> device, uint8_t model, const Devices::ProtocolTiming& timing)
    : WrenletHeadband(std::move(device), "Lorrel BLE Device",
                      [model, &timing](const std::shared_ptr<BLE::IBLEDevice>& ble, BLE::ChannelMap& channels) {
                          return protocolOf(model, ble, channels[Utility::kDeviceInformationService], timing);
                      }) {}

LorrelBLE::~LorrelBLE() { release({"Lorrel", true, true}); }

}  // namespace VexaDevice::Lorrel
