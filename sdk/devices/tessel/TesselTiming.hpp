#pragma once
// Waits, periods and retries of the Tessel protocol. The defaults are the device's own values;
// tests shrink them.

#include <chrono>

#include "sdk/ble/MonotonicClock.hpp"

namespace VexaDevice::Tessel {

struct TesselTiming {
    // Longest sleep of the worker between two passes when nothing wakes it.
    std::chrono::milliseconds workerWait{25};
    // Wait for a command's reply after each write.
    std::chrono::milliseconds replyWait{150};
    // Pause before a request without reply is written again after a failed write.
    std::chrono::milliseconds requestRetryPause{200};
    // Periodic requests of the worker: battery voltage, and electrode state while the ADC
    // input watches the electrodes.
    std::chrono::milliseconds batteryPeriod{5000};
    std::chrono::milliseconds electrodePeriod{500};
    // How long the connection waits for the first battery value.
    std::chrono::milliseconds firstBatteryWait{100};
    // Repeated writes of a frame that got no answer: the reads of the connect sequence, the
    // requests answered by a data pack, and the firmware-mode switch.
    int readRetries = 5;
    int requestRetries = 3;
    int switchRetries = 3;
    // Time source of the periodic requests.
    BLE::MonotonicClock clock = BLE::steadyNanoseconds;
};

}  // namespace VexaDevice::Tessel
