#pragma once
// One maker per device class, as sensor creation calls them. Each builds the family's device
// object around an opened BLE device and throws (with the class's own text) when the device
// lacks a service or characteristic the class needs.

#include <cstdint>
#include <memory>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/ISensor.hpp"
#include "sdk/devices/common/ProtocolTiming.hpp"
#include "sdk/devices/dravik/DravikBLE.hpp"
#include "sdk/devices/lorrel/LorrelBLE.hpp"
#include "sdk/devices/morvex/MorvexBLE.hpp"
#include "sdk/devices/photostim/PhotoStimBLE.hpp"
#include "sdk/devices/tessel/TesselBLE.hpp"
#include "sdk/devices/vondra/Vondra2BLE.hpp"
#include "sdk/devices/vondra/VondraBLE.hpp"

namespace VexaDevice::Devices {

std::shared_ptr<Morvex::MorvexBLE> makeMorvexBLE(std::shared_ptr<BLE::IBLEDevice> device,
                                                 const ProtocolTiming& timing);

std::shared_ptr<Tessel::TesselBLE> makeTesselBLE(std::shared_ptr<BLE::IBLEDevice> device,
                                                 const Tessel::TesselTiming& timing);
std::shared_ptr<Vondra::VondraBLE> makeVondraBLE(std::shared_ptr<BLE::IBLEDevice> device,
                                                 const ProtocolTiming& timing);
// Models up to 2 get the Wrenlet protocol, later ones the Vondra2 protocol.
std::shared_ptr<Vondra2::Vondra2BLE> makeVondra2BLE(std::shared_ptr<BLE::IBLEDevice> device, uint8_t model,
                                                   const ProtocolTiming& timing);
// Model bytes 0 to 2 drive the Lorrel protocol, 3 and 4 the first Wrenlet protocol, 5 and above
// the second.
std::shared_ptr<Lorrel::LorrelBLE> makeLorrelBLE(std::shared_ptr<BLE::IBLEDevice> device, uint8_t model,
                                                 const ProtocolTiming& timing);
// The model byte does not matter to the Dravik device. Its waits come from `timing` where the
// families share them (worker, write retries, reply steps, reads, stimulator); the rest are its own.
std::shared_ptr<Dravik::DravikBLE> makeDravikBLE(std::shared_ptr<BLE::IBLEDevice> device, uint8_t model,
                                                 const ProtocolTiming& timing);
std::shared_ptr<PhotoStim::PhotoStimBLE> makePhotoStimBLE(std::shared_ptr<BLE::IBLEDevice> device,
                                                          const ProtocolTiming& timing);

}  // namespace VexaDevice::Devices
