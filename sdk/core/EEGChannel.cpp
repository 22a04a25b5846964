#include "sdk/core/EEGChannel.hpp"

#include <array>
#include <utility>

namespace VexaDevice::Sensor {
namespace {

constexpr std::array<const char*, 30> kElectrodeNames{
    "Any", "O1", "P3", "C3", "F3", "Fp1", "T5", "T3", "F7",  "F8", "T4",  "T6", "Fp2", "F4",   "C4",
    "P4",  "O2", "D1", "D2", "OZ", "PZ",  "CZ", "FZ", "FpZ", "D3", "Ref", "A1", "A2",  "Gnd1", "Gnd2"};

}  // namespace

std::string electrodeName(EEGChannelType type) {
    const auto index = static_cast<std::size_t>(type);
    return index < kElectrodeNames.size() ? kElectrodeNames[index] : kElectrodeNames[0];
}

EEGChannelInfo::EEGChannelInfo(const uint8_t& id, const EEGChannelType& type, const int32_t& dataIndex,
                               std::string name)
    : name(name.empty() ? electrodeName(type) : std::move(name)), id(id), dataIndex(dataIndex), type(type) {}

}  // namespace VexaDevice::Sensor
