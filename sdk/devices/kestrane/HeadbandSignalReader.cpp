#include "sdk/devices/kestrane/HeadbandSignalReader.hpp"

#include <algorithm>

#include "sdk/core/ConversionTables.hpp"
#include "sdk/devices/kestrane/HeadbandWire.hpp"
#include "sdk/devices/kestrane/KestraneStatus.hpp"

namespace VexaDevice::Kestrane::Headband {

namespace {

std::vector<_SignalData> scaled(std::span<const _SignalData> packs, uint8_t gainIndex) {
    const double factor = Utility::gainToFactor(gainIndex);
    std::vector<_SignalData> records;
    records.reserve(packs.size());
    for (const _SignalData& pack : packs) {
        if (pack.Samples.size() < ChannelCount) continue;
        records.push_back(pack);
        for (double& sample : records.back().Samples) sample /= factor;
    }
    return records;
}

}  // namespace

SignalReader::SignalReader() : resistConverter_(resistParams()) {}

void SignalReader::take(std::span<const _SignalData> packs, uint8_t mode, uint8_t gainIndex,
                        std::vector<_SignalData>& signal, std::vector<_ResistData>& resist) {
    if (mode == toByte(DevAmpStatus::Signal)) {
        std::vector<_SignalData> records = scaled(packs, gainIndex);
        signal.insert(signal.end(), std::make_move_iterator(records.begin()), std::make_move_iterator(records.end()));
    } else if (mode == toByte(DevAmpStatus::Resist)) {
        const std::vector<_SignalData> records = scaled(packs, ResistGainIndex);
        resistConverter_.process(records.data(), records.size(), resist);
        std::erase_if(resist, [](const _ResistData& record) { return record.Samples.size() < ChannelCount; });
    }
}

}  // namespace VexaDevice::Kestrane::Headband
