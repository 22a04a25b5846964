#include "sdk/devices/morvex/MorvexBleProtocol.hpp"

#include <cmath>
#include <optional>
#include <stdexcept>

#include "sdk/core/ConversionTables.hpp"
#include "sdk/core/DeviceInfoReader.hpp"
#include "sdk/core/Log.hpp"
#include "sdk/core/RtException.hpp"
#include "sdk/devices/common/CreationFailure.hpp"
#include "sdk/devices/common/PackSplitter.hpp"
#include "sdk/devices/common/StatusIntake.hpp"
#include "sdk/devices/common/StreamCapabilities.hpp"

namespace VexaDevice::Morvex {

namespace ChannelMode = BLE::ChannelMode;

namespace {

constexpr size_t BusCapacity = 2048;
constexpr int StatusRingCapacity = 32;
constexpr int DataRingCapacity = 768;
constexpr uint8_t FirmwareMode0State = static_cast<uint8_t>(MorvexStatus::FirmwareMode0);

const char* const ProtocolName = "Morvex BLE Protocol";

// Decimal number at the start of a text, as the device writes its revisions.
int32_t leadingNumber(const std::string& text) {
    try {
        return std::stoi(text);
    } catch (const std::invalid_argument&) {
        throw std::invalid_argument("invalid stoi argument");
    } catch (const std::out_of_range&) {
        throw std::out_of_range("stoi argument out of range");
    }
}

// The result of a command that asked the device for `state`. A device that answered
// without error but is not in that state did not do what was asked.
OperationResult stateCommandResult(const OpCmdRes& reply, uint8_t state) {
    if (reply.error == ErrorCode::NoError && reply.command != state)
        return formatMorvexDeviceError(OpCmdRes{reply.command, ErrorCode::Mode});
    return formatMorvexDeviceError(reply);
}

double kiloOhms(double ohms) { return std::isfinite(ohms) ? ohms / 1000.0 : ohms; }

}  // namespace

std::shared_ptr<MorvexBleProtocol> MorvexBleProtocol::create(std::shared_ptr<BLE::IBLEDevice> device,
                                                             BLE::ServiceChannels deviceInformation,
                                                             std::shared_ptr<BLE::IBLEChannel> status,
                                                             std::shared_ptr<BLE::IBLEChannel> command,
                                                             std::shared_ptr<BLE::IBLEChannel> data,
                                                             const Devices::ProtocolTiming& timing) {
    return Devices::ProtocolStart::make<MorvexBleProtocol>(std::move(device), std::move(deviceInformation),
                                                           std::move(status), std::move(command), std::move(data),
                                                           timing);
}

MorvexBleProtocol::MorvexBleProtocol(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation,
                                     std::shared_ptr<BLE::IBLEChannel> status,
                                     std::shared_ptr<BLE::IBLEChannel> command, std::shared_ptr<BLE::IBLEChannel> data,
                                     const Devices::ProtocolTiming& timing)
    : timing_(timing),
      deviceInformation_(std::move(deviceInformation)),
      statusChannel_(std::move(status)),
      commandChannel_(std::move(command)),
      dataChannel_(std::move(data)),
      linkLoss_(std::move(device)),
      batteryBus_(std::make_shared<Devices::BatteryBus>(BusCapacity)),
      stateBus_(std::make_shared<StateBus>(BusCapacity)),
      signalBus_(std::make_shared<SignalBus>(BusCapacity)),
      resistBus_(std::make_shared<ResistBus>(BusCapacity)),
      statusRing_(std::make_shared<Utility::RBuffer<DevStatusPack>>(StatusRingCapacity)),
      dataRing_(std::make_shared<Utility::RBuffer<MorvexPack>>(DataRingCapacity)),
      exchange_([this](const std::vector<uint8_t>& frame) { return commandChannel_->write(frame); }, linkLoss_.flag(),
                OpCmdRes{0, Utility::kSpacedErrors.dataSend}, timing_),
      worker_(timing_.workerWait) {
    try {
        checkChannels();
        morvexReadDeviceInfo();
        morvexReadStatus();
    } catch (...) {
        running_ = false;
        Devices::rethrowProtocolCreationFailure(std::current_exception(), ProtocolName);
    }
}

MorvexBleProtocol::~MorvexBleProtocol() { stop(); }

void MorvexBleProtocol::checkChannels() const {
    if (deviceInformation_.empty()) throw Utility::rt_exception("DeviceInfo Service cannot be empty.");
    if (!statusChannel_) throw Utility::rt_exception("Status Channel cannot be null.");
    if (!commandChannel_) throw Utility::rt_exception("Command Channel cannot be null.");
    if (!dataChannel_) throw Utility::rt_exception("Data Channel cannot be null.");
    const auto status = statusChannel_->rawChannelInfo();
    if (!status->supports(ChannelMode::Notify) || !status->supports(ChannelMode::Read))
        throw Utility::rt_exception("Status characteristic must have both read and notify properties");
    if (!dataChannel_->rawChannelInfo()->supports(ChannelMode::Notify))
        throw Utility::rt_exception("Data characteristic must have notify properties");
}

void MorvexBleProtocol::start() {
    try {
        const std::weak_ptr<MorvexBleProtocol> weak = weak_from_this();
        statusHandler_ = Devices::listenTo(*statusChannel_, weak, &MorvexBleProtocol::morvexOnStatusNotify);
        dataHandler_ = Devices::listenTo(*dataChannel_, weak, &MorvexBleProtocol::morvexOnDataNotify);
        running_ = true;
        worker_.startFor(weak, &MorvexBleProtocol::morvexWorkerPass);

        const uint8_t state = deviceState_;
        if (state == SignalState || state == ResistState) {
            std::lock_guard lock(commandLock_);
            morvexSetIdle();
        }
    } catch (...) {
        stop();
        Devices::rethrowProtocolCreationFailure(std::current_exception(), ProtocolName);
    }
}

void MorvexBleProtocol::stop() {
    running_ = false;
    linkLoss_.markLost();
    stopNotifications();
    worker_.stop();
}

void MorvexBleProtocol::stopNotifications() {
    for (const auto& channel : {statusChannel_, dataChannel_}) {
        if (!channel) continue;
        try {
            channel->stopNotify();
        } catch (const std::exception& e) {
            Utility::sdkLog().warn("Morvex: stopping a notification failed: {}", e.what());
        }
    }
}

void MorvexBleProtocol::morvexReadDeviceInfo() {
    const Utility::CharacteristicRead read = [this](const Utility::UUID& uuid) -> std::optional<std::vector<uint8_t>> {
        const auto found = deviceInformation_.find(uuid);
        std::vector<uint8_t> value;
        if (found == deviceInformation_.end() || !found->second || !found->second->read(value)) return std::nullopt;
        return value;
    };
    auto readText = [&](const Utility::UUID& uuid, const char* failure) {
        std::string text;
        for (int attempt = 0; attempt < timing_.readAttempts && !linkLoss_.isLost(); ++attempt)
            if (Utility::readString(read, uuid, text)) return text;
        throw Utility::rt_exception(failure);
    };
    std::string serial = readText(Utility::kSerialNumberCharacteristic, "Can not read Serial number");
    const int32_t model = leadingNumber(readText(Utility::kModelNumberCharacteristic, "Can not read Model number"));
    const int32_t hardware =
        leadingNumber(readText(Utility::kHardwareRevisionCharacteristic, "Can not read Hardware Revision"));
    const int32_t firmware =
        leadingNumber(readText(Utility::kFirmwareRevisionCharacteristic, "Can not read Firmware Revision"));

    std::lock_guard lock(identityMutex_);
    serialNumber_ = std::move(serial);
    version_ = MorvexVersion{firmware, hardware, model};
}

void MorvexBleProtocol::morvexReadStatusAgain() {
    Devices::readStatusValue(*statusChannel_, timing_.readAttempts, linkLoss_.flag(),
                             [this](const std::vector<uint8_t>& value) { morvexOnStatusNotify(value); });
}

void MorvexBleProtocol::morvexReadStatus() {
    morvexReadStatusAgain();
    trust_.confirmed();
}

void MorvexBleProtocol::morvexOnStatusNotify(const std::vector<uint8_t>& bytes) {
    const auto split = Devices::splitPacks<DevStatusPack>(bytes);
    statusRing_->write(split.packs.data(), split.packs.size());
    if (split.remainder) Utility::sdkLog().warn("Error data length status. Device: [{}]", serialNumber());
    if (split.packs.size() > 1)
        Utility::sdkLog().trace("Recived more then one pack status: [{}] [SN]:[{}]", split.packs.size(),
                                serialNumber());
    if (!split.packs.empty()) {
        const DevStatusPack& last = split.packs.back();
        battery_ = last.battery();
        deviceState_ = last.state();
        trust_.statusArrived(dataRing_->totalWritten());
        exchange_.deliver(OpCmdRes{last.state(), last.errorCode()});
    }
    worker_.wake();
}

void MorvexBleProtocol::morvexOnDataNotify(const std::vector<uint8_t>& bytes) {
    const auto split = Devices::splitPacks<MorvexPack>(bytes);
    dataRing_->write(split.packs.data(), split.packs.size());
    if (split.remainder) Utility::sdkLog().warn("Error data length. Device: [{}]", serialNumber());
    if (split.packs.size() > 1)
        Utility::sdkLog().trace("Recived more then one pack: [{}] [SN]:[{}]", split.packs.size(), serialNumber());
    worker_.wake();
}

// The exchange takes the next status for the reply, even one the device sent before the frame
// that is late to arrive (the answer to an earlier frame whose wait ran out): a reply that
// reports the state asked for holds only once a status read agrees. The read only checks: the
// data takes its meaning from the reply, which arrives in order with the packs.
OpCmdRes MorvexBleProtocol::sendUntilState(const std::vector<uint8_t>& frame, uint8_t state) {
    std::optional<OpCmdRes> read;
    const OpCmdRes reply = exchange_.sendUntil(
        frame,
        [this, state, &read](const OpCmdRes& reply) {
            read.reset();
            if (reply.command != state) return false;
            std::vector<uint8_t> value;
            read = readCurrentStatus(value);
            return read && read->command == state;
        },
        running_);
    if (reply.command != state) {
        trust_.forget();
        return reply;
    }
    if (read && read->command == state) {
        trust_.confirmed();
        return reply;
    }
    trust_.forget();
    return read ? *read : exchange_.failure();
}

// Reads the status characteristic into `value`: the state and error of its last pack, empty
// when the read fails or holds no whole pack. Decided on the value read, not on the state
// stored, which a status notification may change meanwhile.
std::optional<OpCmdRes> MorvexBleProtocol::readCurrentStatus(std::vector<uint8_t>& value) {
    if (!statusChannel_->read(value)) return std::nullopt;
    const auto split = Devices::splitPacks<DevStatusPack>(value);
    if (split.packs.empty()) return std::nullopt;
    return OpCmdRes{split.packs.back().state(), split.packs.back().errorCode()};
}

// Under the command lock. A command is skipped only when the device is known to be where it
// leads already: a mode left unknown is read first, and the status is read once more before a
// skip, so that no skip stands on a stale state or a link that went down unreported. A link
// known to be down fails every command.
std::optional<OperationResult> MorvexBleProtocol::settledCommand(bool (*there)(uint8_t state)) {
    if (linkLoss_.isLost()) return formatMorvexDeviceError(exchange_.failure());
    if (!relearnState() || !there(deviceState_)) return std::nullopt;
    std::vector<uint8_t> value;
    const std::optional<OpCmdRes> status = readCurrentStatus(value);
    if (!value.empty()) morvexOnStatusNotify(value);
    if (status && there(status->command)) return OperationResult::done();
    return std::nullopt;
}

// Under the command lock.
bool MorvexBleProtocol::relearnState() {
    return trust_.relearn(*statusChannel_, [this](const std::vector<uint8_t>& value) { morvexOnStatusNotify(value); });
}

OpCmdRes MorvexBleProtocol::morvexSetIdle() { return sendUntilState(idleFrame(), IdleState); }

OpCmdRes MorvexBleProtocol::morvexSelectElectrode(uint8_t electrode, Polarity polarity) {
    if (electrode >= ElectrodeCount) return OpCmdRes{0, Utility::kSpacedErrors.wrongParamValue};
    const auto chosen = static_cast<Electrode>(electrode);
    const OpCmdRes reply = sendUntilState(selectElectrodeFrame(chosen, polarity), ResistState);
    selectionKnown_ = reply.command == ResistState && reply.error == ErrorCode::NoError;
    if (selectionKnown_) selection_ = ElectrodeSelection{chosen, polarity};
    return reply;
}

OperationResult MorvexBleProtocol::morvexStartSignal() {
    std::lock_guard lock(commandLock_);
    if (const auto settled = settledCommand([](uint8_t state) { return state == SignalState; })) return *settled;
    return stateCommandResult(sendUntilState(startSignalFrame(gainIndex_), SignalState), SignalState);
}

OperationResult MorvexBleProtocol::morvexStopSignal() {
    std::lock_guard lock(commandLock_);
    if (const auto settled = settledCommand([](uint8_t state) { return state != SignalState; })) return *settled;
    return stateCommandResult(morvexSetIdle(), IdleState);
}

OperationResult MorvexBleProtocol::morvexStartResist() {
    std::lock_guard lock(commandLock_);
    if (const auto settled = settledCommand([](uint8_t state) { return state == ResistState; })) return *settled;
    const OpCmdRes reply = morvexSelectElectrode(static_cast<uint8_t>(Electrode::O1), Polarity::Positive);
    if (reply.command == ResistState && reply.error == ErrorCode::NoError) ++resistSession_;
    return stateCommandResult(reply, ResistState);
}

OperationResult MorvexBleProtocol::morvexStopResist() {
    std::lock_guard lock(commandLock_);
    if (const auto settled = settledCommand([](uint8_t state) { return state != ResistState; })) return *settled;
    return stateCommandResult(morvexSetIdle(), IdleState);
}

OperationResult MorvexBleProtocol::morvexSetGain(uint8_t gainIndex) {
    std::lock_guard lock(commandLock_);
    const uint8_t state = deviceState_;
    if (state == SignalState || state == ResistState)
        return OperationResult::failed(Utility::kSpacedErrors.dataSend,
                                       "The parameters of the amplifier are allowed to be set in mode PowerDown");
    if (gainIndex > 6)
        return OperationResult::failed(Utility::kSpacedErrors.wrongParamValue, "Failed setPGAGain. Wrong param value");
    gainIndex_ = gainIndex;
    return OperationResult::done();
}

uint8_t MorvexBleProtocol::firmwareMode() const { return deviceState_ == FirmwareMode0State ? 0 : 1; }

std::string MorvexBleProtocol::serialNumber() const {
    std::lock_guard lock(identityMutex_);
    return serialNumber_;
}

MorvexVersion MorvexBleProtocol::version() const {
    std::lock_guard lock(identityMutex_);
    return version_;
}

Sensor::CommandSet MorvexBleProtocol::supportedCommands() const {
    return {toInt(Sensor::SensorCommand::StartSignal), toInt(Sensor::SensorCommand::StopSignal),
            toInt(Sensor::SensorCommand::StartResist), toInt(Sensor::SensorCommand::StopResist)};
}

Sensor::FeatureSet MorvexBleProtocol::supportedFeatures() const { return {0, 4}; }

Sensor::ParameterMap MorvexBleProtocol::supportedParameters() const {
    const int32_t read = toInt(Sensor::SensorParamAccess::Read);
    return Devices::withIdentityParameters(
        {{toInt(Sensor::SensorParameter::SamplingFrequency), read},
         {toInt(Sensor::SensorParameter::Gain), toInt(Sensor::SensorParamAccess::ReadWrite)},
         {toInt(Sensor::SensorParameter::Offset), read},
         {toInt(Sensor::SensorParameter::FirmwareVersion), read},
         {toInt(Sensor::SensorParameter::BattPower), toInt(Sensor::SensorParamAccess::ReadNotify)}});
}

bool MorvexBleProtocol::morvexOnConnected() {
    std::lock_guard lock(commandLock_);
    if (linkLoss_.relink()) {
        morvexReadDeviceInfo();
        morvexReadStatus();
    }
    return true;
}

// The mode stays trusted: packs the device sent since its last status keep their meaning. A read
// that fails leaves the mode unknown, for the worker to read before it gives a pack a meaning.
void MorvexBleProtocol::morvexOnServicesRebound() {
    std::lock_guard lock(commandLock_);
    trust_.readOrForget([this] { morvexReadStatusAgain(); });
}

bool MorvexBleProtocol::morvexOnDisconnected() {
    if (linkLoss_.reportLoss()) trust_.forget();
    return true;
}

void MorvexBleProtocol::morvexWorkerPass() {
    std::optional<DevStatusPack> status;
    bool stateChanged = false;
    bool signal = false;
    std::optional<_ResistData> completed;
    {
        // While a command is under way, what the data arriving meanwhile means is settled by
        // its outcome: leave the data until it has ended.
        std::unique_lock lock(commandLock_, std::try_to_lock);
        if (!lock.owns_lock() || !relearnState()) return;
        status = statusReader_.poll(*statusRing_);
        if (status && status->state() != workerState_) {
            workerState_ = status->state();
            stateChanged = true;
        }
        const auto packs = dataReader_.poll(*dataRing_);
        const auto current = packs.subspan(trust_.stalePacks(dataReader_.position() - packs.size(), packs.size()));
        if (running_ && !current.empty()) {
            if (workerState_ == SignalState) {
                decodePacksInto(current, Utility::gainToFactor(gainIndex_), signalBatch_);
                signal = true;
            } else if (workerState_ == ResistState) {
                completed = resistStep(current);
            }
        }
    }
    // Published without the command lock: a subscriber may issue commands itself.
    if (status) {
        batteryBus_->notify(status->battery());
        if (stateChanged) stateBus_->notify(static_cast<MorvexStatus>(status->state()));
    }
    if (!running_) return;
    if (signal) signalBus_->notify(signalBatch_);
    if (completed) {
        Utility::sdkLog().trace("Resist: [O1]:[{} kOhm] [O2]:[{} kOhm] [T3]:[{} kOhm] [T4]:[{} kOhm]",
                                kiloOhms(completed->O1), kiloOhms(completed->O2), kiloOhms(completed->T3),
                                kiloOhms(completed->T4));
        resistBus_->notify(*completed);
    }
}

// Under the command lock. Packs measured before the device acknowledged the current electrode
// and polarity never reach here.
std::optional<_ResistData> MorvexBleProtocol::resistStep(std::span<const MorvexPack> packs) {
    if (deviceState_ != ResistState) {
        meter_.dropValues();
        return std::nullopt;
    }
    if (meterSession_ != resistSession_) {
        meter_.restart();
        meterSession_ = resistSession_;
    }
    // After a switch left unacknowledged the device measures either selection: the values
    // gathered for this electrode may hold packs of both polarities, and the packs now arriving
    // belong to neither for sure. The electrode starts over from a selection the device confirms.
    if (!selectionKnown_) {
        meter_.dropValues();
        morvexSelectElectrode(static_cast<uint8_t>(selection_.electrode), selection_.polarity);
        return std::nullopt;
    }
    const auto step = meter_.feed(decodePacks(packs, ResistGainFactor), selection_);
    if (step.next) {
        if (step.idleFirst) morvexSetIdle();
        morvexSelectElectrode(static_cast<uint8_t>(step.next->electrode), step.next->polarity);
    }
    return step.completed;
}

}  // namespace VexaDevice::Morvex
