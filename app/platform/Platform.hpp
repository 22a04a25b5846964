#pragma once

#include "app/platform/AudioEndpoints.hpp"
#include "app/platform/Dialogs.hpp"
#include "app/platform/DisplaySleep.hpp"
#include "app/platform/SystemServices.hpp"

namespace quellwave::platform {

// Everything the program needs of the operating system.
struct Platform {
    AudioEndpoints& endpoints;
    Dialogs& dialogs;
    SystemServices& system;
    DisplaySleep& display;
};

// The platform the program runs on: the one a ScopedPlatform installed, else this machine's.
Platform& currentPlatform();

// This machine's platform, built on first use.
Platform& nativePlatform();

// Installs another platform (tests install fakes) for its lifetime; nests.
class ScopedPlatform {
public:
    explicit ScopedPlatform(Platform& platform);
    ~ScopedPlatform();
    ScopedPlatform(const ScopedPlatform&) = delete;
    ScopedPlatform& operator=(const ScopedPlatform&) = delete;

private:
    Platform* previous_;
};

}  // namespace quellwave::platform
