#include "sdk/api/families/morvex/MorvexAccess.hpp"

#include "sdk/api/HostDelivery.hpp"
#include "sdk/api/HostRecords.hpp"

namespace VexaDevice::Api {

namespace {

struct MorvexSignalDelivery {
    HostTarget<MorvexSignalCallback> host;

    void operator()(const std::vector<Morvex::_SignalData>& packs) const {
        if (host.function == nullptr) {
            return;
        }
        auto records = morvexSignalRecords(packs);
        callWithBatch(host, records);
    }
};

struct MorvexResistDelivery {
    HostTarget<MorvexResistCallback> host;

    void operator()(const Morvex::_ResistData& resist) const {
        if (host.function == nullptr) {
            return;
        }
        auto record = morvexResistRecord(resist);
        host.function(host.sensor, &record, host.userData);
    }
};

using Morvex::IMorvex;

// Firmware, hardware and model numbers as FwMajor, HwMajor and Extra.
OperationResult readMorvexVersion(IMorvex& device, SensorVersion& out) {
    Morvex::MorvexVersion version;
    const auto result = device.readFirmwareVersion(version);
    out = SensorVersion{};
    out.FwMajor = static_cast<uint32_t>(version.firmware);
    out.HwMajor = static_cast<uint32_t>(version.hardware);
    out.Extra = static_cast<uint32_t>(version.model);
    return result;
}

const AccessTable<IMorvex>& morvexReads() {
    static const AccessTable<IMorvex> table{
        .bytes =
            {
                {ByteParameter::FirmwareMode, readOf<uint8_t>(&IMorvex::readFirmwareMode)},
                {ByteParameter::SamplingFrequency, readOf<uint8_t>(&IMorvex::readSamplingFrequency)},
                {ByteParameter::DataOffset, readOf<uint8_t>(&IMorvex::readOffset)},
                {ByteParameter::Gain, readOf<uint8_t>(&IMorvex::readGain)},
            },
        .ints = {{IntParameter::BattPower, readOf<int32_t>(&IMorvex::readBattPower)}},
        .version = readMorvexVersion,
        .intEvents = {{IntEvent::Battery, deliverTo<ValueDelivery<IntValueCallback>>(&IMorvex::batteryEvent)}},
    };
    return table;
}

}  // namespace

MorvexAccess::MorvexAccess(std::shared_ptr<IMorvex> device) : TableAccess(std::move(device), morvexReads()) {
    offer<MorvexRecordsView>(*this);
}

Subscription MorvexAccess::addSignalDataMorvex(const HostTarget<MorvexSignalCallback>& host) {
    return Subscription::made(subscribeDelivery(device().signalEvent(), MorvexSignalDelivery{host}));
}

Subscription MorvexAccess::addResistMorvex(const HostTarget<MorvexResistCallback>& host) {
    return Subscription::made(subscribeDelivery(device().resistEvent(), MorvexResistDelivery{host}));
}

}  // namespace VexaDevice::Api
