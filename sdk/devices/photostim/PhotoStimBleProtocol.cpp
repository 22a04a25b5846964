#include "sdk/devices/photostim/PhotoStimBleProtocol.hpp"

#include <mutex>

#include "sdk/core/DeviceInfoReader.hpp"
#include "sdk/core/Log.hpp"
#include "sdk/core/RtException.hpp"
#include "sdk/devices/common/CreationFailure.hpp"
#include "sdk/devices/common/StreamCapabilities.hpp"
#include "sdk/devices/photostim/IPhotoStim.hpp"

namespace VexaDevice::PhotoStim {

namespace {

constexpr uint8_t FamilyModel = 'g';
// The one feature a photo-stimulator offers, and its parameters without printable names.
constexpr int32_t StimulatorFeature = 7;
constexpr int32_t Parameter42 = 42;
constexpr int32_t Parameter43 = 43;
constexpr int32_t Parameter44 = 44;

}  // namespace

std::shared_ptr<PhotoStimBleProtocol> PhotoStimBleProtocol::create(std::shared_ptr<BLE::IBLEDevice> device,
                                                                   BLE::ServiceChannels deviceInformation,
                                                                   const Devices::ProtocolTiming& timing) {
    return Devices::ProtocolStart::make<PhotoStimBleProtocol>(std::move(device), std::move(deviceInformation), timing);
}

PhotoStimBleProtocol::PhotoStimBleProtocol(std::shared_ptr<BLE::IBLEDevice> device,
                                           BLE::ServiceChannels deviceInformation,
                                           const Devices::ProtocolTiming& timing)
    : timing_(timing),
      device_(std::move(device)),
      deviceInformation_(std::move(deviceInformation)),
      linkLoss_(device_),
      worker_(timing.stimulator.workerWait) {}

void PhotoStimBleProtocol::start() {
    try {
        service_ = std::make_unique<PhotoStimBLEService>(device_, true, timing_.stimulator);
        if (deviceInformation_.empty()) throw Utility::rt_exception("DeviceInfo Service cannot be empty.");
        readVersion();
        const DeviceVersion version = version_.get();
        if (version.firmwareMajor == 0 || version.hardwareMajor == 0)
            throw Utility::rt_exception("Device unsupported. Failed recognized the device version");
        if (version.modelMajor != FamilyModel)
            throw Utility::rt_exception("Device unsupported. Failed recognized the device Family");
        battery_ = std::make_unique<Devices::BatteryLevelChannel>(device_->getChannelMap(), linkLoss_.flag(),
                                                                  timing_.readAttempts, worker_.wakeup());
        relay_ = std::make_unique<StimulatorRelay>(*service_, worker_.wakeup());
        worker_.startFor(weak_from_this(), &PhotoStimBleProtocol::workerPass);
    } catch (...) {
        shutDown();
        Devices::rethrowProtocolCreationFailure(std::current_exception(), "PhotoStim BLE Protocol",
                                                "Failed create Cannot create PhotoStim BLE Protocol.");
    }
}

PhotoStimBleProtocol::~PhotoStimBleProtocol() {
    shutDown();
    Utility::sdkLog().trace("[PhotoStimBleProtocol]:[deleted]");
}

void PhotoStimBleProtocol::shutDown() {
    linkLoss_.markLost();
    worker_.stop();
    battery_.reset();
    if (service_) service_->suspend();
}

void PhotoStimBleProtocol::readVersion() {
    DeviceVersion version;
    const bool cancel = linkLoss_.isLost();
    Utility::readDeviceInfo(deviceInformation_, version, &cancel);
    version_.set(version);
}

void PhotoStimBleProtocol::workerPass() {
    relay_->publishStates();
    batteryLevel_.offer(battery_->level());
    relay_->publishVoltage(*service_);
}

Sensor::FeatureSet PhotoStimBleProtocol::supportedFeatures() const { return {StimulatorFeature}; }

Sensor::CommandSet PhotoStimBleProtocol::supportedCommands() const {
    return {toInt(Sensor::SensorCommand::StartPhotoStimulation), toInt(Sensor::SensorCommand::StopPhotoStimulation),
            toInt(SynchroniseCommand), toInt(ResetCommand)};
}

Sensor::ParameterMap PhotoStimBleProtocol::supportedParameters() const {
    const int32_t read = toInt(Sensor::SensorParamAccess::Read);
    const int32_t readWrite = toInt(Sensor::SensorParamAccess::ReadWrite);
    const int32_t readNotify = toInt(Sensor::SensorParamAccess::ReadNotify);
    return Devices::withIdentityParameters({{toInt(Sensor::SensorParameter::StimulatorParamPack), readWrite},
                                            {toInt(Sensor::SensorParameter::FirmwareVersion), read},
                                            {toInt(Sensor::SensorParameter::BattPower), readNotify},
                                            {toInt(Sensor::SensorParameter::SensorFamily), read},
                                            {toInt(Sensor::SensorParameter::SensorMode), read},
                                            {Parameter42, readNotify},
                                            {Parameter43, readWrite},
                                            {Parameter44, readNotify}});
}

bool PhotoStimBleProtocol::onConnected() {
    std::unique_lock lock(commandLock_);
    std::lock_guard change(linkChange_);
    if (linkLoss_.relink()) {
        try {
            readVersion();
            // A level that changed while the link was down was notified to nobody.
            battery_->read();
            service_->resume();
        } catch (...) {
            // Still not back: the next connection reads the device again.
            linkLoss_.markLost();
            throw;
        }
    }
    return true;
}

void PhotoStimBleProtocol::onServicesRebound() {
    std::unique_lock lock(commandLock_);
    std::lock_guard change(linkChange_);
    battery_->read();
    service_->readStatus();
}

void PhotoStimBleProtocol::onDisconnected() {
    // A report that comes once the link is back again is over already; one that comes while the
    // device is read again after a reconnection waits for that read, so that it cannot suspend
    // the service after its resumption.
    std::lock_guard change(linkChange_);
    if (linkLoss_.reportLoss()) service_->suspend();
}

DevStimulStatus PhotoStimBleProtocol::stimState() const {
    DevStimulStatus state{};
    service_->stimState(state);
    return state;
}

DevStimulSyncStatus PhotoStimBleProtocol::syncState() const {
    DevStimulSyncStatus sync{};
    service_->syncState(sync);
    return sync;
}

uint32_t PhotoStimBleProtocol::stimulatorTime(bool reread) { return service_->stimulatorTime(reread); }

std::vector<StimProgram> PhotoStimBleProtocol::programs() const {
    std::shared_lock lock(commandLock_);
    return service_->programs();
}

template <class Command>
OperationResult PhotoStimBleProtocol::command(Command run) {
    std::unique_lock lock(commandLock_);
    return linkLoss_.isDown() ? Devices::linkDownFailure() : run(*service_);
}

OperationResult PhotoStimBleProtocol::writeStimPrograms(const std::vector<StimProgram>& programs) {
    return command([&programs](PhotoStimBLEService& service) { return service.writeStimProgramList(programs); });
}

OperationResult PhotoStimBleProtocol::reset() {
    return command([](PhotoStimBLEService& service) { return service.reset(); });
}

OperationResult PhotoStimBleProtocol::prepareSync() {
    return command([](PhotoStimBLEService& service) { return service.prepareSync(); });
}

OperationResult PhotoStimBleProtocol::sync() {
    return command([](PhotoStimBLEService& service) { return service.sync(); });
}

OperationResult PhotoStimBleProtocol::startProgram(uint32_t tick) {
    return command([tick](PhotoStimBLEService& service) { return service.startProgram(tick, true); });
}

OperationResult PhotoStimBleProtocol::startProgramAfter(uint32_t deferTicks) {
    return command([deferTicks](PhotoStimBLEService& service) {
        return service.startProgram(service.stimulatorTime(true) + deferTicks, true);
    });
}

OperationResult PhotoStimBleProtocol::stopProgram() {
    return command([](PhotoStimBLEService& service) { return service.stopProgram(); });
}

}  // namespace VexaDevice::PhotoStim
