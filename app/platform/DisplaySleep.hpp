#pragma once

namespace quellwave::platform {

// Keeps the display from blanking while the program runs.
class DisplaySleep {
public:
    virtual ~DisplaySleep() = default;
    // Suspends screen saving and display power-down until allowSleep().
    virtual void keepAwake() = 0;
    // Lets the display sleep again; harmless when keepAwake() was not called.
    virtual void allowSleep() = 0;
};

}  // namespace quellwave::platform
