#pragma once
// Internal: the objects the emulated daemon exports for each device it knows (Device1 and its
// GATT services, characteristics and descriptors), and the D-Bus replies and signals its parts
// share. Every field belongs to the daemon's loop thread unless said otherwise.

#include <systemd/sd-bus.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sdk/ble/platform/BlePlatform.hpp"
#include "sim/bluez/BluezEmulator.hpp"
#include "sim/bluez/FaultProfile.hpp"

namespace VexaSim {

namespace Platform = VexaDevice::BLE::Platform;
using Bytes = std::vector<uint8_t>;

inline constexpr const char* kAdapterPath = "/org/bluez/hci0";
inline constexpr uint16_t kBatteryService = 0x180F;
inline constexpr uint16_t kBatteryLevel = 0x2A19;

struct EmulatedDevice;

struct EmulatedService {
    std::string path;
    std::string devicePath;
    Platform::UUID uuid;
};

struct EmulatedCharacteristic {
    BluezEmulator::Impl* impl = nullptr;
    EmulatedDevice* device = nullptr;
    std::string path;
    std::string servicePath;
    Platform::UUID uuid;
    uint32_t properties = 0;
    size_t index = 0;  // position in the device's table, to match the views of each connection
    std::shared_ptr<Platform::IGattCharacteristic> sim;
    Platform::Registration valueHandler;
    Bytes value;
    bool notifying = false;
    std::mutex socketMutex;
    int socket = -1;  // our end of an acquired notification socket
};

struct EmulatedDescriptor {
    BluezEmulator::Impl* impl = nullptr;
    std::string path;
    std::string characteristicPath;
};

struct EmulatedDevice {
    BluezEmulator::Impl* impl = nullptr;
    std::string path;
    uint64_t address = 0;
    bool heard = false;  // first reported by a scan (it reports its advertised flags)
    int16_t rssi = 0;
    // The signal strength exists while the running discovery hears the device: the daemon
    // drops it when discovery stops.
    sd_bus_slot* rssiSlot = nullptr;
    std::optional<uint8_t> flags;
    std::string name;
    std::set<std::string> uuids;  // the daemon keeps them sorted
    std::map<uint16_t, Bytes> manufacturer;
    std::map<std::string, Bytes> serviceData;  // by UUID text
    bool connected = false;
    bool resolved = false;
    bool paired = false;
    std::optional<uint8_t> battery;
    FaultProfile profile;
    std::shared_ptr<Platform::IPeripheral> handle;
    Platform::Registration statusHandler;
    Platform::Registration pairingHandler;
    bool gattExported = false;
    int tableChanges = 0;  // resolved again under a live link
    uint16_t nextHandle = 0x000A;
    std::vector<std::shared_ptr<EmulatedService>> services;
    std::vector<std::shared_ptr<EmulatedCharacteristic>> characteristics;
    std::vector<std::shared_ptr<EmulatedDescriptor>> descriptors;
    std::shared_ptr<Platform::IGattCharacteristic> batterySim;
    Platform::Registration batteryHandler;
    std::vector<sd_bus_slot*> slots;
    std::vector<sd_bus_slot*> gattSlots;
};

// PropertiesChanged for the properties, their values read from the object.
void emitChanged(sd_bus* bus, const std::string& path, const char* interface, std::vector<std::string> names);
int appendStrings(sd_bus_message* reply, const std::vector<std::string>& strings);
int appendBytes(sd_bus_message* reply, const Bytes& bytes);
// A read or write the device refused, as the daemon answers it.
int replyGattError(sd_bus_message* message, Platform::GattStatus status, const char* refusal);
int replyNotConnected(sd_bus_message* message);

}  // namespace VexaSim
