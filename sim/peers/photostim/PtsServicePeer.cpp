#include "sim/peers/photostim/PtsServicePeer.hpp"

#include "sdk/devices/photostim/PhotoStimWire.hpp"

namespace VexaSim {

namespace {

namespace Property = VexaDevice::BLE::Platform::CharacteristicProperty;
namespace Wire = VexaDevice::PhotoStim;

constexpr size_t PacketSize = 128;

}  // namespace

std::shared_ptr<PtsServicePeer> PtsServicePeer::add(std::shared_ptr<SimPeripheral> peripheral,
                                                    PtsPeerSettings settings) {
    std::shared_ptr<PtsServicePeer> peer(new PtsServicePeer(std::move(peripheral), std::move(settings)));
    peer->joinLink(peer);
    return peer;
}

PtsServicePeer::PtsServicePeer(std::shared_ptr<SimPeripheral> peripheral, PtsPeerSettings settings)
    : PeerBase(std::move(peripheral), std::move(settings)) {
    auto service = addCommandService(Wire::PtsServiceUuid, Wire::PtsStatusUuid, Wire::PtsCommandUuid);
    config_ = service->addCharacteristic(Wire::PtsConfigUuid, Property::Read | Property::Write,
                                         std::vector<uint8_t>(PacketSize, 0));
    config_->onWrite([](const std::vector<uint8_t>& packet) {
        return packet.size() == PacketSize ? GattStatus::Success : GattStatus::ProtocolError;
    });
    // The clock: a start waiting for its tick runs (and is announced) within a millisecond of it.
    startPump(std::chrono::milliseconds(1), [device = device_] {
        std::lock_guard lock(device->mutex);
        device->announce(device->model.onClock());
    });
    statusCharacteristic()->onRead([weak = std::weak_ptr<Shared>(device_)] {
        const auto device = weak.lock();
        if (!device) return std::vector<uint8_t>();
        std::lock_guard lock(device->mutex);
        return device->model.statusValue();
    });
}

void PtsServicePeer::joinLink(const std::shared_ptr<PtsServicePeer>& self) {
    withModel([this](PtsPeerModel& model) { model.setMember(this); });
    syncLink()->join(self);
}

uint8_t PtsServicePeer::state() const {
    return withModel([](const PtsPeerModel& model) { return model.state(); });
}

bool PtsServicePeer::synchronised() const {
    return withModel([](const PtsPeerModel& model) { return model.synchronised(); });
}

uint32_t PtsServicePeer::now() const {
    return withModel([](const PtsPeerModel& model) { return model.now(); });
}

uint32_t PtsServicePeer::startTick() const {
    return withModel([](const PtsPeerModel& model) { return model.startTick(); });
}

std::shared_ptr<StimSyncLink> PtsServicePeer::syncLink() const {
    return withModel([](const PtsPeerModel& model) { return model.link(); });
}

void PtsServicePeer::setAnswerState(std::optional<uint8_t> state) {
    withModel([state](PtsPeerModel& model) { model.setAnswerState(state); });
}

void PtsServicePeer::setBatteryVoltage(uint16_t voltage) {
    std::lock_guard lock(device_->mutex);
    device_->model.setBatteryVoltage(voltage);
    device_->announce(device_->model.statusValue());
}

void PtsServicePeer::setRunningAtStartTick(bool atTick) {
    withModel([atTick](PtsPeerModel& model) { model.setRunningAtStartTick(atTick); });
}

bool PtsServicePeer::startPending() const {
    return withModel([](const PtsPeerModel& model) { return model.startPending(); });
}

void PtsServicePeer::onSyncPulse() {
    std::lock_guard lock(device_->mutex);
    device_->announce(device_->model.onSyncPulse());
}

void PtsServicePeer::onSyncLost() {
    std::lock_guard lock(device_->mutex);
    device_->announce(device_->model.onSyncLost());
}

}  // namespace VexaSim
