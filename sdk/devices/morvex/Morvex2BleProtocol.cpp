#include "sdk/devices/morvex/Morvex2BleProtocol.hpp"

#include "sdk/core/DeviceError.hpp"
#include "sdk/core/RtException.hpp"

namespace VexaDevice::Morvex2 {

using Kestrane::AmplifierSettings;
using Sensor::EEGChannelInfo;
using Sensor::EEGChannelType;
using Sensor::SensorParamAccess;
using Sensor::SensorParameter;
using Sensor::toInt;

namespace {

const Kestrane::ProtocolIdentity Identity{"Morvex2 BLE Protocol", "Failed create Morvex2 BLE Protocol."};

constexpr uint8_t Model0 = '0';
constexpr uint8_t ModelG = 'G';
constexpr uint8_t ModelI = 'I';
constexpr uint8_t ModelP = 'P';
constexpr uint8_t ModelF = 'f';
// Model version of the variants with eight channels ('0', 'f') and of the newer 'G' devices.
constexpr uint8_t WideVariant = 3;

constexpr uint32_t NarrowChannels = 4;
constexpr uint32_t WideChannels = 8;
constexpr uint32_t AmplifierSlots = 8;
constexpr uint32_t CounterSize = 4;
constexpr uint8_t SamplesPerPackFrame = 0x0B;
// The data index every channel record carries.
constexpr int32_t ChannelDataIndex = 3;

uint32_t channelsOf(const DeviceVersion& version) {
    const bool wideModel = version.modelMajor == Model0 || version.modelMajor == ModelF;
    return wideModel && version.modelMinor == WideVariant ? WideChannels : NarrowChannels;
}

uint8_t samplesPerPackOf(uint32_t channels) { return channels == WideChannels ? 4 : 8; }

const char* suffixOf(const DeviceVersion& version) {
    switch (version.modelMajor) {
    case ModelP: return "95";
    case ModelI: return "96";
    case Model0: return "97";
    case ModelF: return "98";
    default: return version.modelMinor >= WideVariant ? "99" : "90";
    }
}

bool knownModel(uint8_t model) {
    return model == Model0 || model == ModelG || model == ModelI || model == ModelP || model == ModelF;
}

AmplifierSettings settingsOf(const Morvex2AmplifierParam& param) {
    AmplifierSettings settings;
    settings.signalEnabled = param.modes;  // mode 1 (signal) and 0 are the only ones taken
    for (bool flag : param.resistFlags) settings.resistEnabled.push_back(flag ? 1 : 0);
    settings.gain = param.gains;
    settings.current = param.current;
    return settings;
}

struct ChannelPlace {
    const char* name;
    uint8_t position;
    EEGChannelType type;
};

std::vector<EEGChannelInfo> channelsAt(std::initializer_list<ChannelPlace> places) {
    std::vector<EEGChannelInfo> list;
    for (const ChannelPlace& place : places)
        list.emplace_back(place.position, place.type, ChannelDataIndex, place.name);
    return list;
}

}  // namespace

Morvex2BleProtocol::Morvex2BleProtocol(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation,
                                       const Devices::ProtocolTiming& timing)
    : CommandStreamProtocol(std::move(device), std::move(deviceInformation), Identity, timing) {}

Kestrane::StreamLayout Morvex2BleProtocol::layoutFor(const DeviceVersion& version) const {
    if (version.firmwareMajor == 0 || version.hardwareMajor == 0)
        throw Utility::rt_exception("Device unsupported. Failed recognized the device version");
    if (!knownModel(version.modelMajor))
        throw Utility::rt_exception("Device unsupported. Failed recognized the device Family");

    const uint32_t channels = channelsOf(version);
    Kestrane::StreamLayout layout = Kestrane::streamLayout(channels, samplesPerPackOf(channels), CounterSize, true);
    layout.suffix = suffixOf(version);
    layout.amplifierSlots = AmplifierSlots;
    layout.commands = Kestrane::modeCommands();
    layout.parameters = Kestrane::streamParameters();
    layout.parameters[toInt(SensorParameter::SensorChannels)] = toInt(SensorParamAccess::Read);
    layout.features = {0, 4};
    return layout;
}

void Morvex2BleProtocol::configureDevice() {
    const AmplifierSettings defaults = Kestrane::defaultAmplifier(channelCount());
    Morvex2AmplifierParam startUp{defaults.signalEnabled,
                                  std::vector<bool>(defaults.resistEnabled.begin(), defaults.resistEnabled.end()),
                                  defaults.gain, defaults.current};
    if (!setAmplifierParam(startUp)) throw Utility::rt_exception("Failed to set the amplifier parameters");
    if (!setSamplesPerPack(samplesPerPackOf(channelCount())))
        throw Utility::rt_exception("Failed to set the ADC parameters");
}

OperationResult Morvex2BleProtocol::setAmplifierParam(const Morvex2AmplifierParam& param) {
    return applyAmplifier(settingsOf(param), [this, &param] { amplifier_ = param; });
}

OperationResult Morvex2BleProtocol::amplifierParam(Morvex2AmplifierParam& out) const {
    const auto lock = readCommands();
    out = amplifier_;
    return OperationResult::done();
}

uint8_t Morvex2BleProtocol::maxSamplesPerPack() const { return samplesPerPackOf(channelCount()); }

OperationResult Morvex2BleProtocol::setSamplesPerPack(uint8_t samples) {
    const auto lock = lockCommands();
    if (samples == 0 || samples > maxSamplesPerPack())
        return OperationResult::failed(Utility::kKspErrors.wrongParamValue, "Wrong number samples in packet");
    const OpCmdRes reply = exchange({SamplesPerPackFrame, samples});
    if (reply.code == 0) {
        Kestrane::SignalParams signal = signalChannel().converterParams();
        signal.samplesPerPack = samples;
        signal.packSize = Kestrane::signalPackSize(channelCount(), samples, CounterSize);
        signalChannel().setConverterParams(signal);
    }
    return Utility::formatKspDeviceError(reply.code);
}

std::vector<EEGChannelInfo> Morvex2BleProtocol::channelList() const {
    const DeviceVersion version = deviceVersion();
    if (version.modelMajor == Model0 && version.modelMinor == WideVariant && channelCount() > NarrowChannels)
        return channelsAt({{"O1", 6, EEGChannelType::O1},
                           {"O2", 0, EEGChannelType::O2},
                           {"T3", 5, EEGChannelType::T3},
                           {"T4", 1, EEGChannelType::T4},
                           {"T6", 2, EEGChannelType::T6},
                           {"Fp2", 3, EEGChannelType::Fp2},
                           {"T5", 4, EEGChannelType::T5},
                           {"Fp1", 7, EEGChannelType::Fp1}});
    if (version.modelMajor == Model0 || version.modelMajor == ModelG)
        return channelsAt({{"O1", 3, EEGChannelType::O1},
                           {"O2", 0, EEGChannelType::O2},
                           {"T3", 1, EEGChannelType::T3},
                           {"T4", 2, EEGChannelType::T4}});
    std::vector<EEGChannelInfo> list;
    for (uint32_t ch = 0; ch < channelCount(); ++ch)
        list.emplace_back(static_cast<uint8_t>(ch), EEGChannelType::Any, ChannelDataIndex, "");
    return list;
}

std::shared_ptr<Morvex2BleProtocol> makeMorvex2BleProtocol(std::shared_ptr<BLE::IBLEDevice> device,
                                                           BLE::ServiceChannels deviceInformation,
                                                           const Devices::ProtocolTiming& timing) {
    return Devices::ProtocolStart::make<Morvex2BleProtocol>(std::move(device), std::move(deviceInformation), timing);
}

}  // namespace VexaDevice::Morvex2
