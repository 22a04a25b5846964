#pragma once
// The records of the Dravik device: its file-system status and file entries, the amplifier
// settings and resistances, and the event buses its protocol publishes them on.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sdk/core/EventBus.hpp"
#include "sdk/devices/common/BatteryBus.hpp"
#include "sdk/devices/kestrane/KestraneRecords.hpp"
#include "sdk/devices/photostim/PhotoStimRecords.hpp"

namespace VexaDevice::Dravik {

inline constexpr size_t kChannels = 24;

// File-system states of the status cell.
enum FsState : uint8_t { FsReady = 0, FsDisabled = 1, FsWriteProtected = 3 };

struct _DravikFSStatus {
    uint8_t fsState = FsDisabled;
    uint8_t deviceByte = 0;
    uint8_t streamActive = 0;
    bool autosave = false;
    int32_t valueA = 0;
    int32_t valueB = 0;
    // The four status bytes alone.
    bool sameState(const _DravikFSStatus& other) const {
        return fsState == other.fsState && deviceByte == other.deviceByte && streamActive == other.streamActive &&
               autosave == other.autosave;
    }
    bool operator==(const _DravikFSStatus&) const = default;
};

struct _FileInfo {
    std::string name;
    uint32_t size = 0;
    uint16_t date = 0;  // FAT date
    uint16_t time = 0;  // FAT time
    uint8_t attribute = 0;
    bool operator==(const _FileInfo&) const = default;
};

struct _FileData {
    uint32_t word = 0;    // passed on as the device sends it
    uint32_t offset = 0;  // of the first data byte in the file
    std::vector<uint8_t> data;
    bool operator==(const _FileData&) const = default;
};

// The amplifier settings; the host's record has the same 52-byte layout.
struct DravikAmplifierParam {
    uint8_t referentsResist = 0;    // measure the referents' resistance too
    uint8_t samplingFrequency = 0;  // kRate250, kRate500, kRate1000 (kUnknownIndex from a read)
    uint8_t referentMode = 0;       // 1: one referent, anything else: two
    std::array<uint8_t, kChannels> channelMode{};
    std::array<uint8_t, kChannels> channelGain{};  // gain-table index: 0, 1, 3..7
    uint8_t configFlag = 0;
    bool operator==(const DravikAmplifierParam&) const = default;
};

// Resistances of one sample set: per channel (+infinity when not measured or out of range) and
// of the three referents.
struct _DravikResistData {
    int32_t PackNum = 0;
    std::vector<double> Values;
    std::vector<double> Referents;
};

// The event buses the protocol publishes on.
struct DravikBuses {
    static constexpr size_t Capacity = 2048;
    // Notifications kept for the worker that publishes them, in each of its rings.
    static constexpr int RingCapacity = 1024;
    using ModeBus = Utility::EventBus<uint8_t>;
    using SignalBus = Utility::EventBus<std::vector<Kestrane::_SignalData>>;
    using ResistBus = Utility::EventBus<std::vector<_DravikResistData>>;
    using SignalResistBus =
        Utility::EventBus<std::pair<std::vector<Kestrane::_SignalData>, std::vector<_DravikResistData>>>;
    using RawSignalBus = Utility::EventBus<std::vector<uint8_t>>;
    using FsStatusBus = Utility::EventBus<_DravikFSStatus>;
    using FileStreamBus = Utility::EventBus<std::vector<_FileData>>;
    using FileListBus = Utility::EventBus<std::vector<_FileInfo>>;
    using StimStateBus = PhotoStim::StimStatusBus;
    using StimSyncBus = PhotoStim::SyncStatusBus;
};

}  // namespace VexaDevice::Dravik
