#pragma once
// Internal: the radio link of one simulated peripheral, shared by the peer-side objects and
// the central-side handles opened on it.

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "sdk/ble/platform/HandlerRegistry.hpp"
#include "sim/radio/SimDispatcher.hpp"

namespace VexaSim {

using StatusRegistry = VexaDevice::BLE::Platform::HandlerRegistry<>;

class SimLink {
public:
    SimDispatcher& dispatcher() { return dispatcher_; }

    bool connected() const;
    // Connection number; client configuration written under an older one is void.
    uint64_t epoch() const;
    bool reachable() const;
    void setReachable(bool reachable);
    void setLingerAfterClose(bool linger);

    // A successful service query brings the link up (announced to every handle).
    void connect();
    // Link loss: the link goes down and every handle hears of it.
    void drop();

    // Handles opened on this link; the link drops when the last one closes (unless lingering).
    void addHandle(const std::shared_ptr<StatusRegistry>& statusHandlers);
    void closeHandle();
    // Connection-status handlers registered on the open handles.
    size_t statusHandlerCount() const;

    // Asked before each notification: false when the link is down, or when the scripted
    // number of notifications has passed, in which case the link drops now.
    bool admitNotification();
    void dropAfterNotifications(int count);

private:
    void announceLocked();

    mutable std::mutex mutex_;
    bool connected_ = false;
    uint64_t epoch_ = 0;
    bool reachable_ = true;
    bool lingerAfterClose_ = false;
    int openHandles_ = 0;
    int notificationsBeforeDrop_ = -1;
    std::vector<std::weak_ptr<StatusRegistry>> statusHandlers_;
    SimDispatcher dispatcher_;
};

}  // namespace VexaSim
