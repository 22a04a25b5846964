#pragma once
// What a device's link does on a daemon that is not the easy one: the faults a real daemon and
// radio show a client, injected per device into the emulated daemon.

#include <chrono>
#include <cstdint>
#include <string>

namespace VexaSim {

struct LinkFaults {
    // Connect fails this many times (as a link aborted locally) before one holds.
    int abortedConnects = 0;
    // The first Connect is answered InProgress while the link it started comes up.
    bool connectInProgress = false;
    // ServicesResolved turns true this long before the last service is exported (0: with it).
    std::chrono::milliseconds lateService{0};
    // This long after notifications were first switched on, the device's table is resolved
    // again: every GATT object removed, then added under new paths after `reresolveGap`.
    std::chrono::milliseconds reresolveAfterNotify{0};
    std::chrono::milliseconds reresolveGap{20};
    // The table is resolved again, once, as the first call of this name (ReadValue, WriteValue,
    // StartNotify or AcquireNotify) arrives: the call meets its object gone and is answered
    // UnknownObject after the removal is announced, as a call that crossed it is.
    std::string reresolveOnCall;
    // The error AcquireNotify answers ("org.bluez.Error.NotPermitted" or
    // "org.bluez.Error.InProgress"); empty: the socket is handed out.
    std::string acquireNotifyRefusal;
    // The first this many ReadValue and WriteValue calls are answered InProgress.
    int busyGattCalls = 0;
    // The ATT MTU of the link (23 to 517): the MTU property and what AcquireNotify returns.
    uint16_t mtu = 247;
    // The Battery service is exported as GATT objects as well as behind Battery1.
    bool batteryServiceExported = false;
};

}  // namespace VexaSim
