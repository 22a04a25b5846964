#include "sim/peers/morvexblack/MorvexBlackPeer.hpp"

#include "sdk/devices/kestrane/KestraneGatt.hpp"

namespace VexaSim {

namespace {

namespace Property = VexaDevice::BLE::Platform::CharacteristicProperty;
using VexaDevice::Kestrane::KestraneRole;
using VexaDevice::Kestrane::kestraneUuid;

const char* const Suffix = "90";

void notifyWhenAny(const std::shared_ptr<SimCharacteristic>& characteristic, std::vector<uint8_t> pack)
{
    if (characteristic && !pack.empty())
        characteristic->notify(std::move(pack));
}

}  // namespace

void MorvexBlackPeer::Device::announce(const std::vector<uint8_t>& value)
{
    status->setValue(value);
    status->notify(value);
}

std::shared_ptr<MorvexBlackPeer> MorvexBlackPeer::attach(SimRadio& radio, uint64_t address,
                                                         MorvexBlackPeerSettings settings, MorvexBlackPeerTiming timing)
{
    auto peripheral = radio.addPeripheral(address, settings.name);
    return std::shared_ptr<MorvexBlackPeer>(new MorvexBlackPeer(std::move(peripheral), std::move(settings), timing));
}

MorvexBlackPeer::MorvexBlackPeer(std::shared_ptr<SimPeripheral> peripheral, MorvexBlackPeerSettings settings,
                                 MorvexBlackPeerTiming timing)
    : peripheral_(std::move(peripheral)), timing_(timing), device_(std::make_shared<Device>(std::move(settings)))
{
    buildGatt();
    streamer_ = std::thread([this] { stream(); });
}

MorvexBlackPeer::~MorvexBlackPeer()
{
    {
        std::lock_guard lock(clockMutex_);
        stopping_ = true;
    }
    clock_.notify_all();
    streamer_.join();
}

void MorvexBlackPeer::buildGatt()
{
    const MorvexBlackPeerSettings& settings = device_->model.settings();
    addDeviceInformation(*peripheral_, settings.information);
    auto service = peripheral_->addService(kestraneUuid(Suffix, KestraneRole::Service));
    status_ = service->addCharacteristic(kestraneUuid(Suffix, KestraneRole::Status), Property::Read | Property::Notify,
                                         device_->model.statusValue());
    command_ = service->addCharacteristic(kestraneUuid(Suffix, KestraneRole::Command), Property::Write);
    signal_ = service->addCharacteristic(kestraneUuid(Suffix, KestraneRole::Signal), Property::Notify);
    if (settings.hasMotion)
        motion_ = service->addCharacteristic(kestraneUuid(Suffix, KestraneRole::Motion), Property::Notify);
    if (settings.hasFpg)
        fpg_ = service->addCharacteristic(kestraneUuid(Suffix, KestraneRole::Fpg), Property::Notify);
    device_->status = status_;

    command_->onWrite([weak = std::weak_ptr<Device>(device_)](const std::vector<uint8_t>& frame) {
        if (const auto device = weak.lock()) {
            std::lock_guard lock(device->mutex);
            for (const auto& status : device->model.onCommand(frame))
                device->announce(status);
        }
        return GattStatus::Success;
    });
}

void MorvexBlackPeer::stream()
{
    std::unique_lock clock(clockMutex_);
    while (!clock_.wait_for(clock, timing_.notificationPeriod, [this] { return stopping_; })) {
        MorvexBlackPeerModel::Packs packs;
        {
            std::lock_guard lock(device_->mutex);
            packs = device_->model.nextPacks();
        }
        notifyWhenAny(signal_, std::move(packs.signal));
        notifyWhenAny(motion_, std::move(packs.motion));
        notifyWhenAny(fpg_, std::move(packs.fpg));
    }
}

template <class Action>
auto MorvexBlackPeer::withModel(Action action) const
{
    std::lock_guard lock(device_->mutex);
    return action(device_->model);
}

uint8_t MorvexBlackPeer::mode() const
{
    return withModel([](MorvexBlackPeerModel& model) { return model.mode(); });
}

bool MorvexBlackPeer::motionRunning() const
{
    return withModel([](MorvexBlackPeerModel& model) { return model.motionRunning(); });
}

bool MorvexBlackPeer::fpgRunning() const
{
    return withModel([](MorvexBlackPeerModel& model) { return model.fpgRunning(); });
}

std::vector<uint8_t> MorvexBlackPeer::gainCodes() const
{
    return withModel([](MorvexBlackPeerModel& model) { return model.gainCodes(); });
}

std::vector<std::vector<uint8_t>> MorvexBlackPeer::pings() const
{
    return withModel([](MorvexBlackPeerModel& model) { return model.pings(); });
}

void MorvexBlackPeer::setSilent(bool silent)
{
    withModel([silent](MorvexBlackPeerModel& model) { model.setSilent(silent); });
}

void MorvexBlackPeer::setRefusal(uint8_t error)
{
    withModel([error](MorvexBlackPeerModel& model) { model.setRefusal(error); });
}

void MorvexBlackPeer::setIgnoring(bool ignoring)
{
    withModel([ignoring](MorvexBlackPeerModel& model) { model.setIgnoring(ignoring); });
}

void MorvexBlackPeer::setStaleFirst(bool staleFirst)
{
    withModel([staleFirst](MorvexBlackPeerModel& model) { model.setStaleFirst(staleFirst); });
}

void MorvexBlackPeer::setBattery(uint8_t level)
{
    std::lock_guard lock(device_->mutex);
    device_->model.setBattery(level);
    device_->announce(device_->model.statusValue());
}

void MorvexBlackPeer::sendStatus(std::vector<uint8_t> bytes)
{
    status_->notify(std::move(bytes));
}

}  // namespace VexaSim
