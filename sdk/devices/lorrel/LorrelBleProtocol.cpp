#include "sdk/devices/lorrel/LorrelBleProtocol.hpp"

#include <string>

#include "sdk/core/DeviceError.hpp"
#include "sdk/devices/common/CreationFailure.hpp"
#include "sdk/devices/kestrane/KestraneGatt.hpp"

namespace VexaDevice::Lorrel {

using Utility::formatKspDeviceError;

namespace {

const char* const ProtocolName = "Lorrel Black BLE Protocol";
const char* const UnknownCreationFailure = "Failed create Cannot create Lorrel Black BLE Protocol.";

}  // namespace

std::shared_ptr<LorrelBleProtocol> LorrelBleProtocol::create(std::shared_ptr<BLE::IBLEDevice> device,
                                                             BLE::ServiceChannels deviceInformation,
                                                             const Devices::ProtocolTiming& timing) {
    return Devices::ProtocolStart::make<LorrelBleProtocol>(std::move(device), std::move(deviceInformation), timing);
}

LorrelBleProtocol::LorrelBleProtocol(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation,
                                     const Devices::ProtocolTiming& timing)
    : SideStreams(commandLock_, commandSender(), frameWriter(),
                  Kestrane::SideStreamRates{MotionRateCode, FpgRateCode, Headband::NoCode}, Headband::motionParams(),
                  Headband::fpgParams()),
      timing_(timing),
      linked_(std::move(device), std::move(deviceInformation)),
      worker_(timing.workerWait) {}

LorrelBleProtocol::~LorrelBleProtocol() { stop(); }

void LorrelBleProtocol::start() {
    try {
        linked_.readIdentity();
        setUpGatt();
        linked_.link().readStatus();
        offer(Headband::capabilities(motion().channel() != nullptr, fpg().channel() != nullptr));
        linked_.link().listen();
        worker_.startFor(std::weak_ptr<LorrelBleProtocol>(weak_from_this()), &LorrelBleProtocol::workerPass);
        bringToRest();
    } catch (...) {
        stop();
        Devices::rethrowProtocolCreationFailure(std::current_exception(), ProtocolName, UnknownCreationFailure);
    }
}

void LorrelBleProtocol::stop() {
    linked_.close();
    worker_.stop();
}

void LorrelBleProtocol::setUpGatt() {
    Headband::checkDeviceVersion(linked_.version(), FamilyCode);
    const Kestrane::KestraneGattChannels found =
        Kestrane::findKestraneChannels(linked_.device()->getChannelMap(), GattSuffix, false);
    linked_.open(found.status, found.command, worker_.wakeup(), timing_);
    const std::weak_ptr<Utility::CvWait> wake = worker_.wakeup();
    signal_ = std::make_shared<Kestrane::BLESignalChannel>(found.signal, Headband::unitGainSignalParams(), wake, 0);
    // Each status marks where the packs of its mode begin: status and signal arrive in the order
    // the device sent them.
    linked_.link().observe([modes = packModes_, signal = signal_](uint8_t mode) {
        modes->statusArrived(signal->ring().totalWritten(), mode);
    });
    motion().open(found.motion, wake, 0);
    fpg().open(found.fpg, wake, 0);
}

void LorrelBleProtocol::bringToRest() {
    if (Kestrane::isMeasuring(linked_.link().mode())) powerDown();
    stopStreams();
}

OperationResult LorrelBleProtocol::modeCommand(uint8_t mode, const std::vector<uint8_t>& frame,
                                               void (LorrelBleProtocol::*accepted)()) {
    std::unique_lock lock(commandLock_);
    // A link that is down fails every command; the frame is skipped only when the device is
    // known to be in the mode already.
    if (linked_.link().isLinkLost() || linked_.device()->isDisconnected())
        return formatKspDeviceError(Devices::StatusCommandLink::NotDelivered.code);
    if (linked_.link().modeKnown() && linked_.link().mode() == mode) return OperationResult::done();
    // A start that the device acknowledged without streaming has not started anything.
    const Headband::PackModes::Switch begun = packModes_->switchBegins(signal_->ring().totalWritten());
    const Devices::CommandReply reply =
        linked_.link().exchangeMode(frame, [mode](uint8_t now) { return Kestrane::modeReached(mode, now); });
    if (reply.code != 0 && reply.command != frame.front()) packModes_->switchUnanswered(begun);
    if (reply.code != 0) return formatKspDeviceError(reply.code);
    (this->*accepted)();
    return OperationResult::done();
}

void LorrelBleProtocol::streamNone() { signal_->stopNotifyIfStarted(); }

void LorrelBleProtocol::streamMeasurement() { signal_->startNotifyIfStopped(); }

OperationResult LorrelBleProtocol::powerDown() {
    return modeCommand(PowerDownMode, Headband::powerDownFrame(), &LorrelBleProtocol::streamNone);
}

OperationResult LorrelBleProtocol::setIdle() {
    return modeCommand(IdleMode, Headband::idleFrame(), &LorrelBleProtocol::streamNone);
}

OperationResult LorrelBleProtocol::startSignal() {
    return modeCommand(SignalMode, Headband::startSignalFrame(packModes_->gain()),
                       &LorrelBleProtocol::streamMeasurement);
}

OperationResult LorrelBleProtocol::startResist() {
    return modeCommand(ResistMode, Headband::startResistFrame(), &LorrelBleProtocol::streamMeasurement);
}

Kestrane::SendFrame LorrelBleProtocol::commandSender() {
    return [this](const std::vector<uint8_t>& frame, const char*) {
        return formatKspDeviceError(linked_.link().exchangeCommand(frame).code);
    };
}

Kestrane::SideStreams::WriteOnce LorrelBleProtocol::frameWriter() {
    return [this](const std::vector<uint8_t>& frame) { return linked_.link().writeOnce(frame); };
}

OperationResult LorrelBleProtocol::setGain(const uint8_t& index) {
    std::unique_lock lock(commandLock_);
    // A refusal for the device's mode: nothing was sent, so it is no send failure.
    if (Headband::amplifierBusy(linked_.link().mode()))
        return OperationResult::failed(
            Utility::kKspErrors.unsupportedParamAccess,
            "The parameters of the amplifier are allowed to be set in modes PowerDown or Idle");
    if (index > Headband::MaxGainIndex)
        return OperationResult::failed(Utility::kKspErrors.wrongParamValue, "Failed setPGAGain. Wrong param value");
    packModes_->setGain(index);
    return OperationResult::done();
}

bool LorrelBleProtocol::onConnected() {
    std::unique_lock lock(commandLock_);
    linked_.relink();
    return true;
}

void LorrelBleProtocol::onServicesRebound() {
    std::unique_lock lock(commandLock_);
    linked_.link().readStatus();
}

bool LorrelBleProtocol::onDisconnected() {
    linked_.markLinkLost();
    return true;
}

// Each run of packs of one measurement is read as that measurement's.
void LorrelBleProtocol::signalStep(std::vector<Kestrane::_SignalData>& signal,
                                   std::vector<Kestrane::_ResistData>& resist) {
    const auto batch = signalReader_.poll(signal_->ring());
    const size_t first = signalReader_.position() - batch.size();
    size_t begin = 0;
    while (begin < batch.size()) {
        const Headband::PackModes::Measurement measurement = packModes_->measurementAt(first + begin);
        if (measurement.number != measurement_) {
            measurement_ = measurement.number;
            packReader_.reset();
        }
        size_t end = begin + 1;
        while (end < batch.size() && packModes_->measurementAt(first + end).number == measurement.number) ++end;
        packReader_.take(batch.subspan(begin, end - begin), measurement.mode, measurement.gainIndex, signal, resist);
        begin = end;
    }
}

void LorrelBleProtocol::workerPass() {
    if (const auto status = linked_.link().pollNewest()) {
        statusPublisher_.publish(*status, *batteryBus_, *modeBus_);
    }
    std::vector<Kestrane::_SignalData> signal;
    std::vector<Kestrane::_ResistData> resist;
    {
        // While a command is under way, what the signal arriving meanwhile means is settled by
        // its outcome: leave it until the command has ended.
        std::shared_lock lock(commandLock_, std::try_to_lock);
        if (lock.owns_lock()) signalStep(signal, resist);
    }
    if (!signal.empty()) signalBus_->notify(signal);
    if (!resist.empty()) resistBus_->notify(resist);
    publishStreams(*motionBus_, *fpgBus_);
}

std::shared_ptr<LorrelBleProtocol> makeLorrelBleProtocol(std::shared_ptr<BLE::IBLEDevice> device,
                                                         BLE::ServiceChannels deviceInformation,
                                                         const Devices::ProtocolTiming& timing) {
    return LorrelBleProtocol::create(std::move(device), std::move(deviceInformation), timing);
}

}  // namespace VexaDevice::Lorrel
