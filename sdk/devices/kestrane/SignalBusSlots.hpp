#pragma once
// The bus slots a measuring headset interface opens with, declared after those of `Base` in this
// order: battery, resistance, device mode and signal. The resistance and signal buses carry
// batches of the family's `Resist` and `Signal` records.

#include <memory>
#include <vector>

#include "sdk/core/EventBus.hpp"
#include "sdk/devices/kestrane/KestraneRecords.hpp"

namespace VexaDevice::Kestrane {

template <class Base, class Resist, class Signal>
class SignalBusSlots : public Base {
public:
    virtual std::weak_ptr<Utility::EventBus<int>> batteryEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<std::vector<Resist>>> resistEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<DevAmpStatus>> ampModeEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<std::vector<Signal>>> signalEvent() = 0;
};

}  // namespace VexaDevice::Kestrane
