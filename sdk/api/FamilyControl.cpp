#include "sdk/api/FamilyControl.hpp"

#include <utility>

#include "sdk/api/CallStatus.hpp"

namespace VexaDevice::Api {

OperationResult unsupportedWrite() {
    return OperationResult::failed(static_cast<int32_t>(Errors::WriteUnsupported.code), Errors::WriteUnsupported.text);
}

OperationResult unsupportedCommand() {
    return OperationResult::failed(static_cast<int32_t>(Errors::CommandFailed.code), Errors::CommandFailed.text);
}

namespace {

// The slot's answer, or none (0, no filters) for an empty slot.
template <class Value>
Value answerOf(const std::function<Value()>& slot) {
    return slot ? slot() : Value{};
}

}  // namespace

FamilyControl::FamilyControl(ControlSlots slots) : slots_(std::move(slots)) {}

OperationResult FamilyControl::writeByte(WriteParameter parameter, uint8_t value) const {
    const auto* slot = slotOf(slots_.bytes, parameter);
    return slot != nullptr && *slot ? (*slot)(value) : unsupportedWrite();
}

OperationResult FamilyControl::ping(int32_t marker) const {
    return slots_.ping ? slots_.ping(marker) : unsupportedCommand();
}

int32_t FamilyControl::channelsCount() const { return answerOf(slots_.channelsCount); }

int32_t FamilyControl::maxStimulPhases() const { return answerOf(slots_.maxStimulPhases); }

std::set<uint8_t> FamilyControl::supportedFilters() const { return answerOf(slots_.supportedFilters); }

}  // namespace VexaDevice::Api
