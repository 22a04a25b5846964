#pragma once
// Waits of the exported scanner functions.

#include <chrono>

namespace VexaDevice::Api {

struct ScannerTiming {
    // Pause after each start attempt of startScanner when attempts are requested.
    std::chrono::milliseconds startAttemptPause{1000};
};

// The process-wide values the scanner exports use; tests shorten them.
ScannerTiming scannerTiming();
void setScannerTiming(const ScannerTiming& timing);

}  // namespace VexaDevice::Api
