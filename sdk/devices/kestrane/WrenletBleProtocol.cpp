#include "sdk/devices/kestrane/WrenletBleProtocol.hpp"

#include <algorithm>

#include "sdk/core/RtException.hpp"

namespace VexaDevice::Kestrane {

using Sensor::SensorParamAccess;
using Sensor::SensorParameter;
using Sensor::toInt;

namespace {

constexpr uint32_t SamplesPerPack = 8;

// Model codes (first number of the model number, a character code) and their GATT suffixes.
constexpr uint8_t ModelG = 'G';
constexpr uint8_t ModelI = 'I';
constexpr uint8_t ModelP = 'P';

const ProtocolIdentity FirstIdentity{"Lorrel Black BLE Protocol",
                                     "Failed create Cannot create Lorrel Black BLE Protocol."};
const ProtocolIdentity SecondIdentity{"Wrenlet BLE Protocol", "Failed create Wrenlet BLE Protocol."};

// How the generations differ.
struct GenerationTraits {
    uint32_t counterSize;
    bool littleEndian;
    bool acceptsModelI;
    bool listsGain;
    const ProtocolIdentity& identity;
};

GenerationTraits traitsOf(WrenletGeneration generation) {
    if (generation == WrenletGeneration::First) return {2, false, false, true, FirstIdentity};
    return {4, true, true, false, SecondIdentity};
}

const char* suffixOf(uint8_t model) {
    switch (model) {
    case ModelP: return "95";
    case ModelI: return "96";
    default: return "90";
    }
}

// Every slot of the record, the unused ones too: they are stored as given, so they are checked.
AmplifierSettings settingsOf(const WrenletAmplifierParam& param) {
    return {{param.signalEnabled.begin(), param.signalEnabled.end()},
            {param.resistEnabled.begin(), param.resistEnabled.end()},
            {param.gain.begin(), param.gain.end()},
            param.current};
}

}  // namespace

WrenletBleProtocol::WrenletBleProtocol(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation,
                                       WrenletGeneration generation, const Devices::ProtocolTiming& timing)
    : CommandStreamProtocol(std::move(device), std::move(deviceInformation), traitsOf(generation).identity, timing),
      generation_(generation) {}

StreamLayout WrenletBleProtocol::layoutFor(const DeviceVersion& version) const {
    if (version.firmwareMajor == 0 || version.hardwareMajor == 0)
        throw Utility::rt_exception("Device unsupported. Failed recognized the device version");
    const GenerationTraits traits = traitsOf(generation_);
    const uint8_t model = version.modelMajor;
    if (model != ModelG && model != ModelP && !(model == ModelI && traits.acceptsModelI))
        throw Utility::rt_exception("Device unsupported. Failed recognized the device Family");

    StreamLayout layout = streamLayout(ChannelCount, SamplesPerPack, traits.counterSize, traits.littleEndian);
    layout.suffix = suffixOf(model);
    layout.commands = streamCommands();
    layout.parameters = streamParameters();
    if (traits.listsGain) layout.parameters[toInt(SensorParameter::Gain)] = toInt(SensorParamAccess::Read);
    layout.features = {0, 4, 11};
    return layout;
}

void WrenletBleProtocol::configureDevice() {
    WrenletAmplifierParam startUp;
    const AmplifierSettings defaults = defaultAmplifier(ChannelCount);
    std::copy(defaults.signalEnabled.begin(), defaults.signalEnabled.end(), startUp.signalEnabled.begin());
    std::copy(defaults.resistEnabled.begin(), defaults.resistEnabled.end(), startUp.resistEnabled.begin());
    std::copy(defaults.gain.begin(), defaults.gain.end(), startUp.gain.begin());
    startUp.current = defaults.current;
    if (!setAmplifierParam(startUp)) throw Utility::rt_exception("Failed to set the amplifier parameters");
}

OperationResult WrenletBleProtocol::setAmplifierParam(const WrenletAmplifierParam& param) {
    return applyAmplifier(settingsOf(param), [this, &param] { amplifier_ = param; });
}

OperationResult WrenletBleProtocol::amplifierParam(WrenletAmplifierParam& out) const {
    const auto lock = readCommands();
    out = amplifier_;
    return OperationResult::done();
}

std::shared_ptr<WrenletBleProtocol> makeWrenletBleProtocol(std::shared_ptr<BLE::IBLEDevice> device,
                                                           BLE::ServiceChannels deviceInformation,
                                                           const Devices::ProtocolTiming& timing) {
    return Devices::ProtocolStart::make<WrenletBleProtocol>(std::move(device), std::move(deviceInformation),
                                                            WrenletGeneration::First, timing);
}

std::shared_ptr<WrenletBleProtocol> makeWrenletBleProtocol2(std::shared_ptr<BLE::IBLEDevice> device,
                                                            BLE::ServiceChannels deviceInformation,
                                                            const Devices::ProtocolTiming& timing) {
    return Devices::ProtocolStart::make<WrenletBleProtocol>(std::move(device), std::move(deviceInformation),
                                                            WrenletGeneration::Second, timing);
}

}  // namespace VexaDevice::Kestrane
