#include "sim/peers/wrenlet/WrenletPeer.hpp"

#include <string>

namespace VexaSim {

namespace {

const char* suffixOf(char model) {
    switch (model) {
    case 'P': return "95";
    case 'I': return "96";
    default: return "90";
    }
}

}  // namespace

CommandStreamPeerSettings wrenletSettings(WrenletPeerGeneration generation, char model) {
    CommandStreamPeerSettings settings;
    const bool second = generation == WrenletPeerGeneration::Second;
    settings.name = "Wrenlet";
    settings.information.modelNumber = std::to_string(static_cast<int>(model)) + ".1";
    settings.suffix = suffixOf(model);
    settings.counterSize = second ? 4 : 2;
    settings.littleEndian = second;
    return settings;
}

}  // namespace VexaSim
