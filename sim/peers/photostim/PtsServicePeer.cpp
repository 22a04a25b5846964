#include "sim/peers/photostim/PtsServicePeer.hpp"

#include "sdk/devices/photostim/PhotoStimWire.hpp"

namespace VexaSim {

namespace {

namespace Property = VexaDevice::BLE::Platform::CharacteristicProperty;
namespace Wire = VexaDevice::PhotoStim;

constexpr size_t StatusSize = 20;
constexpr size_t PacketSize = 128;
constexpr size_t StartFrameSize = 5;

void putLittleEndian(std::vector<uint8_t>& bytes, size_t at, uint32_t value, size_t width)
{
    for (size_t i = 0; i < width; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

std::shared_ptr<PtsServicePeer> PtsServicePeer::add(SimPeripheral& peripheral, std::shared_ptr<StimSyncLink> link,
                                                    PtsPeerSettings settings)
{
    std::shared_ptr<PtsServicePeer> peer(new PtsServicePeer(std::move(link), settings));
    peer->buildGatt(peripheral);
    peer->link_->join(peer);
    return peer;
}

PtsServicePeer::PtsServicePeer(std::shared_ptr<StimSyncLink> link, PtsPeerSettings settings)
    : link_(std::move(link)), ownClock_(settings.ownClockStart), settings_(settings)
{
}

void PtsServicePeer::buildGatt(SimPeripheral& peripheral)
{
    auto service = peripheral.addService(Wire::PtsServiceUuid);
    status_ = service->addCharacteristic(Wire::PtsStatusUuid, Property::Read | Property::Notify);
    config_ = service->addCharacteristic(Wire::PtsConfigUuid, Property::Read | Property::Write,
                                         std::vector<uint8_t>(PacketSize, 0));
    command_ = service->addCharacteristic(Wire::PtsCommandUuid, Property::Write);

    const std::weak_ptr<PtsServicePeer> weak = weak_from_this();
    status_->onRead([weak] {
        const auto peer = weak.lock();
        if (!peer)
            return std::vector<uint8_t>(StatusSize, 0);
        std::lock_guard lock(peer->mutex_);
        return peer->statusPack();
    });
    config_->onWrite([](const std::vector<uint8_t>& packet) {
        return packet.size() == PacketSize ? GattStatus::Success : GattStatus::ProtocolError;
    });
    command_->onWrite([weak](const std::vector<uint8_t>& frame) {
        const auto peer = weak.lock();
        if (!peer)
            return GattStatus::Unreachable;
        if (frame.empty() || (frame[0] == Wire::Command::Start) != (frame.size() == StartFrameSize) ||
            frame[0] < Wire::Command::Reset || frame[0] > Wire::Command::Stop)
            return GattStatus::ProtocolError;
        peer->onCommand(frame);
        return GattStatus::Success;
    });
}

std::vector<uint8_t> PtsServicePeer::statusPack() const
{
    std::vector<uint8_t> pack(StatusSize, 0);
    pack[0] = state_;
    pack[1] = synchronised_ ? 1 : 0;
    putLittleEndian(pack, 2, settings_.batteryVoltage, 2);
    putLittleEndian(pack, 4, synchronised_ ? link_->now() : ownClock_.now(), 4);
    putLittleEndian(pack, 8, settings_.word, 4);
    putLittleEndian(pack, 12, settings_.statusWord, 4);
    return pack;
}

void PtsServicePeer::announce()
{
    const std::vector<uint8_t> pack = statusPack();
    status_->setValue(pack);
    status_->notify(pack);
}

void PtsServicePeer::enter(uint8_t state)
{
    state_ = answerState_.value_or(state);
    synchronised_ = state_ == Synchronised || state_ == Running;
    announce();
}

void PtsServicePeer::onCommand(const std::vector<uint8_t>& frame)
{
    std::lock_guard lock(mutex_);
    if (ignoring_)
        return;
    switch (frame[0]) {
    case Wire::Command::Reset: enter(Idle); break;
    case Wire::Command::PrepareSync:
        if (state_ != Running)
            enter(SyncPrepared);
        break;
    case Wire::Command::Sync:
        if (state_ == SyncPrepared)
            enter(Synchronised);
        break;
    case Wire::Command::Start:
        if (state_ == Synchronised) {
            startTick_ = static_cast<uint32_t>(frame[1]) | (static_cast<uint32_t>(frame[2]) << 8) |
                         (static_cast<uint32_t>(frame[3]) << 16) | (static_cast<uint32_t>(frame[4]) << 24);
            enter(Running);
        }
        break;
    case Wire::Command::Stop:
        if (state_ == Running)
            enter(Synchronised);
        break;
    default: break;
    }
}

uint8_t PtsServicePeer::state() const
{
    std::lock_guard lock(mutex_);
    return state_;
}

bool PtsServicePeer::synchronised() const
{
    std::lock_guard lock(mutex_);
    return synchronised_;
}

uint32_t PtsServicePeer::now() const
{
    std::lock_guard lock(mutex_);
    return synchronised_ ? link_->now() : ownClock_.now();
}

uint32_t PtsServicePeer::startTick() const
{
    std::lock_guard lock(mutex_);
    return startTick_;
}

std::vector<uint8_t> PtsServicePeer::programPacket() const
{
    return config_->value();
}

void PtsServicePeer::setIgnoring(bool ignoring)
{
    std::lock_guard lock(mutex_);
    ignoring_ = ignoring;
}

void PtsServicePeer::setAnswerState(std::optional<uint8_t> state)
{
    std::lock_guard lock(mutex_);
    answerState_ = state;
}

void PtsServicePeer::setBatteryVoltage(uint16_t voltage)
{
    std::lock_guard lock(mutex_);
    settings_.batteryVoltage = voltage;
    announce();
}

void PtsServicePeer::sendStatus(std::vector<uint8_t> bytes)
{
    status_->notify(std::move(bytes));
}

void PtsServicePeer::onSyncLost()
{
    std::lock_guard lock(mutex_);
    if (!synchronised_)
        return;
    state_ = Idle;
    synchronised_ = false;
    announce();
}

}  // namespace VexaSim
