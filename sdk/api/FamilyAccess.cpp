#include "sdk/api/FamilyAccess.hpp"

#include "sdk/api/CallStatus.hpp"
#include "sdk/api/HostDelivery.hpp"
#include "sdk/core/Log.hpp"

namespace VexaDevice::Api {

OperationResult unsupportedRead() {
    return OperationResult::failed(static_cast<int32_t>(Errors::ReadUnsupported.code), Errors::ReadUnsupported.text);
}

Subscription Subscription::refused() {
    return failed(OperationResult::failed(static_cast<int32_t>(Errors::CallbackUnsupported.code),
                                          Errors::CallbackUnsupported.text));
}

Subscription Subscription::failed(OperationResult result) {
    Subscription subscription;
    subscription.result = std::move(result);
    return subscription;
}

Subscription Subscription::made(GatedSubscriber delivery, Records records) {
    Subscription subscription;
    subscription.delivery = std::move(delivery);
    subscription.records = records;
    return subscription;
}

void logFailedDelivery(const char* what) noexcept {
    try {
        Utility::sdkLog().error("[HostCallback] Delivery failed: {}", what != nullptr ? what : "unknown exception");
    } catch (...) {
        // Nothing is left to report to.
    }
}

namespace {

template <class Value>
OperationResult readFrom(const BoundRead<Value>* slot, Value& out) {
    return slot != nullptr && *slot ? (*slot)(out) : unsupportedRead();
}

template <class Callback>
Subscription listenTo(const BoundEvent<Callback>* slot, const HostTarget<Callback>& host) {
    return slot != nullptr && *slot ? (*slot)(host) : Subscription::refused();
}

}  // namespace

FamilyAccess::FamilyAccess(std::shared_ptr<Sensor::ISensor> sensor, AccessSlots slots)
    : sensor_(std::move(sensor)), slots_(std::move(slots)) {}

OperationResult FamilyAccess::readByte(ByteParameter parameter, uint8_t& out) const {
    return readFrom(slotOf(slots_.bytes, parameter), out);
}
OperationResult FamilyAccess::readInt(IntParameter parameter, int32_t& out) const {
    return readFrom(slotOf(slots_.ints, parameter), out);
}
OperationResult FamilyAccess::readVersion(SensorVersion& out) const { return readFrom(&slots_.version, out); }
OperationResult FamilyAccess::readSupportedChannels(std::vector<Sensor::EEGChannelInfo>& out) const {
    return readFrom(&slots_.supportedChannels, out);
}
Subscription FamilyAccess::addIntValue(IntEvent event, const HostTarget<IntValueCallback>& host) const {
    return listenTo(slotOf(slots_.intEvents, event), host);
}
Subscription FamilyAccess::addByteValue(ByteEvent event, const HostTarget<ByteValueCallback>& host) const {
    return listenTo(slotOf(slots_.byteEvents, event), host);
}
Subscription FamilyAccess::addMEMSData(const HostTarget<MEMSDataCallback>& host) const {
    return listenTo(&slots_.memsData, host);
}
Subscription FamilyAccess::addFPGData(const HostTarget<FPGDataCallback>& host) const {
    return listenTo(&slots_.fpgData, host);
}

OperationResult FamilyAccess::readText(TextParameter, std::string&) { return unsupportedRead(); }
OperationResult FamilyAccess::readState(int32_t&) { return unsupportedRead(); }

namespace {

// Reads the state through the adapter it holds weakly; nothing once the sensor is freed.
struct ConnectionStateDelivery {
    std::weak_ptr<FamilyAccess> access;
    HostTarget<ConnectionStateCallback> host;

    void operator()() const {
        if (host.function == nullptr) {
            return;
        }
        const auto sensor = access.lock();
        if (!sensor) {
            return;
        }
        int32_t state = 1;
        try {
            sensor->readState(state);
        } catch (...) {
            Utility::sdkLog().warn("Failed read sensor Connection state");
            return;
        }
        host.function(host.sensor, static_cast<uint8_t>(state), host.userData);
    }
};

}  // namespace

Subscription FamilyAccess::addConnectionState(const HostTarget<ConnectionStateCallback>& host) {
    return Subscription::made(subscribeDelivery(connectionBus(), ConnectionStateDelivery{weak_from_this(), host}));
}

}  // namespace VexaDevice::Api
