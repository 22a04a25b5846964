#pragma once
// The exported functions' view of a Morvex2-class device: families 18, 19 and 20, and family 4
// when the device offers the Morvex2 service.

#include <cstdint>
#include <memory>
#include <optional>

#include "sdk/api/FamilyAccess.hpp"
#include "sdk/api/HostRecords.hpp"
#include "sdk/devices/morvex/IMorvex2.hpp"

namespace VexaDevice::Api {

class Morvex2Access final : public FamilyAccess {
public:
    Morvex2Access(std::shared_ptr<Morvex2::IMorvex2> device, uint8_t family);

    OperationResult readText(TextParameter parameter, std::string& out) override;
    OperationResult readState(int32_t& out) override;
    OperationResult readByte(ByteParameter parameter, uint8_t& out) override;
    OperationResult readInt(IntParameter parameter, int32_t& out) override;
    OperationResult readVersion(SensorVersion& out) override;
    OperationResult readAmplifierMorvex2(Morvex2AmplifierParam& out) override;
    // Family 4 only: the first four channels as 0/1 modes, flags and gains.
    OperationResult readAmplifierWrenlet(WrenletAmplifierParam& out) override;
    OperationResult readSupportedChannels(std::vector<Sensor::EEGChannelInfo>& out) override;

    std::weak_ptr<BLE::ConnectionBus> connectionBus() override;

    // Families 4 and 18: the O1, O2, T3 and T4 values found through the device's channel list.
    Subscription addSignalDataMorvex(const HostTarget<MorvexSignalCallback>& host) override;
    Subscription addResistMorvex(const HostTarget<MorvexResistCallback>& host) override;
    Subscription addMEMSData(const HostTarget<MEMSDataCallback>& host) override;
    Subscription addSignalMorvex2(const HostTarget<SignalChannelsCallback>& host) override;
    Subscription addResistMorvex2(const HostTarget<ResistChannelsCallback>& host) override;
    Subscription addFPGData(const HostTarget<FPGDataCallback>& host) override;
    Subscription addIntValue(IntEvent event, const HostTarget<IntValueCallback>& host) override;
    Subscription addByteValue(ByteEvent event, const HostTarget<ByteValueCallback>& host) override;

private:
    // Only families 4 and 18 deliver Morvex-shaped records.
    bool deliversMorvexRecords() const { return family_ == 4 || family_ == 18; }
    // The electrode positions from the device's channel list, or the read's failure.
    OperationResult electrodePicker(std::optional<ElectrodePicker>& picker);

    const std::shared_ptr<Morvex2::IMorvex2> device_;
    const uint8_t family_;
};

}  // namespace VexaDevice::Api
