#pragma once
// The base of every protocol-backed device class. It holds the BLE device and the family's
// protocol (or, for a family whose hardware variants speak different protocols, the one protocol
// its variant needs), follows the device's connection through ConnectionWatch, answers the shared
// sensor operations (connect, disconnect, features, commands, parameters) and the reads every
// family interface has with the same body (name, state, address, connection bus), and runs the
// family's settling commands before the link goes.
//
// A family class derives from it with its interface and protocol type(s):
//
//   class TesselBLE final : public Devices::FamilyDevice<ITessel, TesselBleProtocol> {
//   public:
//       explicit TesselBLE(std::shared_ptr<BLE::IBLEDevice> device)
//           : FamilyDevice(std::move(device), "Tessel BLE Device", [](const auto& ble, BLE::ChannelMap& channels) {
//                 return makeTesselBleProtocol(ble, channels[...]);
//             }) {}
//       ~TesselBLE() override { release({"Tessel", true, true}); }  // see ReleasePlan
//       OperationResult execCommand(const Sensor::SensorCommand& command) override;
//       ...  // the family's own reads and writes, over protocol()
//   };
//
// What the base asks of every protocol type: onConnected(), onDisconnected(), onServicesRebound()
// (or a LinkNotice that names them), supportedFeatures(), supportedCommands(), supportedParameters(). The family interface
// declares readName, readState, readAddress and connectionStateEvent as every family does.

#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/ISensor.hpp"
#include "sdk/core/Log.hpp"
#include "sdk/core/OperationResult.hpp"
#include "sdk/core/SensorEnums.hpp"
#include "sdk/core/SensorIdentity.hpp"
#include "sdk/devices/common/ConnectionWatch.hpp"
#include "sdk/devices/common/CreationFailure.hpp"

namespace VexaDevice::Devices {

// A read that always succeeds: the value is the answer.
template <class T, class V>
OperationResult give(T& out, V&& value) {
    out = std::forward<V>(value);
    return OperationResult::done();
}

// How the base tells a protocol that its link came up or went down, or that the device's services
// were resolved again under a live link (the protocol reads again what it keeps from the device's
// notifications, as after a reconnection, and changes nothing else). A protocol that names these
// otherwise specialises it.
template <class Protocol>
struct LinkNotice {
    static decltype(auto) up(Protocol& protocol) { return protocol.onConnected(); }
    static void down(Protocol& protocol) { protocol.onDisconnected(); }
    static void rebound(Protocol& protocol) { protocol.onServicesRebound(); }
};

template <class Protocol>
decltype(auto) noticeLinkUp(Protocol& protocol) {
    return LinkNotice<std::remove_const_t<Protocol>>::up(protocol);
}

template <class Protocol>
void noticeLinkDown(Protocol& protocol) {
    LinkNotice<std::remove_const_t<Protocol>>::down(protocol);
}

template <class Protocol>
void noticeServicesRebound(Protocol& protocol) {
    LinkNotice<std::remove_const_t<Protocol>>::rebound(protocol);
}

// How a device object lets go of its link when it is released.
struct ReleasePlan {
    const char* family;             // "<family>: releasing the device failed: ..." in the log
    bool tellProtocolFirst = true;  // the protocol learns the link is gone before it goes
    bool disconnectLink = false;    // the BLE device is disconnected too
};

template <class Self>
struct SelfProtocol;

// The interface is a virtual base: the sets of forwarding reads a family class adds beside this
// base (MeasuringSet, StreamSet) implement parts of the same interface.
template <class Interface, class... Protocols>
class FamilyDevice : public virtual Interface {
    static_assert(sizeof...(Protocols) > 0, "a device class needs a protocol");
    template <class Self>
    friend struct SelfProtocol;

public:
    using ProtocolSlot = std::variant<std::shared_ptr<Protocols>...>;
    // Builds the protocol from the BLE device and its channel map; throws when it cannot.
    using Builder = std::function<ProtocolSlot(const std::shared_ptr<BLE::IBLEDevice>&, BLE::ChannelMap&)>;

    FamilyDevice(const FamilyDevice&) = delete;
    FamilyDevice& operator=(const FamilyDevice&) = delete;

    OperationResult connect() override {
        // A link loss whose connection event is still on its way must count already, so that the
        // protocol reads the device again once connected.
        if (device_->isDisconnected()) protocolLost();
        device_->connect();
        return onProtocol([](auto& protocol) { return connectedResult(noticeLinkUp(protocol)); });
    }

    OperationResult disconnect() override {
        settleBeforeDisconnect();
        device_->disconnect();
        return OperationResult::done();
    }

    Sensor::FeatureSet getFeatures() override {
        return onProtocol([](auto& protocol) { return protocol.supportedFeatures(); });
    }
    Sensor::CommandSet getCommands() override {
        return onProtocol([](auto& protocol) { return protocol.supportedCommands(); });
    }
    Sensor::ParameterMap getParameters() override {
        return onProtocol([](auto& protocol) { return protocol.supportedParameters(); });
    }

    std::weak_ptr<BLE::ConnectionBus> connectionStateEvent() override { return device_->connectionChangedEvent(); }
    OperationResult readName(std::string& out) override { return Sensor::readName(*device_, out); }
    OperationResult readState(int32_t& out) override { return Sensor::readState(*device_, out); }
    OperationResult readAddress(std::string& out) override { return Sensor::readAddress(*device_, out); }

protected:
    // `subject` names the class in its construction failures ("Cannot create <subject>: ...");
    // `settling` are the commands run, in order and while the link is up, before it goes.
    FamilyDevice(std::shared_ptr<BLE::IBLEDevice> device, const char* subject, const Builder& build,
                 std::vector<Sensor::SensorCommand> settling = {Sensor::SensorCommand::PowerDown})
        : settling_(std::move(settling)) {
        try {
            if (!device) throw std::invalid_argument("BLE device cannot be null");
            device_ = std::move(device);
            BLE::ChannelMap channels = device_->getChannelMap();
            protocol_ = build(device_, channels);
            connectionSubscriber_ =
                watchConnection(device_, whileProtocolLives([](auto& protocol) { noticeLinkDown(protocol); }));
            servicesSubscriber_ =
                watchServices(device_, whileProtocolLives([](auto& protocol) { noticeServicesRebound(protocol); }));
        } catch (...) {
            rethrowDeviceCreationFailure(std::current_exception(), subject);
        }
    }

    ~FamilyDevice() override = default;

    // Called from the family's destructor (the family's execCommand is still there): settles the
    // device, tells the protocol, disconnects where the plan says so, and ends the connection
    // subscription. A failure is logged, never thrown.
    void release(const ReleasePlan& plan) noexcept {
        try {
            settleBeforeDisconnect();
            if (plan.tellProtocolFirst) protocolLost();
            if (plan.disconnectLink) device_->disconnect();
        } catch (const std::exception& e) {
            Utility::sdkLog().warn("{}: releasing the device failed: {}", plan.family, e.what());
        } catch (...) {
            Utility::sdkLog().warn("{}: releasing the device failed", plan.family);
        }
        connectionSubscriber_.reset();
        servicesSubscriber_.reset();
    }

    // Runs `operation` on the protocol that is present.
    template <class Operation>
    decltype(auto) onProtocol(Operation&& operation) const {
        return std::visit([&](const auto& protocol) -> decltype(auto) { return operation(*protocol); }, protocol_);
    }

    // The protocol of type P, or null when the device runs another one.
    template <class P>
    P* protocolAs() const {
        const auto* held = std::get_if<std::shared_ptr<P>>(&protocol_);
        return held ? held->get() : nullptr;
    }

    // The protocol of a single-protocol family.
    auto& protocol() const {
        static_assert(sizeof...(Protocols) == 1, "a family of several protocols picks one with onProtocol");
        return *std::get<0>(protocol_);
    }

    // The protocol learns the link is down.
    void protocolLost() {
        onProtocol([](auto& protocol) { noticeLinkDown(protocol); });
    }

    BLE::IBLEDevice& bleDevice() const { return *device_; }

private:
    template <class Result>
    static OperationResult connectedResult(Result&& result) {
        if constexpr (std::is_same_v<std::decay_t<Result>, OperationResult>)
            return std::forward<Result>(result);
        else
            return OperationResult::done();
    }

    // A notice for the protocol, held weakly: it does nothing once the protocol is gone.
    template <class Notice>
    std::function<void()> whileProtocolLives(Notice notice) const {
        auto slot = std::visit(
            [](const auto& protocol) { return std::variant<std::weak_ptr<Protocols>...>(std::weak_ptr(protocol)); },
            protocol_);
        return [slot = std::move(slot), notice] {
            std::visit(
                [&](const auto& protocol) {
                    if (const auto strong = protocol.lock()) notice(*strong);
                },
                slot);
        };
    }

    // A connected device runs the settling commands before the link goes; their results do not
    // matter, and a command is skipped once the link is down.
    void settleBeforeDisconnect() {
        for (const auto command : settling_) {
            if (device_->isDisconnected()) return;
            this->execCommand(command);
        }
    }

    const std::vector<Sensor::SensorCommand> settling_;
    std::shared_ptr<BLE::IBLEDevice> device_;
    ProtocolSlot protocol_;
    std::shared_ptr<BLE::ConnectionBus::Callback> connectionSubscriber_;
    std::shared_ptr<BLE::ConnectionBus::Callback> servicesSubscriber_;
};

}  // namespace VexaDevice::Devices
