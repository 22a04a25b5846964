#include "sdk/devices/dravik/DravikBleProtocol.hpp"

#include <algorithm>

#include "sdk/core/DeviceInfoReader.hpp"
#include "sdk/core/Log.hpp"
#include "sdk/core/RtException.hpp"
#include "sdk/devices/common/CreationFailure.hpp"
#include "sdk/devices/dravik/DravikGatt.hpp"

namespace VexaDevice::Dravik {

using Utility::rt_exception;

namespace {

const char* const kProtocolName = "Dravik BLE Protocol";
const char* const kUnknownCreationFailure = "Failed create Cannot create Dravik BLE Protocol.";

DeviceVersion readVersion(const BLE::ServiceChannels& deviceInformation) {
    DeviceVersion version;
    const bool cancel = false;
    Utility::readDeviceInfo(deviceInformation, version, &cancel);
    return version;
}

void checkDeviceVersion(const DeviceVersion& version) {
    if (version.hardwareMajor == 0 || version.firmwareMajor == 0) {
        throw rt_exception("Device unsupported. Failed recognized the device version");
    }
    if (version.modelMajor != kModelCharacter) {
        throw rt_exception("Device unsupported. Failed recognized the device Family");
    }
}

}  // namespace

std::shared_ptr<DravikBleProtocol> DravikBleProtocol::create(std::shared_ptr<BLE::IBLEDevice> device,
                                                             BLE::ServiceChannels deviceInformation,
                                                             const DravikTiming& timing) {
    try {
        if (deviceInformation.empty()) {
            throw rt_exception("DeviceInfo Service cannot be empty.");
        }
        Found found;
        found.name = device->name();
        found.version = readVersion(deviceInformation);
        checkDeviceVersion(found.version);
        found.channels = DravikChannels::find(*device);
        std::shared_ptr<DravikBleProtocol> protocol(
            new DravikBleProtocol(std::move(device), std::move(deviceInformation), timing, std::move(found)));
        protocol->start();
        return protocol;
    } catch (...) {
        Devices::rethrowProtocolCreationFailure(std::current_exception(), kProtocolName, kUnknownCreationFailure);
    }
}

DravikBleProtocol::DravikBleProtocol(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation,
                                     const DravikTiming& timing, Found found)
    : timing_(timing),
      device_(std::move(device)),
      deviceInformation_(std::move(deviceInformation)),
      channels_(std::move(found.channels)),
      linkLoss_(device_),
      batteryBus_(std::make_shared<Devices::BatteryBus>(Capacity)),
      worker_(timing.workerWait),
      requests_(channels_.fsCommand, channels_.fsReply, linkLoss_, timing),
      files_({channels_.fsStatus, channels_.fsStream, requests_, commandLock_, linkLoss_}, std::move(found.name),
             timing),
      amplifier_({channels_.acsStatus, channels_.acsConfig, channels_.acsCommand, channels_.acsData, channels_.fsStatus,
                  commandLock_, linkLoss_},
                 timing),
      samples_(amplifier_.processing()),
      stimulators_(device_, {commandLock_, linkLoss_, worker_.wakeup()}, timing) {
    version_.set(found.version);
}

DravikBleProtocol::~DravikBleProtocol() {
    stop();
    Utility::sdkLog().trace("[DravikBleProtocol]:[deleted]");
}

void DravikBleProtocol::start() {
    try {
        amplifier_.readConfig();
        readBattery();
        subscribe(channels_.battery, batteryHandler_, &DravikBleProtocol::onBattery);
        subscribe(channels_.acsData, dataHandler_, &DravikBleProtocol::onData);
        subscribe(channels_.fsReply, replyHandler_, &DravikBleProtocol::onReply);
        subscribe(channels_.fsStatus, fsStatusHandler_, &DravikBleProtocol::onFsStatus);
        subscribe(channels_.fsStream, fsStreamHandler_, &DravikBleProtocol::onFsStream);
        channels_.battery->startNotify();
        amplifier_.readStatus();
        files_.start();
        stimulators_.follow();
        fillCapabilities();
        running_ = true;
        worker_.startFor(weak_from_this(), &DravikBleProtocol::workerPass);
    } catch (...) {
        stop();
        throw;
    }
}

void DravikBleProtocol::stop() {
    running_ = false;
    linkLoss_.markLost();
    // Unsubscribed first: a notification in flight finds no protocol behind its handler.
    batteryHandler_.reset();
    dataHandler_.reset();
    replyHandler_.reset();
    fsStatusHandler_.reset();
    fsStreamHandler_.reset();
    stimulators_.stop();
    worker_.stop();
    setNotify(channels_.battery, false);
    setNotify(channels_.acsData, false);
}

void DravikBleProtocol::fillCapabilities() {
    using Sensor::SensorParamAccess;
    commands_ = {0, 1, 2, 3, 25, 26, 21, 22, 31, 32, 33};
    constexpr auto read = static_cast<int32_t>(SensorParamAccess::Read);
    constexpr auto readWrite = static_cast<int32_t>(SensorParamAccess::ReadWrite);
    constexpr auto readNotify = static_cast<int32_t>(SensorParamAccess::ReadNotify);
    parameters_ = {{0, read},  {1, readNotify}, {2, read},  {3, read},        {5, read},  {6, read},
                   {27, read}, {30, readWrite}, {16, read}, {20, readNotify}, {21, read}, {22, read},
                   {31, read}, {33, readWrite}, {34, read}, {35, read}};
    features_ = {0, 4, 11, 9};
    if (stimulators_.hasOwnStimulator()) {
        commands_.insert({36, 37, 27, 28});
        parameters_.insert(
            {{45, readWrite}, {46, readNotify}, {14, readWrite}, {43, readWrite}, {44, readNotify}, {42, readNotify}});
        features_.insert(7);
    }
}

void DravikBleProtocol::subscribe(const Channel& channel, Handler& handler,
                                  void (DravikBleProtocol::*method)(const std::vector<uint8_t>&)) {
    const std::weak_ptr<DravikBleProtocol> weak = weak_from_this();
    handler = std::make_shared<BLE::DataBus::Callback>([weak, method](const std::vector<uint8_t>& bytes) {
        if (const auto protocol = weak.lock()) {
            ((*protocol).*method)(bytes);
        }
    });
    if (const auto bus = channel->dataEvent().lock()) {
        bus->subscribe(handler);
    }
}

void DravikBleProtocol::readBattery() {
    onBattery(readWithRetries(channels_.battery, "Can not read Battery power", linkLoss_, timing_.readAttempts));
}

void DravikBleProtocol::onBattery(const std::vector<uint8_t>& bytes) {
    if (!bytes.empty()) {
        battery_ = std::min<int>(bytes[0], 100);
    }
}

void DravikBleProtocol::onData(const std::vector<uint8_t>& bytes) {
    samples_.push(bytes, amplifier_.publishedMode());
    worker_.wake();
}

void DravikBleProtocol::onReply(const std::vector<uint8_t>& bytes) { requests_.deliver(bytes); }

void DravikBleProtocol::onFsStatus(const std::vector<uint8_t>& bytes) { files_.onStatus(bytes); }

void DravikBleProtocol::onFsStream(const std::vector<uint8_t>& bytes) {
    files_.onStream(bytes);
    worker_.wake();
}

OperationResult DravikBleProtocol::onConnected() {
    std::unique_lock lock(commandLock_);
    if (!running_ || !linkLoss_.relink()) {
        return OperationResult::done();
    }
    try {
        amplifier_.readConfig();
        version_.set(readVersion(deviceInformation_));
        amplifier_.readStatus();
        if (!stimulators_.resume()) {
            throw rt_exception("Failes start PTS Serivce");
        }
    } catch (const std::exception& error) {
        Utility::sdkLog().error("Failes start: {}", error.what());
        // Still not back: the next connection reads the device again.
        linkLoss_.markLost();
        stimulators_.suspend();
        throw;
    }
    return OperationResult::done();
}

void DravikBleProtocol::onServicesRebound() {
    std::unique_lock lock(commandLock_);
    if (!running_) {
        return;
    }
    readBattery();
    stimulators_.readStatus();
}

// A report that comes once the link is back again is over already.
void DravikBleProtocol::onDisconnected() {
    if (linkLoss_.reportLoss()) {
        stimulators_.suspend();
    }
}

void DravikBleProtocol::workerPass() {
    if (!running_) {
        return;
    }
    try {
        samples_.publish();
        files_.publishFileData();
        samples_.followMode(amplifier_.publishedMode());
        files_.publishStatus();
        publishBattery();
        stimulators_.publish();
    } catch (const rt_exception& error) {
        Utility::sdkLog().warn("Process channel pack error: [{}] code: [{}]", error.what(), error.code());
    } catch (const std::exception& error) {
        Utility::sdkLog().warn("Process channel pack error: {}", error.what());
    } catch (...) {
        Utility::sdkLog().warn("Process channel pack error.");
    }
}

void DravikBleProtocol::publishBattery() {
    if (const int battery = battery_; battery != lastBattery_) {
        lastBattery_ = battery;
        batteryBus_->notify(battery);
    }
}

}  // namespace VexaDevice::Dravik
