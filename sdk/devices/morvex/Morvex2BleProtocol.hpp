#pragma once
// The second-generation Morvex devices (and the families the library maps onto them): four or
// eight EEG channels with resistance, optional motion and photoplethysmogram streams, an
// amplifier setting of up to eight channels, a samples-per-pack set-up, a ping and a list of
// the channels' electrode positions. The command-and-stream protocol of the Wrenlet sensors.

#include <cstdint>
#include <memory>
#include <vector>

#include "sdk/core/EEGChannel.hpp"
#include "sdk/devices/kestrane/CommandStreamProtocol.hpp"
#include "sdk/devices/morvex/Morvex2Records.hpp"

namespace VexaDevice::Morvex2 {

using Kestrane::DevAmpStatus;
using Kestrane::OpCmdRes;

class Morvex2BleProtocol final : public Kestrane::CommandStreamProtocol {
public:
    // {517, ...} for a setting the amplifier cannot take, else the device's answer.
    OperationResult setAmplifierParam(const Morvex2AmplifierParam& param);
    // The last setting the device accepted.
    OperationResult amplifierParam(Morvex2AmplifierParam& out) const;
    // Signal records per pack: 1 to 8 with four channels, 1 to 4 with eight; {517, "Wrong
    // number samples in packet"} otherwise, else the device's answer. Once accepted, the signal
    // packs are read with the new size.
    OperationResult setSamplesPerPack(uint8_t samples);
    // Electrode positions of the channels, by the device's model.
    std::vector<Sensor::EEGChannelInfo> channelList() const;

private:
    friend struct Devices::ProtocolStart;
    Morvex2BleProtocol(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation,
                       const Devices::ProtocolTiming& timing);

    Kestrane::StreamLayout layoutFor(const DeviceVersion& version) const override;
    void configureDevice() override;
    uint8_t maxSamplesPerPack() const;

    Morvex2AmplifierParam amplifier_;  // guarded by the command lock
};

// Throws rt_exception "Failed create Morvex2 BLE Protocol: ..." when the device cannot be driven.
std::shared_ptr<Morvex2BleProtocol> makeMorvex2BleProtocol(std::shared_ptr<BLE::IBLEDevice> device,
                                                           BLE::ServiceChannels deviceInformation,
                                                           const Devices::ProtocolTiming& timing = {});

}  // namespace VexaDevice::Morvex2
