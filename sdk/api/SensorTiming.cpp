#include "sdk/api/SensorTiming.hpp"

#include <mutex>

namespace VexaDevice::Api {
namespace {

std::mutex timingMutex;
SensorTiming currentTiming;

}  // namespace

SensorTiming sensorTiming() {
    std::lock_guard lock(timingMutex);
    return currentTiming;
}

void setSensorTiming(const SensorTiming& timing) {
    std::lock_guard lock(timingMutex);
    currentTiming = timing;
}

}  // namespace VexaDevice::Api
