#include "sim/bluez/EmulatorVtables.hpp"

#include "sdk/ble/platform/bluez/BluezNames.hpp"
#include "sim/bluez/EmulatorCore.hpp"

namespace VexaSim {

namespace Bluez = VexaDevice::BLE::Platform::Bluez;

namespace {

constexpr uint16_t kClientConfiguration = 0x2902;

using Impl = BluezEmulator::Impl;

Impl& implOf(void* userdata) { return *static_cast<Impl*>(userdata); }
EmulatedDevice& deviceOf(void* userdata) { return *static_cast<EmulatedDevice*>(userdata); }
EmulatedCharacteristic& characteristicOf(void* userdata) { return *static_cast<EmulatedCharacteristic*>(userdata); }

int adapterGet(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void* userdata,
               sd_bus_error*) {
    return implOf(userdata).adapter().property(property, reply);
}
int deviceGet(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void* userdata,
              sd_bus_error*) {
    auto& device = deviceOf(userdata);
    return device.impl->devices().property(device, property, reply);
}
int characteristicGet(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void* userdata,
                      sd_bus_error*) {
    auto& characteristic = characteristicOf(userdata);
    return characteristic.impl->gatt().property(characteristic, property, reply);
}
int serviceGet(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void* userdata,
               sd_bus_error*) {
    const auto& service = *static_cast<EmulatedService*>(userdata);
    const std::string name = property;
    if (name == "UUID") return sd_bus_message_append(reply, "s", Bluez::uuidText(service.uuid).c_str());
    if (name == "Primary") return sd_bus_message_append(reply, "b", 1);
    return sd_bus_message_append(reply, "o", service.devicePath.c_str());
}
int descriptorGet(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void* userdata,
                  sd_bus_error*) {
    const auto& descriptor = *static_cast<EmulatedDescriptor*>(userdata);
    const std::string name = property;
    if (name == "UUID")
        return sd_bus_message_append(reply, "s", Bluez::uuidText(Bluez::uuidOfShort(kClientConfiguration)).c_str());
    if (name == "Characteristic") return sd_bus_message_append(reply, "o", descriptor.characteristicPath.c_str());
    if (name == "Flags") return appendStrings(reply, {"read", "write"});
    return appendBytes(reply, {});
}

#define AK_METHOD(call) [](sd_bus_message* m, [[maybe_unused]] void* u, sd_bus_error*) -> int { return call; }

}  // namespace

const sd_bus_vtable kAdapterVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Address", "s", adapterGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("AddressType", "s", adapterGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Name", "s", adapterGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Alias", "s", adapterGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Powered", "b", adapterGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("Discovering", "b", adapterGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("Discoverable", "b", adapterGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("Pairable", "b", adapterGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("UUIDs", "as", adapterGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("Roles", "as", adapterGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_METHOD("StartDiscovery", "", "", AK_METHOD(implOf(u).adapter().startDiscovery(m)),
                  SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("StopDiscovery", "", "", AK_METHOD(implOf(u).adapter().stopDiscovery(m)), SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("SetDiscoveryFilter", "a{sv}", "", AK_METHOD(implOf(u).adapter().setDiscoveryFilter(m)),
                  SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("RemoveDevice", "o", "", AK_METHOD(implOf(u).devices().removeDevice(m)), SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END};

// The experimental part of the adapter, on the same interface.
const sd_bus_vtable kExperimentalAdapterVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("ConnectDevice", "a{sv}", "o", AK_METHOD(implOf(u).devices().connectDevice(m)),
                  SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END};

const sd_bus_vtable kAgentManagerVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("RegisterAgent", "os", "", AK_METHOD(implOf(u).agents().registerAgent(m)),
                  SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("UnregisterAgent", "o", "", AK_METHOD(implOf(u).agents().unregisterAgent(m)),
                  SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("RequestDefaultAgent", "o", "", AK_METHOD(sd_bus_reply_method_return(m, "")),
                  SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END};

#define AK_DEVICE_VTABLE(...)                                                                                \
    {                                                                                                        \
        SD_BUS_VTABLE_START(0), SD_BUS_PROPERTY("Address", "s", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_CONST), \
            SD_BUS_PROPERTY("AddressType", "s", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),                 \
            SD_BUS_PROPERTY("Name", "s", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),                 \
            SD_BUS_PROPERTY("Alias", "s", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),                \
            SD_BUS_PROPERTY("Paired", "b", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),               \
            SD_BUS_PROPERTY("Trusted", "b", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),              \
            SD_BUS_PROPERTY("Blocked", "b", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),              \
            SD_BUS_PROPERTY("Connected", "b", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),            \
            SD_BUS_PROPERTY("ServicesResolved", "b", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),     \
            SD_BUS_PROPERTY("Adapter", "o", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),                     \
            SD_BUS_PROPERTY("UUIDs", "as", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),               \
            SD_BUS_PROPERTY("ManufacturerData", "a{qv}", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE), \
            SD_BUS_PROPERTY("ServiceData", "a{sv}", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),      \
            __VA_ARGS__ SD_BUS_METHOD("Connect", "", "",                                                     \
                                      AK_METHOD(deviceOf(u).impl->devices().connectMethod(deviceOf(u), m)),  \
                                      SD_BUS_VTABLE_UNPRIVILEGED),                                           \
            SD_BUS_METHOD("Disconnect", "", "",                                                              \
                          AK_METHOD(deviceOf(u).impl->devices().disconnectMethod(deviceOf(u), m)),           \
                          SD_BUS_VTABLE_UNPRIVILEGED),                                                       \
            SD_BUS_METHOD("Pair", "", "", AK_METHOD(deviceOf(u).impl->devices().pairMethod(deviceOf(u), m)), \
                          SD_BUS_VTABLE_UNPRIVILEGED),                                                       \
            SD_BUS_METHOD("CancelPairing", "", "", AK_METHOD(sd_bus_reply_method_return(m, "")),             \
                          SD_BUS_VTABLE_UNPRIVILEGED),                                                       \
            SD_BUS_VTABLE_END                                                                                \
    }

const sd_bus_vtable kFlaggedDeviceVtable[] =
    AK_DEVICE_VTABLE(SD_BUS_PROPERTY("AdvertisingFlags", "ay", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE), );
const sd_bus_vtable kDeviceVtable[] = AK_DEVICE_VTABLE();
// The signal strength, a part of Device1 of its own: it comes and goes with discovery.
const sd_bus_vtable kRssiVtable[] = {SD_BUS_VTABLE_START(0),
                                     SD_BUS_PROPERTY("RSSI", "n", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
                                     SD_BUS_VTABLE_END};

const sd_bus_vtable kBatteryVtable[] = {
    SD_BUS_VTABLE_START(0), SD_BUS_PROPERTY("Percentage", "y", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("Source", "s", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_CONST), SD_BUS_VTABLE_END};

const sd_bus_vtable kServiceVtable[] = {
    SD_BUS_VTABLE_START(0), SD_BUS_PROPERTY("UUID", "s", serviceGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Primary", "b", serviceGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Device", "o", serviceGet, 0, SD_BUS_VTABLE_PROPERTY_CONST), SD_BUS_VTABLE_END};

#define AK_CHARACTERISTIC_VTABLE(...)                                                                             \
    {                                                                                                             \
        SD_BUS_VTABLE_START(0), SD_BUS_PROPERTY("UUID", "s", characteristicGet, 0, SD_BUS_VTABLE_PROPERTY_CONST), \
            SD_BUS_PROPERTY("Service", "o", characteristicGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),                  \
            SD_BUS_PROPERTY("Value", "ay", characteristicGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),            \
            SD_BUS_PROPERTY("Notifying", "b", characteristicGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),         \
            SD_BUS_PROPERTY("Flags", "as", characteristicGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),                   \
            SD_BUS_PROPERTY("MTU", "q", characteristicGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),                      \
            SD_BUS_METHOD("ReadValue", "a{sv}", "ay",                                                             \
                          AK_METHOD(characteristicOf(u).impl->gatt().readMethod(characteristicOf(u), m)),         \
                          SD_BUS_VTABLE_UNPRIVILEGED),                                                            \
            SD_BUS_METHOD("WriteValue", "aya{sv}", "",                                                            \
                          AK_METHOD(characteristicOf(u).impl->gatt().writeMethod(characteristicOf(u), m)),        \
                          SD_BUS_VTABLE_UNPRIVILEGED),                                                            \
            SD_BUS_METHOD("StartNotify", "", "",                                                                  \
                          AK_METHOD(characteristicOf(u).impl->gatt().startNotify(characteristicOf(u), m)),        \
                          SD_BUS_VTABLE_UNPRIVILEGED),                                                            \
            SD_BUS_METHOD("StopNotify", "", "",                                                                   \
                          AK_METHOD(characteristicOf(u).impl->gatt().stopNotify(characteristicOf(u), m)),         \
                          SD_BUS_VTABLE_UNPRIVILEGED),                                                            \
            __VA_ARGS__ SD_BUS_VTABLE_END                                                                         \
    }

const sd_bus_vtable kCharacteristicVtable[] = AK_CHARACTERISTIC_VTABLE();
const sd_bus_vtable kAcquiringCharacteristicVtable[] = AK_CHARACTERISTIC_VTABLE(
    SD_BUS_PROPERTY("NotifyAcquired", "b", characteristicGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_METHOD("AcquireNotify", "a{sv}", "hq",
                  AK_METHOD(characteristicOf(u).impl->gatt().acquireNotify(characteristicOf(u), m)),
                  SD_BUS_VTABLE_UNPRIVILEGED), );

const sd_bus_vtable kDescriptorVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("UUID", "s", descriptorGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Characteristic", "o", descriptorGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Flags", "as", descriptorGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Value", "ay", descriptorGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_METHOD("ReadValue", "a{sv}", "ay",
                  AK_METHOD(static_cast<EmulatedDescriptor*>(u)->impl->gatt().descriptorRead(m)),
                  SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("WriteValue", "aya{sv}", "",
                  AK_METHOD(static_cast<EmulatedDescriptor*>(u)->impl->gatt().descriptorWrite(m)),
                  SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END};

}  // namespace VexaSim
