#pragma once
// The faults one emulated device's link shows, and how far each has been played: the counts of
// refused connections and busy calls, the late service and the table resolved again, each
// played once.

#include <utility>

#include "sim/bluez/LinkFaults.hpp"

namespace VexaSim {

class FaultProfile {
public:
    const LinkFaults& faults() const { return faults_; }
    // New faults for what comes next; what was played stays played.
    void replace(LinkFaults faults) { faults_ = std::move(faults); }

    // This Connect is one of those aborted before one holds.
    bool abortsConnect() { return connectAttempts_++ < faults_.abortedConnects; }
    // This Connect is answered InProgress (the first one, when the fault is set).
    bool answersInProgress();
    // This ReadValue or WriteValue is answered InProgress.
    bool busy();
    // The last service of the table comes late (the first export only).
    bool delaysLastService();
    // The table is to be resolved again after notifications were first switched on.
    bool schedulesReresolve();
    // The table goes as this call arrives.
    bool reresolvesOn(const char* member);

private:
    LinkFaults faults_;
    int connectAttempts_ = 0;
    bool inProgressAnswered_ = false;
    int busyAnswered_ = 0;
    bool lateServiceDone_ = false;
    bool reresolveScheduled_ = false;
    bool reresolvedOnCall_ = false;
};

}  // namespace VexaSim
