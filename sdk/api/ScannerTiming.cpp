#include "sdk/api/ScannerTiming.hpp"

#include <mutex>

namespace VexaDevice::Api {
namespace {

std::mutex timingMutex;
ScannerTiming currentTiming;

}  // namespace

ScannerTiming scannerTiming() {
    std::lock_guard lock(timingMutex);
    return currentTiming;
}

void setScannerTiming(const ScannerTiming& timing) {
    std::lock_guard lock(timingMutex);
    currentTiming = timing;
}

}  // namespace VexaDevice::Api
