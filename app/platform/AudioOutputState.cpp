#include "app/platform/AudioOutputState.hpp"

#include <AL/alc.h>
#include <AL/alext.h>

namespace quellwave::platform {
namespace {

// The sound library keeps one context current for the whole process while it has a device.
ALCdevice* openDevice() {
    ALCcontext* context = alcGetCurrentContext();
    return context != nullptr ? alcGetContextsDevice(context) : nullptr;
}

}  // namespace

bool audioOutputOpen() { return openDevice() != nullptr; }

bool audioOutputConnected() {
    ALCdevice* device = openDevice();
    if (device == nullptr || alcIsExtensionPresent(device, "ALC_EXT_disconnect") == ALC_FALSE) {
        return true;
    }
    ALCint connected = ALC_TRUE;
    alcGetIntegerv(device, ALC_CONNECTED, 1, &connected);
    return connected != ALC_FALSE;
}

}  // namespace quellwave::platform
