#include "sdk/devices/vondra/VondraBLEProtocol.hpp"

#include <algorithm>

namespace VexaDevice::Vondra {

namespace {

constexpr size_t BusCapacity = 2048;

}  // namespace

VondraBLEProtocol::VondraBLEProtocol(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation,
                                     const Devices::ProtocolTiming& timing)
    : VondraProtocolBase(std::move(device), std::move(deviceInformation), VondraGeneration::First,
                         CreationTexts{"Vondra BLE Protocol", "Failed create Cannot create Vondra BLE Protocol."},
                         timing),
      signalBus_(std::make_shared<SignalBus>(BusCapacity)),
      resistBus_(std::make_shared<ResistBus>(BusCapacity)) {}

VondraBLEProtocol::~VondraBLEProtocol() = default;

// Records with fewer values than the channels are dropped; the batch goes out even when none
// is left.
void VondraBLEProtocol::publishSignal(std::span<const Kestrane::_SignalData> records) {
    std::vector<_VondraSignalData> batch;
    batch.reserve(records.size());
    for (const auto& record : records) {
        if (record.Samples.size() < VondraChannels) continue;
        _VondraSignalData& out = batch.emplace_back();
        out.PackNum = record.PackNum;
        out.Marker = record.Marker;
        std::copy_n(record.Samples.begin(), VondraChannels, out.Samples.begin());
    }
    signalBus_->notify(batch);
}

void VondraBLEProtocol::publishResist(std::span<const Kestrane::_ResistData> records) {
    std::vector<_VondraResistData> batch;
    batch.reserve(records.size());
    for (const auto& record : records) {
        if (record.Samples.size() < VondraChannels) continue;
        _VondraResistData& out = batch.emplace_back();
        out.PackNum = record.PackNum;
        std::copy_n(record.Samples.begin(), VondraChannels, out.Values.begin());
    }
    resistBus_->notify(batch);
}

std::shared_ptr<VondraBLEProtocol> makeVondraBLEProtocol(std::shared_ptr<BLE::IBLEDevice> device,
                                                         BLE::ServiceChannels deviceInformation,
                                                         const Devices::ProtocolTiming& timing) {
    return Devices::ProtocolStart::make<VondraBLEProtocol>(std::move(device), std::move(deviceInformation), timing);
}

}  // namespace VexaDevice::Vondra
