#include "sim/peers/kestrane/CommandStreamPeer.hpp"

#include "sdk/devices/kestrane/KestraneGatt.hpp"

namespace VexaSim {

namespace {

namespace Property = VexaDevice::BLE::Platform::CharacteristicProperty;
using VexaDevice::Kestrane::KestraneRole;
using VexaDevice::Kestrane::kestraneUuid;

void notifyWhenAny(const std::shared_ptr<SimCharacteristic>& characteristic, std::vector<uint8_t> pack)
{
    if (characteristic && !pack.empty())
        characteristic->notify(std::move(pack));
}

}  // namespace

void CommandStreamPeer::Device::announce(const std::vector<uint8_t>& value)
{
    status->setValue(value);
    status->notify(value);
}

std::shared_ptr<CommandStreamPeer> CommandStreamPeer::attach(SimRadio& radio, uint64_t address,
                                                             CommandStreamPeerSettings settings,
                                                             CommandStreamPeerTiming timing)
{
    auto peripheral = radio.addPeripheral(address, settings.name);
    return std::shared_ptr<CommandStreamPeer>(new CommandStreamPeer(std::move(peripheral), std::move(settings), timing));
}

CommandStreamPeer::CommandStreamPeer(std::shared_ptr<SimPeripheral> peripheral, CommandStreamPeerSettings settings,
                                     CommandStreamPeerTiming timing)
    : peripheral_(std::move(peripheral)), timing_(timing), device_(std::make_shared<Device>(std::move(settings)))
{
    buildGatt();
    streamer_ = std::thread([this] { stream(); });
}

CommandStreamPeer::~CommandStreamPeer()
{
    {
        std::lock_guard lock(clockMutex_);
        stopping_ = true;
    }
    clock_.notify_all();
    streamer_.join();
}

void CommandStreamPeer::buildGatt()
{
    const CommandStreamPeerSettings& settings = device_->model.settings();
    addDeviceInformation(*peripheral_, settings.information);
    const std::string& suffix = settings.suffix;
    auto service = peripheral_->addService(kestraneUuid(suffix, KestraneRole::Service));
    status_ = service->addCharacteristic(kestraneUuid(suffix, KestraneRole::Status), Property::Read | Property::Notify,
                                         device_->model.statusValue());
    command_ = service->addCharacteristic(kestraneUuid(suffix, KestraneRole::Command), Property::Write);
    signal_ = service->addCharacteristic(kestraneUuid(suffix, KestraneRole::Signal), Property::Notify);
    resist_ = service->addCharacteristic(kestraneUuid(suffix, KestraneRole::Resist), Property::Notify);
    if (settings.hasMotion)
        motion_ = service->addCharacteristic(kestraneUuid(suffix, KestraneRole::Motion), Property::Notify);
    if (settings.hasFpg)
        fpg_ = service->addCharacteristic(kestraneUuid(suffix, KestraneRole::Fpg), Property::Notify);
    device_->status = status_;

    command_->onWrite([weak = std::weak_ptr<Device>(device_)](const std::vector<uint8_t>& frame) {
        if (const auto device = weak.lock()) {
            std::lock_guard lock(device->mutex);
            if (const auto reply = device->model.onCommand(frame))
                device->announce(*reply);
        }
        return GattStatus::Success;
    });
}

void CommandStreamPeer::stream()
{
    std::unique_lock clock(clockMutex_);
    while (!clock_.wait_for(clock, timing_.notificationPeriod, [this] { return stopping_; })) {
        CommandStreamPeerModel::Packs packs;
        {
            std::lock_guard lock(device_->mutex);
            packs = device_->model.nextPacks();
        }
        notifyWhenAny(signal_, std::move(packs.signal));
        notifyWhenAny(resist_, std::move(packs.resist));
        notifyWhenAny(motion_, std::move(packs.motion));
        notifyWhenAny(fpg_, std::move(packs.fpg));
    }
}

template <class Read>
auto CommandStreamPeer::read(Read read) const
{
    std::lock_guard lock(device_->mutex);
    return read(device_->model);
}

uint8_t CommandStreamPeer::mode() const
{
    return read([](const CommandStreamPeerModel& model) { return model.mode(); });
}

uint32_t CommandStreamPeer::samplesPerPack() const
{
    return read([](const CommandStreamPeerModel& model) { return model.samplesPerPack(); });
}

std::vector<uint8_t> CommandStreamPeer::amplifierFrame() const
{
    return read([](const CommandStreamPeerModel& model) { return model.amplifierFrame(); });
}

std::vector<std::vector<uint8_t>> CommandStreamPeer::pings() const
{
    return read([](const CommandStreamPeerModel& model) { return model.pings(); });
}

void CommandStreamPeer::setSilent(bool silent)
{
    std::lock_guard lock(device_->mutex);
    device_->model.setSilent(silent);
}

void CommandStreamPeer::setRefusal(uint8_t error, int command)
{
    std::lock_guard lock(device_->mutex);
    device_->model.setRefusal(error, command);
}

void CommandStreamPeer::setIgnoring(bool ignoring)
{
    std::lock_guard lock(device_->mutex);
    device_->model.setIgnoring(ignoring);
}

void CommandStreamPeer::setBattery(uint8_t level)
{
    std::lock_guard lock(device_->mutex);
    device_->model.setBattery(level);
    device_->announce(device_->model.statusValue());
}

void CommandStreamPeer::sendStatus(std::vector<uint8_t> bytes)
{
    status_->notify(std::move(bytes));
}

}  // namespace VexaSim
