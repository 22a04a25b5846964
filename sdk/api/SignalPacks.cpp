#include "sdk/api/SignalPacks.hpp"

#include <algorithm>

namespace VexaDevice::Api {

namespace {

// Copies as many values as the host's buffer holds and sets its size to the number copied.
void fillValues(const std::vector<double>& values, double* buffer, uint32_t& size) {
    const auto copied = buffer == nullptr ? size_t{0} : std::min<size_t>(size, values.size());
    std::copy_n(values.begin(), copied, buffer);
    size = static_cast<uint32_t>(copied);
}

template <typename Pack, typename HostPack, typename Fill>
void fillPacks(const std::vector<Pack>& packs, HostPack* hosts, int32_t* count, Fill fill) {
    const auto filled = std::min<size_t>(static_cast<size_t>(std::max(*count, 0)), packs.size());
    for (size_t index = 0; index < filled; ++index) {
        fill(packs[index], hosts[index]);
    }
    *count = static_cast<int32_t>(filled);
}

}  // namespace

void fillSignalPacks(const std::vector<Kestrane::_SignalData>& packs, DravikSignalPack* hosts, int32_t* count) {
    fillPacks(packs, hosts, count, [](const Kestrane::_SignalData& pack, DravikSignalPack& host) {
        host.PackNum = static_cast<int32_t>(pack.PackNum);
        host.Marker = pack.Marker;
        fillValues(pack.Samples, host.Samples, host.SzSamples);
    });
}

void fillResistPacks(const std::vector<DravikParsedResist>& packs, DravikResistPack* hosts, int32_t* count) {
    fillPacks(packs, hosts, count, [](const DravikParsedResist& pack, DravikResistPack& host) {
        host.Number = pack.number;
        host.Value1 = pack.value1;
        host.Value2 = pack.value2;
        host.Value3 = pack.value3;
        fillValues(pack.values, host.Values, host.SzValues);
    });
}

}  // namespace VexaDevice::Api
