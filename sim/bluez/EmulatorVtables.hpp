#pragma once
// Internal: the D-Bus tables of the emulated daemon's interfaces. The adapter's and the agent
// manager's take the emulator (BluezEmulator::Impl) as their object, the others the object
// they stand for (EmulatedDevice, EmulatedService, EmulatedCharacteristic, EmulatedDescriptor).

#include <systemd/sd-bus.h>

namespace VexaSim {

extern const sd_bus_vtable kAdapterVtable[];
// The experimental part of the adapter, on the same interface.
extern const sd_bus_vtable kExperimentalAdapterVtable[];
extern const sd_bus_vtable kAgentManagerVtable[];
// Device1 with and without AdvertisingFlags.
extern const sd_bus_vtable kFlaggedDeviceVtable[];
extern const sd_bus_vtable kDeviceVtable[];
// The signal strength, a part of Device1 of its own: it comes and goes with discovery.
extern const sd_bus_vtable kRssiVtable[];
extern const sd_bus_vtable kBatteryVtable[];
extern const sd_bus_vtable kServiceVtable[];
// GattCharacteristic1 without and with AcquireNotify.
extern const sd_bus_vtable kCharacteristicVtable[];
extern const sd_bus_vtable kAcquiringCharacteristicVtable[];
extern const sd_bus_vtable kDescriptorVtable[];

}  // namespace VexaSim
