#pragma once
// What the exported functions can change or run on one sensor. FamilyControl answers the writes
// and counts of a kind any family may have (a byte parameter, the ping, the signal channel and
// stimulation-phase counts, the filter list) from slots bound to the device object by the
// family's table; an empty slot answers as a family without the parameter (122) or the command
// (118), a count 0 and the filters none. What only some families have (their amplifier records,
// stimulation programs, the Tessel settings, the Dravik file system) is a view the control
// offers when it is made (`view<View>()`, FamilyViews.hpp); the exports of those families refuse
// a sensor whose control offers none with the same 122, 118 or 121.

#include <cstdint>
#include <functional>
#include <set>

#include "sdk/api/FamilyViews.hpp"
#include "sdk/api/SlotList.hpp"
#include "sdk/api/include/ambrelkit2.h"
#include "sdk/core/OperationResult.hpp"

namespace VexaDevice::Api {

enum class WriteParameter {
    SamplingFrequency,
    Gain,
    DataOffset,
    FirmwareMode,
    ADCInput,
    ExternalSwitch,
    AccelerometerSens,
    GyroscopeSens,
    IrAmplitude,
    RedAmplitude,
};

// {failed, 122, "Failed write the sensor parameter"}.
OperationResult unsupportedWrite();
// {failed, 118, "Failed to execute the sensor command"}.
OperationResult unsupportedCommand();

template <class Value>
using BoundWrite = std::function<OperationResult(Value)>;

// A family's control slots, each bound to its device object; an empty slot or list: the family
// has none.
struct ControlSlots {
    SlotList<WriteParameter, BoundWrite<uint8_t>> bytes{};
    BoundWrite<int32_t> ping{};
    std::function<int32_t()> channelsCount{};
    std::function<int32_t()> maxStimulPhases{};
    // Ascending.
    std::function<std::set<uint8_t>()> supportedFilters{};
};

class FamilyControl : public OffersViews {
public:
    // The slots refer to the device object, which outlives the control.
    explicit FamilyControl(ControlSlots slots = {});
    virtual ~FamilyControl() = default;
    FamilyControl(const FamilyControl&) = delete;
    FamilyControl& operator=(const FamilyControl&) = delete;

    OperationResult writeByte(WriteParameter parameter, uint8_t value) const;
    OperationResult ping(int32_t marker) const;
    // The number of signal channels; 0 for a family without a signal.
    int32_t channelsCount() const;
    // How many stimulation phases the sensor runs; 0 for a family without a stimulator.
    int32_t maxStimulPhases() const;
    // The filters the family offers, ascending; empty for a family without filters.
    std::set<uint8_t> supportedFilters() const;

private:
    const ControlSlots slots_;
};

}  // namespace VexaDevice::Api
