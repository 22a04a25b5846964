#pragma once
// Internal: the discovery session every watcher of a platform shares. The first watcher to
// start asks the daemon to discover, the last to stop asks it to stop; a start while a stop of
// ours is still being carried out waits for it.

#include <mutex>
#include <string>

namespace VexaDevice::BLE::Platform::Bluez {

class BluezPlatform;
class ObjectMirror;

class DiscoverySession {
public:
    DiscoverySession(BluezPlatform& platform, ObjectMirror& objects) : platform_(platform), objects_(objects) {}

    // Blocks until the daemon discovers, false when it does not: a stop of ours still under way,
    // the filter, the start (asked again while the daemon answers InProgress) and the daemon's
    // discovery running are each waited for at most the call timeout.
    bool acquire();
    // Never blocks: the stop is carried out on the loop, and the next acquire waits for it.
    void release();
    // The daemon went away, and every session of ours with it.
    void reset();

private:
    // Our StartDiscovery, retried while the daemon is still stopping an earlier session.
    bool start(const std::string& adapter);
    bool discovering(const std::string& adapter) const;
    void stopEnded();

    BluezPlatform& platform_;
    ObjectMirror& objects_;
    std::mutex mutex_;
    int users_ = 0;
    int stops_ = 0;  // StopDiscovery calls not yet answered
};

}  // namespace VexaDevice::BLE::Platform::Bluez
