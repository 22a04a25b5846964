#include "sdk/devices/vondra/VondraProtocolBase.hpp"

#include "sdk/core/ConversionTables.hpp"
#include "sdk/core/DeviceError.hpp"
#include "sdk/core/Log.hpp"
#include "sdk/core/RtException.hpp"
#include "sdk/devices/common/CreationFailure.hpp"
#include "sdk/devices/kestrane/KestraneGatt.hpp"

namespace VexaDevice::Vondra {

using Kestrane::isMeasuring;
using Kestrane::modeReached;
using Kestrane::passesResist;
using Kestrane::passesSignal;
using Kestrane::toByte;
using Utility::formatKspDeviceError;
using Utility::rt_exception;

namespace {

constexpr size_t BusCapacity = 2048;

bool allZero(uint32_t major, uint32_t minor, uint32_t patch) { return major == 0 && minor == 0 && patch == 0; }

}  // namespace

VondraProtocolBase::VondraProtocolBase(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation,
                                       VondraGeneration generation, std::optional<CreationTexts> texts,
                                       const Devices::ProtocolTiming& timing)
    : timing_(timing),
      linked_(std::move(device), std::move(deviceInformation)),
      generation_(generation),
      texts_(texts),
      layout_(vondraLayout(generation)),
      amplifier_(defaultAmplifier(generation)),
      batteryBus_(std::make_shared<Devices::BatteryBus>(BusCapacity)),
      modeBus_(std::make_shared<ModeBus>(BusCapacity)),
      worker_(timing.workerWait) {}

VondraProtocolBase::~VondraProtocolBase() { stop(); }

void VondraProtocolBase::start() {
    try {
        construct();
    } catch (...) {
        stop();
        if (texts_)
            Devices::rethrowProtocolCreationFailure(std::current_exception(), texts_->subject, texts_->unknownFailure);
        throw;
    }
}

void VondraProtocolBase::construct() {
    linked_.readIdentity();
    setUpChannels();
    linked_.link().readStatus();
    linked_.link().listen();
    worker_.startFor(std::weak_ptr<VondraProtocolBase>(weak_from_this()), &VondraProtocolBase::workerPass);
    applyStartUpAmplifier();
}

void VondraProtocolBase::stop() {
    linked_.close();
    worker_.stop();
}

void VondraProtocolBase::setUpChannels() {
    const DeviceVersion version = linked_.version();
    if (allZero(version.hardwareMajor, version.hardwareMinor, version.hardwarePatch) ||
        allZero(version.firmwareMajor, version.firmwareMinor, version.firmwarePatch))
        throw rt_exception("Device unsupported. Failed recognized the device version");
    if (version.modelMajor != FamilyCode) throw rt_exception("Device unsupported. Failed recognized the device Family");

    const Kestrane::KestraneGattChannels found =
        Kestrane::findKestraneChannels(linked_.device()->getChannelMap(), layout_.suffix, true);
    // Vondra devices announce their status as each frame arrives, before carrying it out.
    linked_.open(found.status, found.command, worker_.wakeup(), timing_, Devices::StatusAnswers::AfterAnnouncement);
    const std::weak_ptr<Utility::CvWait> wake = worker_.wakeup();
    signal_ = std::make_shared<Kestrane::BLESignalChannel>(found.signal, layout_.signal, wake, 1);
    resist_ = std::make_shared<Kestrane::BLEResistChannel>(found.resist, layout_.resist, wake, 1);
}

// A device still measuring for an earlier host refuses a new setting: it is brought to rest
// first. Only a device at rest that refuses the defaults is one the library cannot drive.
void VondraProtocolBase::applyStartUpAmplifier() {
    if (isMeasuring(linked_.link().mode())) powerDown();
    const OperationResult applied = setAmplifierParam(defaultAmplifier(generation_));
    if (applied) return;
    if (!isMeasuring(linked_.link().mode())) throw rt_exception("Failed to set the amplifier parameters");
    Utility::sdkLog().warn("Device [{}] kept measuring and refused the default amplifier setting: {}",
                           linked_.version().serialText(), applied.message);
}

OperationResult VondraProtocolBase::modeCommand(DevAmpStatus mode, uint8_t code, void (VondraProtocolBase::*before)(),
                                                void (VondraProtocolBase::*accepted)()) {
    std::unique_lock lock(commandLock_);
    // A link that is down fails every command; the frame is skipped only when the device is
    // known to be in the mode already.
    if (linked_.link().isLinkLost() || linked_.device()->isDisconnected())
        return formatKspDeviceError(Devices::StatusCommandLink::NotDelivered.code);
    const uint8_t wanted = toByte(mode);
    if (linked_.link().modeKnown() && linked_.link().mode() == wanted) return OperationResult::done();
    (this->*before)();
    const OpCmdRes reply =
        linked_.link().exchangeMode({code}, [wanted](uint8_t now) { return modeReached(wanted, now); });
    if (reply.code == 0) (this->*accepted)();
    return formatKspDeviceError(reply.code);
}

void VondraProtocolBase::streamNone() {
    signal_->stopNotifyIfStarted();
    resist_->stopNotifyIfStarted();
}

void VondraProtocolBase::streamSignalOnly() {
    resist_->stopNotifyIfStarted();
    signal_->startNotifyIfStopped();
}

void VondraProtocolBase::streamResistOnly() {
    resist_->startNotifyIfStopped();
    signal_->stopNotifyIfStarted();
}

void VondraProtocolBase::streamBoth() {
    signal_->startNotifyIfStopped();
    resist_->startNotifyIfStopped();
}

OperationResult VondraProtocolBase::powerDown() {
    return modeCommand(DevAmpStatus::PowerDown, Frame::PowerDown, &VondraProtocolBase::streamNone,
                       &VondraProtocolBase::keepStreams);
}

OperationResult VondraProtocolBase::setIdle() {
    return modeCommand(DevAmpStatus::Idle, Frame::Idle, &VondraProtocolBase::streamNone,
                       &VondraProtocolBase::keepStreams);
}

OperationResult VondraProtocolBase::startSignal() {
    return modeCommand(DevAmpStatus::Signal, Frame::Signal, &VondraProtocolBase::keepStreams,
                       &VondraProtocolBase::streamSignalOnly);
}

OperationResult VondraProtocolBase::startResist() {
    return modeCommand(DevAmpStatus::Resist, Frame::Resist, &VondraProtocolBase::keepStreams,
                       &VondraProtocolBase::streamResistOnly);
}

OperationResult VondraProtocolBase::startSignalAndResist() {
    return modeCommand(DevAmpStatus::SignalResist, Frame::SignalResist, &VondraProtocolBase::keepStreams,
                       &VondraProtocolBase::streamBoth);
}

OperationResult VondraProtocolBase::ping(int32_t value) {
    std::unique_lock lock(commandLock_);
    if (!linked_.link().writeOnce({Frame::Ping, static_cast<uint8_t>(value & 0xFF)}))
        return OperationResult::failed(Utility::kKspErrors.dataSend, "Failed send ping");
    return OperationResult::done();
}

OperationResult VondraProtocolBase::setAmplifierParam(const VondraAmplifierParam& param) {
    std::unique_lock lock(commandLock_);
    if (OperationResult refused = checkAmplifier(generation_, param); !refused) return refused;
    Kestrane::SignalParams signal = signal_->converterParams();
    Kestrane::ResistParams resist = resist_->converterParams();
    resist.current = Utility::currentToAmperes(param.current);
    for (uint32_t ch = 0; ch < channels(); ++ch) {
        const double factor = Utility::gainToFactor(param.gain[ch]);
        signal.gain[ch] = factor;
        resist.gain[ch] = factor;
        signal.channelEnabled[ch] = param.signalUse[ch];
        resist.resistEnabled[ch] = param.resistUse[ch];
    }
    const OpCmdRes reply = linked_.link().exchangeCommand(amplifierFrame(generation_, param));
    if (reply.code == 0) {
        signal_->setConverterParams(signal);
        resist_->setConverterParams(resist);
        amplifier_ = param;
    }
    return formatKspDeviceError(reply.code);
}

OperationResult VondraProtocolBase::amplifierParam(VondraAmplifierParam& out) const {
    std::shared_lock lock(commandLock_);
    out = amplifier_;
    return OperationResult::done();
}

OperationResult VondraProtocolBase::onConnected() {
    std::unique_lock lock(commandLock_);
    linked_.relink();
    return OperationResult::done();
}

void VondraProtocolBase::onServicesRebound() {
    std::unique_lock lock(commandLock_);
    linked_.link().readStatus();
}

OperationResult VondraProtocolBase::onDisconnected() {
    linked_.markLinkLost();
    return OperationResult::done();
}

int32_t VondraProtocolBase::battPower() const { return linked_.link().battery(); }

uint8_t VondraProtocolBase::ampMode() const { return linked_.link().mode(); }

uint8_t VondraProtocolBase::samplingFrequency() const { return samplingFrequencyCode(layout_.samplingRate); }

uint8_t VondraProtocolBase::samplingFrequencyResist() const { return samplingFrequencyCode(ResistRate); }

void VondraProtocolBase::workerPass() {
    if (const auto status = linked_.link().pollNewest()) {
        statusPublisher_.publish(*status, *batteryBus_, *modeBus_);
    }
    const auto signal = signalReader_.poll(signal_->ring());
    if (!signal.empty() && passesSignal(statusPublisher_.mode())) publishSignal(signal);
    const auto resist = resistReader_.poll(resist_->ring());
    if (!resist.empty() && passesResist(statusPublisher_.mode())) publishResist(resist);
}

}  // namespace VexaDevice::Vondra
