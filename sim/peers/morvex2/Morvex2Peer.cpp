#include "sim/peers/morvex2/Morvex2Peer.hpp"

#include <string>

namespace VexaSim {

namespace {

constexpr uint8_t WideVariant = 3;

const char* suffixOf(char model, uint8_t variant) {
    switch (model) {
    case 'P': return "95";
    case 'I': return "96";
    case '0': return "97";
    case 'f': return "98";
    default: return variant >= WideVariant ? "99" : "90";
    }
}

}  // namespace

CommandStreamPeerSettings morvex2Settings(char model, uint8_t variant) {
    CommandStreamPeerSettings settings;
    const bool wide = (model == '0' || model == 'f') && variant == WideVariant;
    settings.name = "Morvex2";
    settings.information.serialNumber = "MX2-000007";
    settings.information.modelNumber = std::to_string(static_cast<int>(model)) + "." + std::to_string(variant);
    settings.suffix = suffixOf(model, variant);
    settings.channels = wide ? 8 : 4;
    settings.samplesPerPack = wide ? 4 : 8;
    settings.maxSamplesPerPack = settings.samplesPerPack;
    settings.counterSize = 4;
    settings.littleEndian = true;
    settings.amplifierSlots = 8;
    return settings;
}

}  // namespace VexaSim
