#pragma once

#include "app/platform/DisplaySleep.hpp"

#include <mutex>

struct _XDisplay;

namespace quellwave::platform {

// Suspends the X server's screen saver (and display power management with it) while kept
// awake. The suspension belongs to this client's display connection, so the connection stays
// open until allowSleep(). Without a display both calls do nothing.
class XScreenSaverSleep : public DisplaySleep {
public:
    XScreenSaverSleep() = default;
    ~XScreenSaverSleep() override;
    XScreenSaverSleep(const XScreenSaverSleep&) = delete;
    XScreenSaverSleep& operator=(const XScreenSaverSleep&) = delete;

    void keepAwake() override;
    void allowSleep() override;

    // True while the screen saver is suspended by this object.
    bool suspended() const;

private:
    mutable std::mutex mutex_;
    _XDisplay* display_ = nullptr;
};

}  // namespace quellwave::platform
