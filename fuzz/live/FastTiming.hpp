#pragma once
// Waits of the sensors the live fuzzers make, shrunk so that a refused or unanswered command
// costs milliseconds, not seconds.

#include <chrono>

#include "sdk/api/SensorTiming.hpp"

namespace LiveFuzz {

inline void useFastTiming() {
    using namespace std::chrono_literals;
    VexaDevice::Api::SensorTiming timing;
    timing.protocol.workerWait = 1ms;
    timing.protocol.writeRetryPause = 1ms;
    timing.protocol.replyWaitStep = 2ms;
    timing.protocol.replyWaitSteps = 5;
    timing.tessel.workerWait = 1ms;
    timing.tessel.replyWait = 10ms;
    timing.tessel.requestRetryPause = 1ms;
    VexaDevice::Api::setSensorTiming(timing);
}

}  // namespace LiveFuzz
