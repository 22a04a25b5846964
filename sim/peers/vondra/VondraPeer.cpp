#include "sim/peers/vondra/VondraPeer.hpp"

namespace VexaSim {

CommandStreamPeerSettings vondraSettings(VondraPeerGeneration generation) {
    const bool first = generation == VondraPeerGeneration::First;
    CommandStreamPeerSettings settings;
    settings.name = first ? "Vondra" : "Vondra2";
    settings.information = {first ? "VN-000007" : "VN2-000011", "73.1", "1.2.0", "3.4.5"};
    settings.suffix = "96";
    settings.channels = first ? 7 : 4;
    settings.samplesPerPack = 1;
    settings.maxSamplesPerPack = 1;
    settings.counterSize = 4;
    settings.littleEndian = true;
    settings.amplifierSlots = settings.channels;
    settings.signalResistCode = 0x07;
    settings.amplifierCode = 0x08;
    settings.hasMotion = false;
    settings.hasFpg = false;
    // A Vondra device announces its status as a frame arrives and answers once it carried the
    // frame out.
    settings.answerOrder = AnswerOrder::AnnouncedFirst;
    // Ohms: a value below 0 and one above 4 MOhm lie outside what a channel measures; 4 MOhm
    // itself does not.
    settings.resistanceOhms = {50000, -20, 150000, 5000000, 4000000, 70000, 80000, 90000};
    return settings;
}

}  // namespace VexaSim
