#pragma once
// Tells the user once why a stream's packs are dropped: a setting needed to scale them is
// unknown. Once the settings are known again, a later drop is told again. Worker thread only.
//
//   DroppedStream signal{"Signal"};
//   if (signal.settingsKnown({{caps->gain, "gain"}, {caps->dataOffset, "data offset"}}))
//       decode(packs);

#include <cstdint>
#include <initializer_list>

namespace VexaDevice::Tessel {

class DroppedStream {
public:
    struct Setting {
        uint8_t value;
        const char* name;
    };

    explicit DroppedStream(const char* stream) : stream_(stream) {}

    // Whether every setting is known; the first drop after that is logged at warning level.
    bool settingsKnown(std::initializer_list<Setting> settings);

private:
    const char* const stream_;
    bool told_ = false;
};

}  // namespace VexaDevice::Tessel
