#pragma once
// Waits and retry counts of a device protocol. The defaults are the device families' own
// values; tests shrink them.

#include <chrono>

namespace VexaDevice::Devices {

// Waits of a photo-stimulation service and of the stand-alone stimulator that carries one.
struct StimulatorTiming {
    // Step of the waits for a state the stimulator reports.
    std::chrono::milliseconds pollStep{50};
    // Longest wait for the state a reset asks for.
    std::chrono::milliseconds resetWait{500};
    // Longest wait for the state of prepareSync, sync and stopProgram.
    std::chrono::milliseconds stateWait{1500};
    // Attempts of each status or configure read, and of each configure write.
    int readAttempts = 3;
    int writeAttempts = 3;
    // Longest sleep of a stand-alone stimulator's worker between two passes.
    std::chrono::milliseconds workerWait{500};
};

struct ProtocolTiming {
    // Longest sleep of the worker between two passes when nothing wakes it.
    std::chrono::milliseconds workerWait{50};
    // Pause after a failed frame write before it is written again.
    std::chrono::milliseconds writeRetryPause{250};
    // One step of the wait for a command's reply, and the number of steps.
    std::chrono::milliseconds replyWaitStep{100};
    int replyWaitSteps = 31;
    // The Dravik amplifier's wait for a command's reply, awaited in the steps above.
    std::chrono::milliseconds dravikReplyTimeout{1000};
    // Repeated writes of a frame whose write failed (so at most 1 + writeRetries writes).
    int writeRetries = 3;
    // Exchanges of one command until the device reports the state it asks for.
    int commandAttempts = 3;
    // Attempts of each blocking characteristic read (device information, status).
    int readAttempts = 3;
    StimulatorTiming stimulator{};
};

}  // namespace VexaDevice::Devices
