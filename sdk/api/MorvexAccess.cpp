#include "sdk/api/MorvexAccess.hpp"

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

}  // namespace

MorvexAccess::MorvexAccess(std::shared_ptr<Morvex::IMorvex> device) : FamilyAccess(device), device_(std::move(device)) {}

OperationResult MorvexAccess::readText(TextParameter parameter, std::string& out) {
    switch (parameter) {
    case TextParameter::Name: return device_->readName(out);
    case TextParameter::Address: return device_->readAddress(out);
    case TextParameter::SerialNumber: return device_->readSerialNumber(out);
    }
    return unsupportedRead();
}

OperationResult MorvexAccess::readState(int32_t& out) { return device_->readState(out); }

OperationResult MorvexAccess::readByte(ByteParameter parameter, uint8_t& out) {
    switch (parameter) {
    case ByteParameter::FirmwareMode: return device_->readFirmwareMode(out);
    case ByteParameter::SamplingFrequency: return device_->readSamplingFrequency(out);
    case ByteParameter::DataOffset: return device_->readOffset(out);
    case ByteParameter::Gain: return device_->readGain(out);
    default: return unsupportedRead();
    }
}

OperationResult MorvexAccess::readInt(IntParameter parameter, int32_t& out) {
    if (parameter == IntParameter::BattPower) {
        return device_->readBattPower(out);
    }
    return unsupportedRead();
}

OperationResult MorvexAccess::readVersion(SensorVersion& out) {
    Morvex::MorvexVersion version;
    const auto result = device_->readFirmwareVersion(version);
    out = SensorVersion{};
    out.FwMajor = static_cast<uint32_t>(version.firmware);
    out.HwMajor = static_cast<uint32_t>(version.hardware);
    out.Extra = static_cast<uint32_t>(version.model);
    return result;
}

std::weak_ptr<BLE::ConnectionBus> MorvexAccess::connectionBus() { return device_->connectionStateEvent(); }

Subscription MorvexAccess::addSignalDataMorvex(const HostTarget<MorvexSignalCallback>& host) {
    return Subscription::made(subscribeDelivery(device_->signalEvent(), MorvexSignalDelivery{host}));
}

Subscription MorvexAccess::addResistMorvex(const HostTarget<MorvexResistCallback>& host) {
    return Subscription::made(subscribeDelivery(device_->resistEvent(), MorvexResistDelivery{host}));
}

Subscription MorvexAccess::addIntValue(IntEvent event, const HostTarget<IntValueCallback>& host) {
    if (event != IntEvent::Battery) {
        return Subscription::refused();
    }
    return Subscription::made(subscribeDelivery(device_->batteryEvent(), ValueDelivery<IntValueCallback>{host}));
}

}  // namespace VexaDevice::Api
