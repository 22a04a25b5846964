#pragma once
// Protocol timings for tests against emulated devices: short pauses, and reply waits that are
// long only where a reply is expected.

#include <chrono>

#include "sdk/devices/common/ProtocolTiming.hpp"

namespace DevicesTest {

// A reply ends its wait the moment it arrives, so the wait may be long: three seconds, since a
// machine running the sanitizer builds side by side has held a reply back for over half a second.
inline VexaDevice::Devices::ProtocolTiming fastProtocol() {
    using namespace std::chrono_literals;
    VexaDevice::Devices::ProtocolTiming timing;
    timing.workerWait = 2ms;
    timing.writeRetryPause = 2ms;
    timing.replyWaitStep = 10ms;
    timing.replyWaitSteps = 300;
    return timing;
}

// For a test that loses replies or silences the device on purpose: each wait it runs out lasts
// about a third of a second.
inline VexaDevice::Devices::ProtocolTiming lostReplyProtocol() {
    VexaDevice::Devices::ProtocolTiming timing = fastProtocol();
    timing.replyWaitSteps = 31;
    return timing;
}

}  // namespace DevicesTest
