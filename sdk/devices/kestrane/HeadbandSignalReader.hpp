#pragma once
// What the older four-channel headbands' signal packs carried, once each pack's mode is known.
// Their signal channel reads every pack at gain factor 1: a pack measured in signal mode is
// scaled by the gain the signal was started with, one measured in resistance mode by the probe
// current's amplification and evaluated in the probe windows. Packs of any other mode carry
// nothing. The scale of a pack thus never depends on when it was converted.
//
// Fed by one thread (its protocol's worker); not guarded.

#include <cstdint>
#include <span>
#include <vector>

#include "sdk/devices/kestrane/KestraneRecords.hpp"
#include "sdk/devices/kestrane/SignalToResistConverter.hpp"

namespace VexaDevice::Kestrane::Headband {

class SignalReader {
public:
    SignalReader();

    // Packs at gain factor 1, all measured in `mode` (3 signal, 4 resistance) with the signal at
    // `gainIndex`: appends their signal records or the resistance of the windows they close.
    // Records with fewer values than channels are dropped.
    void take(std::span<const _SignalData> packs, uint8_t mode, uint8_t gainIndex, std::vector<_SignalData>& signal,
              std::vector<_ResistData>& resist);

    // A new measurement begins: a window begun in an earlier one must not mix with it.
    void reset() { resistConverter_.reset(); }

private:
    SignalToResistConverter resistConverter_;
};

}  // namespace VexaDevice::Kestrane::Headband
