#include "sdk/api/families/dravik/DravikDeliveries.hpp"

namespace VexaDevice::Api {

namespace {

double referent(const Dravik::_DravikResistData& resist, size_t index) {
    return index < resist.Referents.size() ? resist.Referents[index] : 0.0;
}

}  // namespace

DravikResistBatch::DravikResistBatch(const std::vector<Dravik::_DravikResistData>& resist) {
    values_.reserve(resist.size());
    records_.reserve(resist.size());
    for (const auto& sample : resist) {
        DravikResistRecord record{};
        record.PackNum = static_cast<uint32_t>(sample.PackNum);
        record.Scalar1 = referent(sample, 0);
        record.Scalar2 = referent(sample, 1);
        record.Scalar3 = referent(sample, 2);
        record.ValueCount = static_cast<uint32_t>(sample.Values.size());
        record.Values = keepCopy(values_, sample.Values);
        records_.push_back(record);
    }
}

FileChunkBatch::FileChunkBatch(const std::vector<Dravik::_FileData>& chunks) {
    bytes_.reserve(chunks.size());
    records_.reserve(chunks.size());
    for (const auto& chunk : chunks) {
        bytes_.push_back(chunk.data);
        FileChunkRecord record{};
        record.Head1 = chunk.word;
        record.Head2 = chunk.offset;
        record.ByteCount = static_cast<uint32_t>(chunk.data.size());
        record.Bytes = bytes_.back().empty() ? nullptr : bytes_.back().data();
        records_.push_back(record);
    }
}

void DravikSignalResistDelivery::operator()(
    const std::pair<std::vector<Kestrane::_SignalData>, std::vector<Dravik::_DravikResistData>>& both) const {
    if (host.function == nullptr) {
        return;
    }
    SignalChannelsBatch signal(both.first);
    DravikResistBatch resist(both.second);
    auto& signalRecords = signal.records();
    auto& resistRecords = resist.records();
    host.function(host.sensor, signalRecords.empty() ? nullptr : signalRecords.data(),
                  static_cast<uint32_t>(signalRecords.size()), resistRecords.empty() ? nullptr : resistRecords.data(),
                  static_cast<uint32_t>(resistRecords.size()), host.userData);
}

void RawSignalDelivery::operator()(const std::vector<uint8_t>& bytes) const {
    if (host.function == nullptr) {
        return;
    }
    std::vector<uint8_t> copy(bytes);
    host.function(host.sensor, copy.empty() ? nullptr : copy.data(), static_cast<uint32_t>(copy.size()), host.userData);
}

}  // namespace VexaDevice::Api
