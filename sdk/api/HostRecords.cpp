#include "sdk/api/HostRecords.hpp"

#include <algorithm>
#include <cstring>

namespace VexaDevice::Api {

namespace {

using Sensor::EEGChannelType;

constexpr std::array<EEGChannelType, 4> kElectrodes{EEGChannelType::O1, EEGChannelType::O2, EEGChannelType::T3,
                                                    EEGChannelType::T4};

double valueAt(const std::vector<double>& values, const std::optional<size_t>& position) {
    return position && *position < values.size() ? values[*position] : 0.0;
}

}  // namespace

double* keepCopy(std::vector<std::vector<double>>& store, const std::vector<double>& values) {
    store.push_back(values);
    return store.back().empty() ? nullptr : store.back().data();
}

ChannelIndexMap channelIndexMap(const std::vector<Sensor::EEGChannelInfo>& channels) {
    ChannelIndexMap map;
    for (const auto& channel : channels) {
        map.emplace(static_cast<uint8_t>(channel.type), channel.id);
    }
    return map;
}

ElectrodePicker ElectrodePicker::mapped(const ChannelIndexMap& channels) {
    std::array<std::optional<size_t>, 4> positions{};
    for (size_t electrode = 0; electrode < kElectrodes.size(); ++electrode) {
        const auto found = channels.find(static_cast<uint8_t>(kElectrodes[electrode]));
        if (found != channels.end()) {
            positions[electrode] = found->second;
        }
    }
    return ElectrodePicker(positions);
}

ElectrodePicker ElectrodePicker::fixedOrder() { return ElectrodePicker({0, 3, 1, 2}); }

ElectrodePicker ElectrodePicker::inOrder() { return ElectrodePicker({0, 1, 2, 3}); }

std::array<double, 4> ElectrodePicker::pick(const std::vector<double>& values) const {
    return {valueAt(values, positions_[0]), valueAt(values, positions_[1]), valueAt(values, positions_[2]),
            valueAt(values, positions_[3])};
}

HostBatch<MorvexSignalRecord> morvexSignalRecords(const std::vector<Morvex::_SignalData>& packs) {
    size_t total = 0;
    for (const auto& pack : packs) {
        total += pack.Samples.size();
    }
    HostBatch<MorvexSignalRecord> records(total);
    size_t next = 0;
    for (const auto& pack : packs) {
        for (const auto& sample : pack.Samples) {
            MorvexSignalRecord& record = records[next++];
            record.PackNum = pack.PackNum;
            record.Marker = pack.Marker != 0 ? 1 : 0;
            record.O1 = sample.O1;
            record.O2 = sample.O2;
            record.T3 = sample.T3;
            record.T4 = sample.T4;
        }
    }
    return records;
}

MorvexResistRecord morvexResistRecord(const Morvex::_ResistData& resist) {
    return MorvexResistRecord{resist.O1, resist.O2, resist.T3, resist.T4};
}

HostBatch<MorvexSignalRecord> morvexSignalRecords(const std::vector<Kestrane::_SignalData>& signal,
                                                  const ElectrodePicker& picker) {
    HostBatch<MorvexSignalRecord> records(signal.size());
    for (size_t i = 0; i < signal.size(); ++i) {
        const auto values = picker.pick(signal[i].Samples);
        MorvexSignalRecord& record = records[i];
        record.PackNum = signal[i].PackNum;
        record.Marker = signal[i].Marker;
        record.O1 = values[0];
        record.O2 = values[1];
        record.T3 = values[2];
        record.T4 = values[3];
    }
    return records;
}

MorvexResistRecord morvexResistRecord(const Kestrane::_ResistData& resist, const ElectrodePicker& picker) {
    const auto values = picker.pick(resist.Samples);
    return MorvexResistRecord{values[0], values[1], values[2], values[3]};
}

FourChannelResistRecord fourChannelResistRecord(const Kestrane::_ResistData& resist, const ElectrodePicker& picker) {
    const auto values = picker.pick(resist.Samples);
    FourChannelResistRecord record{};
    record.PackNum = resist.PackNum;
    record.O1 = values[0];
    record.O2 = values[1];
    record.T3 = values[2];
    record.T4 = values[3];
    return record;
}

SignalChannelsBatch::SignalChannelsBatch(const std::vector<Kestrane::_SignalData>& signal) {
    values_.reserve(signal.size());
    records_.reserve(signal.size());
    for (const auto& sample : signal) {
        SignalChannelsRecord record{};
        record.PackNum = sample.PackNum;
        record.Marker = sample.Marker;
        record.SampleCount = static_cast<uint32_t>(sample.Samples.size());
        record.Samples = keepCopy(values_, sample.Samples);
        records_.push_back(record);
    }
}

ResistChannelsBatch::ResistChannelsBatch(const std::vector<Kestrane::_ResistData>& resist) {
    values_.reserve(resist.size());
    records_.reserve(resist.size());
    for (const auto& sample : resist) {
        ResistChannelsRecord record{};
        record.PackNum = sample.PackNum;
        record.ValueCount = static_cast<uint32_t>(sample.Samples.size());
        record.Values = keepCopy(values_, sample.Samples);
        records_.push_back(record);
    }
}

HostBatch<FPGRecord> fpgRecords(const std::vector<Kestrane::_FPGData>& samples) {
    HostBatch<FPGRecord> records(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
        records[i].PackNum = samples[i].PackNum;
        records[i].Value1 = samples[i].Value1;
        records[i].Value2 = samples[i].Value2;
    }
    return records;
}

HostBatch<MEMSRecord> memsRecords(const std::vector<Kestrane::_IMUData>& samples) {
    HostBatch<MEMSRecord> records(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
        const auto& sample = samples[i];
        MEMSRecord& record = records[i];
        record.PackNum = sample.PackNum;
        record.AccelerometerX = sample.Accelerometer[0];
        record.AccelerometerY = sample.Accelerometer[1];
        record.AccelerometerZ = sample.Accelerometer[2];
        record.GyroscopeX = sample.Gyroscope[0];
        record.GyroscopeY = sample.Gyroscope[1];
        record.GyroscopeZ = sample.Gyroscope[2];
    }
    return records;
}

SensorVersion sensorVersion(const DeviceVersion& version) {
    return SensorVersion{version.firmwareMajor,
                         version.firmwareMinor,
                         version.firmwarePatch,
                         version.hardwareMajor,
                         version.hardwareMinor,
                         version.hardwarePatch,
                         0};
}

EEGChannelInfo hostChannelInfo(const Sensor::EEGChannelInfo& channel) {
    EEGChannelInfo info{};
    info.ChannelType = static_cast<uint8_t>(channel.type);
    info.DataIndex = static_cast<uint8_t>(channel.dataIndex & 0xFF);
    const size_t length = std::min(channel.name.size(), sizeof(info.Name) - 1);
    std::memcpy(info.Name, channel.name.data(), length);
    info.Name[length] = '\0';
    info.ChannelId = channel.id;
    return info;
}

StimulProgram hostProgram(const PhotoStim::StimProgram& program) {
    return StimulProgram{program.frequency,      program.power, program.pulseWidth,
                         program.stimulDuration, program.pause, program.reserved};
}

PhotoStim::StimProgram deviceProgram(const StimulProgram& program) {
    return PhotoStim::StimProgram{program.Frequency,      program.Power, program.PulseDuration,
                                  program.StimulDuration, program.Pause, program.Reserved};
}

}  // namespace VexaDevice::Api
