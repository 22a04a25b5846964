#include "sdk/ble/DevScan.hpp"

#include <algorithm>
#include <mutex>
#include <stdexcept>

#include <fmt/format.h>

#include "sdk/core/Log.hpp"
#include "sdk/core/RtException.hpp"

namespace VexaDevice::BLE {

using Utility::sdkLog;

namespace {

constexpr size_t listBusCapacity = 2048;
constexpr int16_t inRangeThresholdDbm = -100;
constexpr int16_t outOfRangeThresholdDbm = -105;
constexpr int64_t nanosecondsPerSecond = 1'000'000'000;

bool traceEnabled() { return sdkLog().should_log(spdlog::level::trace); }

// Appends the items of `incoming` that `known` and the items already added lack, while the
// list stays within `limit`; returns whether anything was added.
template <class T>
bool appendNew(std::vector<T>& merged, const std::vector<T>& known, const std::vector<T>& incoming, size_t limit) {
    bool added = false;
    for (const T& item : incoming) {
        if (known.size() + merged.size() >= limit) break;
        if (std::find(known.begin(), known.end(), item) != known.end()) continue;
        if (std::find(merged.begin(), merged.end(), item) != merged.end()) continue;
        merged.push_back(item);
        added = true;
    }
    return added;
}

std::vector<std::vector<uint8_t>> sectionsOf(const Platform::Advertisement& advertisement) {
    std::vector<std::vector<uint8_t>> sections;
    sections.reserve(advertisement.dataSections.size());
    for (const auto& section : advertisement.dataSections) {
        std::vector<uint8_t> bytes;
        bytes.reserve(section.data.size() + 1);
        bytes.push_back(section.type);
        bytes.insert(bytes.end(), section.data.begin(), section.data.end());
        sections.push_back(std::move(bytes));
    }
    return sections;
}

// Company identifier to blocks; only the first entry of an identifier in one advertisement.
DeviceParamManufacturerData::Blocks manufacturerBlocksOf(const Platform::Advertisement& advertisement, size_t limit) {
    DeviceParamManufacturerData::Blocks blocks;
    for (const auto& entry : advertisement.manufacturerData) {
        if (blocks.size() >= limit) break;
        blocks.try_emplace(entry.companyId, std::vector<std::vector<uint8_t>>{entry.data});
    }
    return blocks;
}

void traceManufacturerData(const std::string& name, const DeviceParamManufacturerData::Blocks& blocks) {
    if (name.empty() || !traceEnabled()) return;
    for (const auto& [companyId, list] : blocks) {
        std::string bytes;
        for (uint8_t byte : list.front()) bytes += fmt::format("{:X} ", byte);
        sdkLog().trace("[{}] MF Data [{}]", name, bytes);
    }
}

std::vector<std::optional<NamePattern>> namePatternsOf(const std::vector<ScanFilter>& filters) {
    std::vector<std::optional<NamePattern>> patterns;
    patterns.reserve(filters.size());
    for (const ScanFilter& filter : filters) {
        patterns.push_back(filter.namePattern ? std::optional<NamePattern>(std::in_place, *filter.namePattern)
                                              : std::nullopt);
    }
    return patterns;
}

}  // namespace

std::shared_ptr<DevScan> DevScan::create(const ScanParams& params, DevScanTiming timing, MonotonicClock clock) {
    auto scan = std::make_shared<DevScan>(Private{}, params, timing, std::move(clock));
    scan->attachWatcher();
    try {
        scan->startWatcher(true);
    } catch (const std::exception& error) {
        sdkLog().warn("Failed start BLE scanner: {}", error.what());
    } catch (...) {
        sdkLog().warn("Failed start BLE scanner");
    }
    return scan;
}

DevScan::DevScan(Private, const ScanParams& params, DevScanTiming timing, MonotonicClock clock)
    : params_(params),
      namePatterns_(namePatternsOf(params.filters)),
      outOfRangeTimeoutSec_(params.outOfRangeTimeoutSec),
      timing_(timing),
      clock_(std::move(clock)),
      platform_(Platform::currentPlatform()),
      listBus_(std::make_shared<DeviceListBus>(listBusCapacity)) {}

void DevScan::attachWatcher() {
    // Handlers and timer reach the scanner through weak references: a callback that races
    // the scanner's end finds nothing, and one that outlives the last owner finishes first.
    std::weak_ptr<DevScan> weak = weak_from_this();
    timer_ = std::make_unique<PeriodicTimer>(
        [weak] {
            if (auto self = weak.lock()) self->ageDevices();
        },
        timing_.ageingPeriod);

    watcher_ = platform_->createWatcher();
    Platform::WatcherSettings settings;
    settings.mode = params_.passive != 0 ? Platform::ScanningMode::Passive : Platform::ScanningMode::Active;
    settings.inRangeThresholdDbm = inRangeThresholdDbm;
    settings.outOfRangeThresholdDbm = outOfRangeThresholdDbm;
    settings.outOfRangeTimeout = std::chrono::seconds(outOfRangeTimeoutSec_);
    settings.allowExtendedAdvertisements = true;
    watcher_->configure(settings);
    received_ = watcher_->onReceived([weak](const Platform::Advertisement& advertisement) {
        if (auto self = weak.lock()) self->onAdvertisement(advertisement);
    });
    stopped_ = watcher_->onStopped([weak] {
        if (auto self = weak.lock()) self->onStopped();
    });
}

DevScan::~DevScan() {
    scanning_ = false;
    hold_ = false;
    stopped_.reset();
    received_.reset();
    if (watcher_) {
        try {
            watcher_->stop();
        } catch (...) {
            // The scanner goes away whether or not the stack agrees.
        }
    }
    if (timer_) timer_->stop();
}

bool DevScan::isAdapterReady() const {
    auto adapter = platform_->defaultAdapter();
    if (!adapter || !adapter->isCentralRoleSupported()) return false;
    const auto radios = platform_->radios();
    if (std::find(radios.begin(), radios.end(), Platform::RadioKind::Bluetooth) == radios.end()) return false;
    return adapter->radioState() == Platform::RadioState::On;
}

void DevScan::startWatcher(bool hold) {
    if (!isAdapterReady()) {
        sdkLog().warn("Failed start BLE scanner. BLE adapter not found or disabled");
        throw Utility::rt_exception("BLE adapter not found or disabled");
    }
    try {
        {
            std::unique_lock lock(mutex_);
            found_.clear();
            seen_.clear();
        }
        if (!hold) scanning_ = true;
        hold_ = hold;
        watcher_->start();
    } catch (...) {
        scanning_ = false;
        hold_ = false;
        sdkLog().warn("Failed start BLE scanner");
        throw;
    }
}

std::vector<std::shared_ptr<DeviceInfo>> DevScan::getDevices() {
    std::shared_lock lock(mutex_);
    std::vector<std::shared_ptr<DeviceInfo>> devices;
    devices.reserve(found_.size());
    for (const auto& [id, info] : found_) devices.push_back(std::make_shared<DeviceInfo>(info));
    return devices;
}

std::shared_ptr<IBLEDevice> DevScan::createDevice(std::shared_ptr<IDeviceId> id) {
    return createDevice(std::move(id), {});
}

std::shared_ptr<IBLEDevice> DevScan::createDevice(std::shared_ptr<IDeviceId> id, PairingParam pairing) {
    if (!id) return nullptr;
    const auto* address = dynamic_cast<const DeviceId*>(id.get());
    const DeviceId deviceId = address ? *address : DeviceId(id->toString());
    auto device = BLEDevice::create(deviceId, pairing, timing_.device);
    if (hold_ && watcher_->status() == Platform::WatcherStatus::Started) {
        watcher_->stop();
        scanning_ = false;
        hold_ = false;
    }
    return device;
}

std::weak_ptr<DeviceListBus> DevScan::devicesFoundEvent() { return listBus_; }

bool DevScan::isScanning() {
    if (hold_) return false;
    return watcher_->status() == Platform::WatcherStatus::Started;
}

void DevScan::startScan() {
    if (isScanning()) return;
    if (watcher_->status() != Platform::WatcherStatus::Started) {
        startWatcher(false);
        return;
    }
    // Released from the hold: advertisements count from now on, and so does ageing.
    scanning_ = true;
    hold_ = false;
}

void DevScan::stopScan() {
    scanning_ = false;
    hold_ = false;
    watcher_->stop();
}

void DevScan::onStopped() {
    sdkLog().trace("BLE Scan stopped");
    // A stop reported after the watcher was started again belongs to the earlier run.
    if (watcher_->status() != Platform::WatcherStatus::Started) scanning_ = false;
}

void DevScan::onAdvertisement(const Platform::Advertisement& advertisement) {
    try {
        const DeviceId id = DeviceId::fromUInt64(advertisement.address);
        if (traceEnabled()) sdkLog().trace("[BLE_ADV][{}][{}]", advertisement.localName, id.toString());
        if (hold_) return;
        bool added = false;
        {
            std::unique_lock lock(mutex_);
            const DeviceInfo& record = updateSeen(advertisement, id);
            if (matchFilters(record)) added = found_.insert_or_assign(id, record).second;
        }
        if (added) publishDevices();
    } catch (...) {
        // One advertisement that cannot be handled is ignored.
    }
}

const DeviceInfo& DevScan::updateSeen(const Platform::Advertisement& advertisement, const DeviceId& id) {
    const int64_t now = clock_();
    const auto blocks = manufacturerBlocksOf(advertisement, maxListEntries);
    traceManufacturerData(advertisement.localName, blocks);

    auto existing = seen_.find(id);
    if (existing == seen_.end()) {
        std::vector<Utility::UUID> uuids;
        appendNew(uuids, {}, advertisement.serviceUuids, maxListEntries);
        std::vector<std::vector<uint8_t>> sections;
        appendNew(sections, {}, sectionsOf(advertisement), maxListEntries);
        DeviceParamMap params;
        params[servicesUuidsKey] = std::make_shared<DeviceParamServicesUUID>(std::move(uuids));
        params[dataSectionsKey] = std::make_shared<DeviceParamDataSections>(std::move(sections));
        params[manufacturerDataKey] = std::make_shared<DeviceParamManufacturerData>(blocks);
        const uint8_t flags = static_cast<uint8_t>(advertisement.flags.value_or(0));
        DeviceInfo& added = seen_
                                .emplace(id, DeviceInfo(std::make_shared<DeviceId>(id), advertisement.localName,
                                                        std::move(params), advertisement.rssi, now, flags))
                                .first->second;
        if (advertisement.flagsUnknown) added.setFlagsUnknown();
        return added;
    }

    // Parameter objects may be shared with copies handed out: never change them, replace them.
    DeviceInfo& record = existing->second;
    if (auto known = record.servicesUuids()) {
        std::vector<Utility::UUID> added;
        if (appendNew(added, known->uuids, advertisement.serviceUuids, maxListEntries)) {
            auto merged = known->uuids;
            merged.insert(merged.end(), added.begin(), added.end());
            record.setParam(servicesUuidsKey, std::make_shared<DeviceParamServicesUUID>(std::move(merged)));
        }
    }
    if (auto known = record.dataSections(); known && !advertisement.dataSections.empty()) {
        std::vector<std::vector<uint8_t>> added;
        if (appendNew(added, known->sections, sectionsOf(advertisement), maxListEntries)) {
            auto merged = known->sections;
            merged.insert(merged.end(), added.begin(), added.end());
            record.setParam(dataSectionsKey, std::make_shared<DeviceParamDataSections>(std::move(merged)));
        }
    }
    if (auto known = record.manufacturerData(); known && !blocks.empty()) {
        DeviceParamManufacturerData::Blocks merged;
        bool changed = false;
        for (const auto& [companyId, list] : blocks) {
            auto current = known->blocks.find(companyId);
            if (current == known->blocks.end()) {
                if (known->blocks.size() + merged.size() >= maxListEntries) continue;
                if (!changed) merged = known->blocks;
                merged[companyId] = list;
                changed = true;
                continue;
            }
            std::vector<std::vector<uint8_t>> added;
            if (appendNew(added, current->second, list, maxListEntries)) {
                if (!changed) merged = known->blocks;
                auto& target = merged[companyId];
                target.insert(target.end(), added.begin(), added.end());
                changed = true;
            }
        }
        if (changed)
            record.setParam(manufacturerDataKey, std::make_shared<DeviceParamManufacturerData>(std::move(merged)));
    }
    if (record.name().empty() && !advertisement.localName.empty()) record.setName(advertisement.localName);
    record.setRssi(advertisement.rssi);
    record.setLastSeenNs(now);
    return record;
}

bool DevScan::pairedWithSystem(const DeviceId& id) const {
    try {
        auto device = platform_->openPeripheral(id.toUInt64());
        if (!device) throw std::runtime_error("Device is not reachable. Device object pointer is null.");
        return device->pairingInfo().isPaired;
    } catch (const std::exception& error) {
        sdkLog().warn("Failed pairing determine: {}", error.what());
        return true;
    }
}

bool DevScan::matchFilters(const DeviceInfo& record) const {
    if (params_.requireManufacturerData) {
        auto data = record.manufacturerData();
        if (!data || data->blocks.empty()) return false;
    }
    if (params_.requireName && record.name().empty()) return false;
    if (params_.requireServiceUuids) {
        auto uuids = record.servicesUuids();
        if (!uuids || uuids->uuids.empty()) return false;
    }
    // Flags the stack keeps to itself say nothing against the device: it stays a candidate.
    if (params_.requirePaired && record.flagsKnown() && (record.flags() & DeviceInfo::generalDiscoverableFlag) == 0 &&
        !pairedWithSystem(record.deviceId())) {
        return false;
    }
    if (params_.filters.empty()) return true;

    // The model code, read once, when a filter needs it; null when the device advertises none.
    std::array<uint8_t, 2> modelCode{};
    std::optional<bool> hasModelCode;
    auto model = [&]() -> const std::array<uint8_t, 2>* {
        if (!hasModelCode) hasModelCode = record.modelCode(modelCode);
        return *hasModelCode ? &modelCode : nullptr;
    };
    for (size_t index = 0; index < params_.filters.size(); ++index) {
        const ScanFilter& filter = params_.filters[index];
        if (filter.address && !(*filter.address == record.deviceId())) continue;
        if (filter.serviceUuid) {
            auto uuids = record.servicesUuids();
            if (!uuids ||
                std::find(uuids->uuids.begin(), uuids->uuids.end(), *filter.serviceUuid) == uuids->uuids.end()) {
                continue;
            }
        }
        if (const auto& name = namePatterns_[index]) {
            const NamePattern::Match found = name->match(record.name());
            // A pattern that is no regular expression ends the tests: the advertisement is dropped.
            if (found == NamePattern::Match::Unusable) return false;
            if (found == NamePattern::Match::Missing) continue;
        }
        if (filter.modelType || filter.modelVariant) {
            const auto* code = model();
            if (!code) continue;
            if (filter.modelType && (*code)[0] != *filter.modelType) continue;
            if (filter.modelVariant && (*code)[1] != *filter.modelVariant) continue;
        }
        return true;
    }
    return false;
}

void DevScan::publishDevices() {
    try {
        listBus_->notify(getDevices());
    } catch (...) {
        // A failing subscriber does not stop the scanner.
    }
}

void DevScan::ageDevices() {
    if (!scanning_) return;
    const int64_t now = clock_();
    const int64_t timeout = outOfRangeTimeoutSec_ * nanosecondsPerSecond;
    auto expired = [&](const DeviceInfo& info) { return info.lastSeenNs() + timeout < now; };
    bool foundExpired = false;
    bool seenExpired = false;
    {
        std::shared_lock lock(mutex_);
        foundExpired =
            std::any_of(found_.begin(), found_.end(), [&](const auto& entry) { return expired(entry.second); });
        seenExpired = std::any_of(seen_.begin(), seen_.end(), [&](const auto& entry) { return expired(entry.second); });
    }
    if (!foundExpired && !seenExpired) return;
    {
        std::unique_lock lock(mutex_);
        std::erase_if(found_, [&](const auto& entry) { return expired(entry.second); });
        std::erase_if(seen_, [&](const auto& entry) { return expired(entry.second); });
    }
    if (foundExpired) publishDevices();
}

}  // namespace VexaDevice::BLE
