#pragma once
// Table-driven family adapters. A family's access adapter is a TableAccess over its interface
// with a table that maps the exported reads and registrations onto the interface's slots; its
// control adapter is a TableControl with a table of writes, the ping and the channel count. What
// the table leaves out answers as a family without it (121, 122, 118 or 124), as FamilyAccess and
// FamilyControl do. A family overrides only what no table row can say (records converted field by
// field, family-dependent refusals).
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
template <class Key, class Slot>
using SlotList = std::vector<std::pair<Key, Slot>>;

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

// The slot of `key`, or null.
template <class Key, class Slot>
const Slot* slotOf(const SlotList<Key, Slot>& slots, Key key) {
    for (const auto& [slotKey, slot] : slots) {
        if (slotKey == key) {
            return &slot;
        }
    }
    return nullptr;
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

// The access adapter over a family interface. Name, address, serial number, state and the
// connection bus come from the interface's reads of those names, which every family has.
template <class Device>
class TableAccess : public FamilyAccess {
public:
    TableAccess(std::shared_ptr<Device> device, const AccessTable<Device>& table)
        : FamilyAccess(device), device_(std::move(device)), table_(table) {}

    OperationResult readText(TextParameter parameter, std::string& out) override {
        switch (parameter) {
        case TextParameter::Name: return device_->readName(out);
        case TextParameter::Address: return device_->readAddress(out);
        case TextParameter::SerialNumber: return device_->readSerialNumber(out);
        }
        return unsupportedRead();
    }
    OperationResult readState(int32_t& out) override { return device_->readState(out); }
    OperationResult readByte(ByteParameter parameter, uint8_t& out) override {
        return read(slotOf(table_.bytes, parameter), out);
    }
    OperationResult readInt(IntParameter parameter, int32_t& out) override {
        return read(slotOf(table_.ints, parameter), out);
    }
    OperationResult readVersion(SensorVersion& out) override { return read(&table_.version, out); }
    OperationResult readSupportedChannels(std::vector<Sensor::EEGChannelInfo>& out) override {
        return read(&table_.supportedChannels, out);
    }

    std::weak_ptr<BLE::ConnectionBus> connectionBus() override { return device_->connectionStateEvent(); }

    Subscription addIntValue(IntEvent event, const HostTarget<IntValueCallback>& host) override {
        return listen(slotOf(table_.intEvents, event), host);
    }
    Subscription addByteValue(ByteEvent event, const HostTarget<ByteValueCallback>& host) override {
        return listen(slotOf(table_.byteEvents, event), host);
    }
    Subscription addMEMSData(const HostTarget<MEMSDataCallback>& host) override {
        return listen(&table_.memsData, host);
    }
    Subscription addFPGData(const HostTarget<FPGDataCallback>& host) override { return listen(&table_.fpgData, host); }

protected:
    Device& device() const { return *device_; }

private:
    template <class Value>
    OperationResult read(const ReadSlot<Device, Value>* slot, Value& out) const {
        return slot != nullptr && *slot ? (*slot)(*device_, out) : unsupportedRead();
    }
    template <class Callback>
    Subscription listen(const EventSlot<Device, Callback>* slot, const HostTarget<Callback>& host) const {
        return slot != nullptr && *slot ? (*slot)(*device_, host) : Subscription::refused();
    }

    const std::shared_ptr<Device> device_;
    const AccessTable<Device>& table_;
};

template <class Device>
struct ControlTable {
    SlotList<WriteParameter, WriteSlot<Device, uint8_t>> bytes{};
    WriteSlot<Device, int32_t> ping{};
    // The number of signal channels; none: 0.
    std::function<int32_t(Device&)> channelsCount{};
};

// The control adapter over a family interface.
template <class Device>
class TableControl : public FamilyControl {
public:
    TableControl(Device& device, const ControlTable<Device>& table) : device_(device), table_(table) {}

    OperationResult writeByte(WriteParameter parameter, uint8_t value) override {
        const auto* slot = slotOf(table_.bytes, parameter);
        return slot != nullptr ? (*slot)(device_, value) : unsupportedWrite();
    }
    OperationResult ping(int32_t marker) override {
        return table_.ping ? table_.ping(device_, marker) : unsupportedCommand();
    }
    int32_t channelsCount() override { return table_.channelsCount ? table_.channelsCount(device_) : 0; }

protected:
    Device& device() const { return device_; }

private:
    Device& device_;
    const ControlTable<Device>& table_;
};

}  // namespace VexaDevice::Api
