#pragma once
// The records of the photo-stimulation devices and service: the stimulator's state, its
// synchronisation state and one stimulation program, and the buses the two states are published
// on.

#include <cstdint>

#include "sdk/core/EventBus.hpp"

namespace VexaDevice::PhotoStim {

// The stimulator's state as the library reports it.
enum class DevStimulStatus : uint8_t {
    Unknown = 0,       // no valid status yet, or a code the library does not know
    Idle = 1,          // after reset
    SyncPrepared = 2,  // after prepareSync
    Synchronised = 3,  // after sync, and again after a program stopped
    Running = 4,       // a program list is running
};

enum class DevStimulSyncStatus : uint8_t {
    NotSynchronised = 0,
    Synchronised = 1,
};

using StimStatusBus = Utility::EventBus<DevStimulStatus>;
using SyncStatusBus = Utility::EventBus<DevStimulSyncStatus>;

// One stimulation program: a train of pulses at `frequency` (Hz, 0..62500) of `pulseWidth`
// seconds at `power` percent, lasting `stimulDuration` seconds, then `pause` (0..255).
// `reserved` is carried along and not used.
struct StimProgram {
    double frequency = 0;
    double power = 0;
    double pulseWidth = 0;
    double stimulDuration = 0;
    double pause = 0;
    double reserved = 0;

    bool operator==(const StimProgram&) const = default;
};

}  // namespace VexaDevice::PhotoStim
