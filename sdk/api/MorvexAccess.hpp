#pragma once
// The exported functions' view of a first-generation Morvex device (family 3).

#include <memory>

#include "sdk/api/FamilyAccess.hpp"
#include "sdk/devices/morvex/IMorvex.hpp"

namespace VexaDevice::Api {

class MorvexAccess final : public FamilyAccess {
public:
    explicit MorvexAccess(std::shared_ptr<Morvex::IMorvex> device);

    OperationResult readText(TextParameter parameter, std::string& out) override;
    OperationResult readState(int32_t& out) override;
    OperationResult readByte(ByteParameter parameter, uint8_t& out) override;
    OperationResult readInt(IntParameter parameter, int32_t& out) override;
    // Firmware, hardware and model numbers as FwMajor, HwMajor and Extra.
    OperationResult readVersion(SensorVersion& out) override;

    std::weak_ptr<BLE::ConnectionBus> connectionBus() override;

    // The family's own records: one host record per sample.
    Subscription addSignalDataMorvex(const HostTarget<MorvexSignalCallback>& host) override;
    // One call per resistance record.
    Subscription addResistMorvex(const HostTarget<MorvexResistCallback>& host) override;
    Subscription addIntValue(IntEvent event, const HostTarget<IntValueCallback>& host) override;

private:
    const std::shared_ptr<Morvex::IMorvex> device_;
};

}  // namespace VexaDevice::Api
