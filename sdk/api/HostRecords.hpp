#pragma once
// The flat records that host functions receive, built from the library's sample records.

#include <array>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "sdk/api/include/ambrelkit2.h"
#include "sdk/core/DeviceVersion.hpp"
#include "sdk/core/InlineBatch.hpp"
#include "sdk/core/EEGChannel.hpp"
#include "sdk/devices/kestrane/KestraneRecords.hpp"
#include "sdk/devices/morvex/MorvexRecords.hpp"
#include "sdk/devices/photostim/PhotoStimWire.hpp"

namespace VexaDevice::Api {

// Electrode position -> index of its value in a sample vector.
using ChannelIndexMap = std::unordered_map<uint8_t, uint8_t>;

// For each channel, its type -> its position in a sample (the channel's identifier); the first
// entry of a type wins.
ChannelIndexMap channelIndexMap(const std::vector<Sensor::EEGChannelInfo>& channels);

// Where the O1, O2, T3 and T4 values sit in a four-electrode sample vector. An electrode
// without a position, or whose position lies past the vector, reads as 0.0.
class ElectrodePicker {
public:
    // Positions of electrode types O1, O2, T3, T4 (1, 16, 7, 10) in the channel map.
    static ElectrodePicker mapped(const ChannelIndexMap& channels);
    // The device order O1, T3, T4, O2: O1 = [0], O2 = [3], T3 = [1], T4 = [2].
    static ElectrodePicker fixedOrder();
    // O1 to T4 = [0] to [3].
    static ElectrodePicker inOrder();

    // O1, O2, T3, T4.
    std::array<double, 4> pick(const std::vector<double>& values) const;

private:
    explicit ElectrodePicker(std::array<std::optional<size_t>, 4> positions) : positions_(positions) {}
    std::array<std::optional<size_t>, 4> positions_;
};

// The records of one host call, in place for a batch of up to 64 two-sample packs (what one
// worker pass publishes) and on the heap only past that.
template <typename Record>
using HostBatch = Utility::InlineBatch<Record, 128>;

// One record per sample of every pack, each with its pack's number and marker (0 or 1).
HostBatch<MorvexSignalRecord> morvexSignalRecords(const std::vector<Morvex::_SignalData>& packs);
MorvexResistRecord morvexResistRecord(const Morvex::_ResistData& resist);

HostBatch<MorvexSignalRecord> morvexSignalRecords(const std::vector<Kestrane::_SignalData>& signal,
                                                  const ElectrodePicker& picker);
MorvexResistRecord morvexResistRecord(const Kestrane::_ResistData& resist, const ElectrodePicker& picker);
FourChannelResistRecord fourChannelResistRecord(const Kestrane::_ResistData& resist, const ElectrodePicker& picker);

// Appends a copy of `values` to `store`; its data, or null when empty.
double* keepCopy(std::vector<std::vector<double>>& store, const std::vector<double>& values);

// Records whose values live in arrays of their own: the arrays are owned by the batch and
// live as long as it does.
class SignalChannelsBatch {
public:
    explicit SignalChannelsBatch(const std::vector<Kestrane::_SignalData>& signal);
    std::vector<SignalChannelsRecord>& records() { return records_; }

private:
    std::vector<std::vector<double>> values_;
    std::vector<SignalChannelsRecord> records_;
};

class ResistChannelsBatch {
public:
    explicit ResistChannelsBatch(const std::vector<Kestrane::_ResistData>& resist);
    std::vector<ResistChannelsRecord>& records() { return records_; }

private:
    std::vector<std::vector<double>> values_;
    std::vector<ResistChannelsRecord> records_;
};

HostBatch<FPGRecord> fpgRecords(const std::vector<Kestrane::_FPGData>& samples);
HostBatch<MEMSRecord> memsRecords(const std::vector<Kestrane::_IMUData>& samples);

// The six revision numbers of the Device Information service; Extra is 0.
SensorVersion sensorVersion(const DeviceVersion& version);

// The host's channel record: name cut to 7 characters, data index as its low byte.
EEGChannelInfo hostChannelInfo(const Sensor::EEGChannelInfo& channel);

// A stimulation program in the host's record and in the device's, field by field.
StimulProgram hostProgram(const PhotoStim::StimProgram& program);
PhotoStim::StimProgram deviceProgram(const StimulProgram& program);

}  // namespace VexaDevice::Api
