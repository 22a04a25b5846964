#include "sdk/devices/morvex/MorvexBlackBleProtocol.hpp"

#include <optional>

#include "sdk/core/DeviceError.hpp"
#include "sdk/core/DeviceInfoReader.hpp"
#include "sdk/core/Log.hpp"
#include "sdk/core/RtException.hpp"
#include "sdk/devices/common/CreationFailure.hpp"
#include "sdk/devices/common/StatusIntake.hpp"
#include "sdk/devices/kestrane/KestraneGatt.hpp"

namespace VexaDevice::MorvexBlack {

namespace {

constexpr int StatusRingCapacity = 32;
// Both side streams have a fixed rate.
constexpr Kestrane::SideStreamRates FixedRates{.motion = 4, .fpg = 6, .none = NoCode};

const char* const ProtocolName = "Morvex Black BLE Protocol";

constexpr uint8_t modeByte(DevAmpStatus mode) { return Kestrane::toByte(mode); }

}  // namespace

std::shared_ptr<MorvexBleProtocol> MorvexBleProtocol::create(std::shared_ptr<BLE::IBLEDevice> device,
                                                             BLE::ServiceChannels deviceInformation,
                                                             const Devices::ProtocolTiming& timing) {
    return Devices::ProtocolStart::make<MorvexBleProtocol>(std::move(device), std::move(deviceInformation), timing);
}

MorvexBleProtocol::MorvexBleProtocol(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation,
                                     const Devices::ProtocolTiming& timing)
    : SideStreams(commandLock_, commandSender(), frameWriter(), FixedRates, motionParams(), fpgParams()),
      timing_(timing),
      device_(std::move(device)),
      deviceInformation_(std::move(deviceInformation)),
      statusRing_(std::make_shared<Utility::RBuffer<DevStatusPack>>(StatusRingCapacity)),
      linkLoss_(device_),
      exchange_([this](const std::vector<uint8_t>& frame) { return command_->write(frame); }, linkLoss_.flag(),
                OpCmdRes{0, Utility::kKspErrors.dataSend}, timing_),
      worker_(timing_.workerWait) {}

MorvexBleProtocol::~MorvexBleProtocol() { stop(); }

void MorvexBleProtocol::start() {
    try {
        if (deviceInformation_.empty()) throw Utility::rt_exception("DeviceInfo Service cannot be empty.");
        if (!device_) throw Utility::rt_exception("BLE device cannot be null.");
        readDeviceInformation(linkLoss_.isLost());
        setUpGatt();
        readStatus();
        fillCapabilities();

        const std::weak_ptr<MorvexBleProtocol> weak = weak_from_this();
        statusHandler_ = Devices::listenTo(*status_, weak, &MorvexBleProtocol::onStatusData);
        running_ = true;
        worker_.startFor(weak, &MorvexBleProtocol::workerPass);

        bringToRest();
    } catch (...) {
        stop();
        Devices::rethrowProtocolCreationFailure(std::current_exception(), ProtocolName);
    }
}

void MorvexBleProtocol::stop() {
    running_ = false;
    linkLoss_.markLost();
    Devices::stopStatusNotify(status_.get(), ProtocolName);
    worker_.stop();
}

void MorvexBleProtocol::readDeviceInformation(bool cancel) {
    DeviceVersion version;
    Utility::readDeviceInfo(deviceInformation_, version, &cancel);
    version_.set(version);
}

void MorvexBleProtocol::setUpGatt() {
    checkDeviceVersion(version_.get());
    const Kestrane::KestraneGattChannels found =
        Kestrane::findKestraneChannels(device_->getChannelMap(), GattSuffix, false);
    status_ = found.status;
    command_ = found.command;
    const std::weak_ptr<Utility::CvWait> wake = worker_.wakeup();
    signal_ = std::make_shared<Kestrane::BLESignalChannel>(found.signal, unitGainSignalParams(), wake, 0);
    motion().open(found.motion, wake, 0);
    fpg().open(found.fpg, wake, 0);
    // A stream the device does not have reads as having no codes.
    if (!motion().channel()) motion().setParams(Kestrane::PackParams{0, 0, 0, NoCode, NoCode});
    if (!fpg().channel()) fpg().setParams(Kestrane::PackParams{0, 0, 0, NoCode, NoCode});
}

void MorvexBleProtocol::fillCapabilities() {
    offer(Kestrane::Headband::capabilities(motion().channel() != nullptr, fpg().channel() != nullptr));
}

void MorvexBleProtocol::readStatusAgain() {
    Devices::readStatusValue(*status_, timing_.readAttempts, linkLoss_.flag(),
                             [this](const std::vector<uint8_t>& value) { onStatusData(value); });
}

void MorvexBleProtocol::readStatus() {
    readStatusAgain();
    trust_.confirmed();
}

void MorvexBleProtocol::onStatusData(const std::vector<uint8_t>& bytes) {
    const auto packs = Devices::keepStatusPacks(bytes, *statusRing_, serialNumber());
    if (!packs.empty()) {
        const DevStatusPack& last = packs.back();
        battery_ = last.battery();
        mode_ = last.mode();
        if (signal_) trust_.statusArrived(signal_->ring().totalWritten());
        exchange_.deliver(OpCmdRes{last.mode(), last.error()});
    }
    worker_.wake();
}

void MorvexBleProtocol::bringToRest() {
    if (isMeasuringMode(mode_)) powerDown();
    stopStreams();
}

OperationResult MorvexBleProtocol::modeCommand(DevAmpStatus target, const std::vector<uint8_t>& frame,
                                               const std::function<void()>& reached) {
    std::lock_guard lock(commandLock_);
    const uint8_t wanted = modeByte(target);
    // Skipped only when the device is known to be in the mode (a mode left unknown is read
    // first); a link that is down fails every command.
    if (linkLoss_.isDown()) return Utility::formatKspDeviceError(exchange_.failure().error);
    if (relearnState() && mode_ == wanted) return OperationResult::done();
    const auto inMode = [wanted](const OpCmdRes& reply) { return reply.mode == wanted; };
    // A status that neither shows the mode nor reports an error was not caused by this frame.
    const auto answers = [wanted](const OpCmdRes& reply) { return reply.mode == wanted || reply.error != 0; };
    const OpCmdRes reply = exchange_.sendUntil(frame, inMode, running_, OpCmdRes{}, answers);
    if (inMode(reply)) {
        trust_.confirmed();
        reached();
    } else {
        trust_.forget();
    }
    return Utility::formatKspDeviceError(reply.error);
}

void MorvexBleProtocol::streamNone() { signal_->stopNotifyIfStarted(); }

void MorvexBleProtocol::streamSignal(bool startNotification) {
    if (startNotification) signal_->startNotifyIfStopped();
}

void MorvexBleProtocol::streamResist() { signal_->startNotifyIfStopped(); }

OperationResult MorvexBleProtocol::powerDown() {
    return modeCommand(DevAmpStatus::PowerDown, powerDownFrame(), [this] { streamNone(); });
}

OperationResult MorvexBleProtocol::setIdle() {
    return modeCommand(DevAmpStatus::Idle, idleFrame(), [this] { streamNone(); });
}

OperationResult MorvexBleProtocol::startSignal(uint8_t startNotification) {
    return modeCommand(DevAmpStatus::Signal, startSignalFrame(gainIndex_),
                       [this, startNotification] { streamSignal(startNotification != 0); });
}

OperationResult MorvexBleProtocol::startResist() {
    return modeCommand(DevAmpStatus::Resist, startResistFrame(), [this] { streamResist(); });
}

// The device answers a stream command with no status: a frame written is a command taken.
Kestrane::SendFrame MorvexBleProtocol::commandSender() {
    return [this](const std::vector<uint8_t>& frame, const char* name) {
        for (int attempt = 0; attempt < timing_.commandAttempts && running_; ++attempt) {
            if (command_->write(frame)) return OperationResult::done();
        }
        return OperationResult::failed(Utility::kKspErrors.dataSend, std::string("Failed send ") + name);
    };
}

Kestrane::SideStreams::WriteOnce MorvexBleProtocol::frameWriter() {
    return [this](const std::vector<uint8_t>& frame) { return command_->write(frame); };
}

OperationResult MorvexBleProtocol::setGain(const uint8_t& index) {
    std::lock_guard lock(commandLock_);
    if (amplifierBusy(mode_))
        return OperationResult::failed(
            Utility::kKspErrors.unsupportedParamAccess,
            "The parameters of the amplifier are allowed to be set in modes PowerDown or Idle");
    if (index > MaxGainIndex)
        return OperationResult::failed(Utility::kKspErrors.wrongParamValue, "Failed setPGAGain. Wrong param value");
    gainIndex_ = index;
    return OperationResult::done();
}

bool MorvexBleProtocol::onConnected() {
    std::lock_guard lock(commandLock_);
    if (linkLoss_.relink()) {
        readDeviceInformation(false);
        readStatus();
    }
    return true;
}

// The mode stays trusted: packs the device sent since its last status keep their meaning. A read
// that fails leaves the mode unknown, for the worker to read before it gives a pack a meaning.
void MorvexBleProtocol::onServicesRebound() {
    std::lock_guard lock(commandLock_);
    trust_.readOrForget([this] { readStatusAgain(); });
}

bool MorvexBleProtocol::onDisconnected() {
    if (linkLoss_.reportLoss()) trust_.forget();
    return true;
}

// Under the command lock.
bool MorvexBleProtocol::relearnState() {
    return trust_.relearn(*status_, [this](const std::vector<uint8_t>& value) { onStatusData(value); });
}

// Under the command lock. Packs from before the mode now known are dropped.
void MorvexBleProtocol::signalStep(std::vector<Kestrane::_SignalData>& signal,
                                   std::vector<Kestrane::_ResistData>& resist) {
    const auto batch = signalReader_.poll(signal_->ring());
    const auto fresh = batch.subspan(trust_.stalePacks(signalReader_.position() - batch.size(), batch.size()));
    if (fresh.empty()) return;
    // The ring holds volts at gain factor 1, whatever the mode when a pack arrived: each pack
    // takes the amplification of the mode it was measured in, known only here.
    packReader_.take(fresh, workerMode_, gainIndex_.load(), signal, resist);
}

void MorvexBleProtocol::workerPass() {
    std::optional<DevStatusPack> status;
    bool modeChanged = false;
    std::vector<Kestrane::_SignalData> signal;
    std::vector<Kestrane::_ResistData> resist;
    {
        // While a command is under way, what the signal arriving meanwhile means is settled by
        // its outcome: leave it until the command has ended.
        std::unique_lock lock(commandLock_, std::try_to_lock);
        if (lock.owns_lock() && relearnState()) {
            status = statusReader_.poll(*statusRing_);
            if (status && status->mode() != workerMode_) {
                workerMode_ = status->mode();
                // A window begun in an earlier measurement must not mix with the new one.
                packReader_.reset();
                modeChanged = true;
            }
            signalStep(signal, resist);
        }
    }
    // Published without the command lock: a subscriber may issue commands itself.
    if (status) {
        batteryBus_->notify(status->battery());
        if (modeChanged) modeBus_->notify(static_cast<DevAmpStatus>(status->mode()));
    }
    if (!signal.empty()) signalBus_->notify(signal);
    if (!resist.empty()) resistBus_->notify(resist);
    publishStreams(*motionBus_, *fpgBus_);
}

}  // namespace VexaDevice::MorvexBlack
