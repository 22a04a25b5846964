#include "sim/bluez/FaultProfile.hpp"

#include <utility>

namespace VexaSim {

bool FaultProfile::answersInProgress() {
    return faults_.connectInProgress && !std::exchange(inProgressAnswered_, true);
}

bool FaultProfile::busy() {
    if (busyAnswered_ >= faults_.busyGattCalls) return false;
    ++busyAnswered_;
    return true;
}

bool FaultProfile::delaysLastService() {
    if (faults_.lateService.count() <= 0 || lateServiceDone_) return false;
    lateServiceDone_ = true;
    return true;
}

bool FaultProfile::schedulesReresolve() {
    return faults_.reresolveAfterNotify.count() > 0 && !std::exchange(reresolveScheduled_, true);
}

bool FaultProfile::reresolvesOn(const char* member) {
    return faults_.reresolveOnCall == member && !std::exchange(reresolvedOnCall_, true);
}

}  // namespace VexaSim
