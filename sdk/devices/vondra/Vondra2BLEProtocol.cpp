#include "sdk/devices/vondra/Vondra2BLEProtocol.hpp"

namespace VexaDevice::Vondra2 {

namespace {

constexpr size_t BusCapacity = 2048;

// Records with fewer values than the channels are dropped, the others go out whole; the batch
// goes out even when none is left.
template <class Record>
std::vector<Record> wholeRecords(std::span<const Record> records, size_t channels) {
    std::vector<Record> batch;
    batch.reserve(records.size());
    for (const auto& record : records) {
        if (record.Samples.size() >= channels) batch.push_back(record);
    }
    return batch;
}

}  // namespace

Vondra2BLEProtocol::Vondra2BLEProtocol(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation,
                                       const Devices::ProtocolTiming& timing)
    : VondraProtocolBase(std::move(device), std::move(deviceInformation), Vondra::VondraGeneration::Second,
                         std::nullopt, timing),
      signalBus_(std::make_shared<SignalBus>(BusCapacity)),
      resistBus_(std::make_shared<ResistBus>(BusCapacity)) {}

Vondra2BLEProtocol::~Vondra2BLEProtocol() = default;

void Vondra2BLEProtocol::publishSignal(std::span<const Kestrane::_SignalData> records) {
    signalBus_->notify(wholeRecords(records, channels()));
}

void Vondra2BLEProtocol::publishResist(std::span<const Kestrane::_ResistData> records) {
    resistBus_->notify(wholeRecords(records, channels()));
}

std::shared_ptr<Vondra2BLEProtocol> makeVondra2BLEProtocol(std::shared_ptr<BLE::IBLEDevice> device,
                                                           BLE::ServiceChannels deviceInformation,
                                                           const Devices::ProtocolTiming& timing) {
    return Devices::ProtocolStart::make<Vondra2BLEProtocol>(std::move(device), std::move(deviceInformation), timing);
}

}  // namespace VexaDevice::Vondra2
