#include "app/platform/LinuxSystemServices.hpp"
#include "app/platform/Platform.hpp"
#include "app/platform/PulseAudioEndpoints.hpp"
#include "app/platform/SfmlDialogs.hpp"
#include "app/platform/XScreenSaverSleep.hpp"

namespace quellwave::platform {

Platform& nativePlatform() {
    static PulseAudioEndpoints endpoints;
    static SfmlDialogs dialogs;
    static LinuxSystemServices system;
    static XScreenSaverSleep display;
    static Platform platform{endpoints, dialogs, system, display};
    return platform;
}

}  // namespace quellwave::platform
