#pragma once
// Table-driven family adapters. A family's access adapter is a TableAccess over its interface
// with a table that maps the exported reads and registrations onto the interface's slots; the
// slots are bound to the device object and answered by FamilyAccess itself. Its control adapter
// is a TableControl with a table of writes, the ping and the counts, answered by FamilyControl.
// What the table leaves out answers as a family without it (121, 122, 118 or 124). What no table
// row can say (records converted field by field, a family's own deliveries and writes) an adapter
// adds as methods of a view it offers (FamilyViews.hpp).
//
//   const AccessTable<ITessel>& tesselReads() {
//       static const AccessTable<ITessel> table{
//           .bytes = {{ByteParameter::Gain, readOf<uint8_t>(&ITessel::readGain)}},
//           .ints = {{IntParameter::BattPower, readOf<int32_t>(&ITessel::readBattPower)}},
//           .intEvents = {{IntEvent::Battery, deliverTo<ValueDelivery<IntValueCallback>>(&ITessel::batteryEvent)}},
//       };
//       return table;
//   }
//   class TesselAccess final : public TableAccess<ITessel> { ... TableAccess(std::move(device), tesselReads()) };
//
// Tables are function-local statics: an adapter keeps a reference to its table.

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "sdk/api/FamilyAccess.hpp"
#include "sdk/api/FamilyControl.hpp"
#include "sdk/api/HostDelivery.hpp"
#include "sdk/api/HostRecords.hpp"
#include "sdk/core/DeviceVersion.hpp"

namespace VexaDevice::Api {

template <class Device, class Value>
using ReadSlot = std::function<OperationResult(Device&, Value&)>;
template <class Device, class Value>
using WriteSlot = std::function<OperationResult(Device&, Value)>;
template <class Device, class Callback>
using EventSlot = std::function<Subscription(Device&, const HostTarget<Callback>&)>;

// The host's form of a value the device reads in its own form.
template <class Value, class Native>
Value hostValue(const Native& native) {
    if constexpr (std::is_same_v<Native, DeviceVersion>) {
        return sensorVersion(native);
    } else {
        return static_cast<Value>(native);
    }
}

// A read slot: the interface's read, its value handed to the host in the host's form (the value
// is passed on whatever the read's result says).
template <class Value, class Device, class Native>
ReadSlot<Device, Value> readOf(OperationResult (Device::*read)(Native&)) {
    return [read](Device& device, Value& out) {
        if constexpr (std::is_same_v<Native, Value>) {
            return (device.*read)(out);
        } else {
            Native native{};
            const auto result = (device.*read)(native);
            out = hostValue<Value>(native);
            return result;
        }
    };
}

// A read slot over a read that answers with the value itself; it always succeeds.
template <class Value, class Device, class Native>
ReadSlot<Device, Value> readOf(Native (Device::*read)()) {
    return [read](Device& device, Value& out) {
        out = hostValue<Value>((device.*read)());
        return OperationResult::done();
    };
}

// A write slot: the host's value converted to the interface's form.
template <class Value, class Device, class Native>
WriteSlot<Device, Value> writeOf(OperationResult (Device::*write)(const Native&)) {
    return [write](Device& device, Value value) { return (device.*write)(static_cast<Native>(value)); };
}

template <class Target>
struct TargetFunction;
template <class Function>
struct TargetFunction<HostTarget<Function>> {
    using type = Function;
};

// An event slot: subscribes Delivery{host} to the bus the interface hands out.
template <class Delivery, class Device, class Bus,
          class Callback = typename TargetFunction<decltype(Delivery::host)>::type>
EventSlot<Device, Callback> deliverTo(std::weak_ptr<Bus> (Device::*event)(),
                                      Subscription::Records records = Subscription::Records::Family) {
    return [event, records](Device& device, const HostTarget<Callback>& host) {
        return Subscription::made(subscribeDelivery((device.*event)(), Delivery{host}), records);
    };
}

template <class Device>
struct AccessTable {
    SlotList<ByteParameter, ReadSlot<Device, uint8_t>> bytes{};
    SlotList<IntParameter, ReadSlot<Device, int32_t>> ints{};
    ReadSlot<Device, SensorVersion> version{};
    ReadSlot<Device, std::vector<Sensor::EEGChannelInfo>> supportedChannels{};
    SlotList<IntEvent, EventSlot<Device, IntValueCallback>> intEvents{};
    SlotList<ByteEvent, EventSlot<Device, ByteValueCallback>> byteEvents{};
    EventSlot<Device, MEMSDataCallback> memsData{};
    EventSlot<Device, FPGDataCallback> fpgData{};
};

// A slot bound to one device object; it refers to the slot.
template <class Device, class Result, class... Args>
std::function<Result(Args...)> bound(Device& device, const std::function<Result(Device&, Args...)>& slot) {
    if (!slot) {
        return {};
    }
    return [&device, &slot](Args... args) { return slot(device, std::forward<Args>(args)...); };
}

template <class Device, class Key, class Slot>
auto bound(Device& device, const SlotList<Key, Slot>& slots) {
    SlotList<Key, decltype(bound(device, slots.front().second))> out;
    for (const auto& [key, slot] : slots) {
        out.emplace_back(key, bound(device, slot));
    }
    return out;
}

// The table's slots bound to `device`; they refer to the table, which outlives the adapter.
template <class Device>
AccessSlots boundSlots(Device& device, const AccessTable<Device>& table) {
    return {
        .bytes = bound(device, table.bytes),
        .ints = bound(device, table.ints),
        .version = bound(device, table.version),
        .supportedChannels = bound(device, table.supportedChannels),
        .intEvents = bound(device, table.intEvents),
        .byteEvents = bound(device, table.byteEvents),
        .memsData = bound(device, table.memsData),
        .fpgData = bound(device, table.fpgData),
    };
}

// The access adapter over a family interface. Name, address, serial number, state and the
// connection bus come from the interface's reads of those names, which every family has.
template <class Device>
class TableAccess : public FamilyAccess {
public:
    TableAccess(std::shared_ptr<Device> device, const AccessTable<Device>& table)
        : FamilyAccess(device, boundSlots(*device, table)), device_(std::move(device)) {}

    OperationResult readText(TextParameter parameter, std::string& out) override {
        switch (parameter) {
        case TextParameter::Name: return device_->readName(out);
        case TextParameter::Address: return device_->readAddress(out);
        case TextParameter::SerialNumber: return device_->readSerialNumber(out);
        }
        return unsupportedRead();
    }
    OperationResult readState(int32_t& out) override { return device_->readState(out); }

    std::weak_ptr<BLE::ConnectionBus> connectionBus() override { return device_->connectionStateEvent(); }

protected:
    Device& device() const { return *device_; }

private:
    const std::shared_ptr<Device> device_;
};

template <class Device>
struct ControlTable {
    SlotList<WriteParameter, WriteSlot<Device, uint8_t>> bytes{};
    WriteSlot<Device, int32_t> ping{};
    // The number of signal channels; none: 0.
    std::function<int32_t(Device&)> channelsCount{};
    // The number of stimulation phases; none: 0.
    std::function<int32_t(Device&)> maxStimulPhases{};
    // The filters, ascending; none: no filters.
    std::function<std::set<uint8_t>(Device&)> supportedFilters{};
};

// The control adapter over a family interface: the table's slots bound to the device object.
// What no row can say a control adds as methods of a view it offers.
template <class Device>
class TableControl : public FamilyControl {
public:
    // The slots refer to the table, which outlives the control.
    TableControl(Device& device, const ControlTable<Device>& table)
        : FamilyControl({
              .bytes = bound(device, table.bytes),
              .ping = bound(device, table.ping),
              .channelsCount = bound(device, table.channelsCount),
              .maxStimulPhases = bound(device, table.maxStimulPhases),
              .supportedFilters = bound(device, table.supportedFilters),
          }),
          device_(device) {}

protected:
    Device& device() const { return device_; }

private:
    Device& device_;
};

}  // namespace VexaDevice::Api
