#pragma once
// Waits and retry counts of a device protocol. The defaults are the device families' own
// values; tests shrink them.

#include <chrono>

namespace VexaDevice::Devices {

struct ProtocolTiming {
    // Longest sleep of the worker between two passes when nothing wakes it.
    std::chrono::milliseconds workerWait{50};
    // Pause after a failed frame write before it is written again.
    std::chrono::milliseconds writeRetryPause{250};
    // One step of the wait for a command's reply, and the number of steps.
    std::chrono::milliseconds replyWaitStep{100};
    int replyWaitSteps = 31;
    // Repeated writes of a frame whose write failed (so at most 1 + writeRetries writes).
    int writeRetries = 3;
    // Exchanges of one command until the device reports the state it asks for.
    int commandAttempts = 3;
    // Attempts of each blocking characteristic read (device information, status).
    int readAttempts = 3;
};

}  // namespace VexaDevice::Devices
