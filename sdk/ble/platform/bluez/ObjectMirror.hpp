#pragma once
// Internal: the daemon's object tree as the backend mirrors it (GetManagedObjects, then
// InterfacesAdded, InterfacesRemoved and PropertiesChanged), and waiting for it to change.
//
// Every change of the tree, and every change announced from outside it, wakes the waiters of
// waitFor, which check their condition again.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sdk/ble/platform/bluez/DbusValue.hpp"

namespace VexaDevice::BLE::Platform::Bluez {

class ObjectMirror {
public:
    // A copy of one interface's properties; empty when the object or interface is missing.
    std::optional<PropertyMap> properties(const std::string& path, const char* interface) const;
    // Paths (in order) of the objects with the interface whose property `parentKey` is `parent`.
    std::vector<std::string> children(const char* interface, const char* parentKey, const std::string& parent) const;
    // The first object with the adapter interface.
    std::optional<std::string> adapterPath() const;

    // Objects read from GetManagedObjects, merged into what is known; the paths of those that
    // are devices.
    std::vector<std::string> load(std::map<std::string, InterfaceMap> objects);
    // InterfacesAdded.
    void add(const std::string& path, InterfaceMap interfaces);
    // InterfacesRemoved; false when the object was not known.
    bool remove(const std::string& path, const std::vector<std::string>& interfaces);
    // PropertiesChanged; false when the object or its interface was not known.
    bool change(const std::string& path, const std::string& interface, const PropertyMap& changed,
                const std::vector<std::string>& invalidated);
    // The daemon went away; false when nothing was known.
    bool clear();

    // Wakes the waiters: something they may wait for changed outside the tree.
    void announceChange();
    // Waits until the condition holds or the deadline passes. The condition is checked without
    // the tree's lock held, so it may read the tree (and whatever announces its changes).
    bool waitFor(const std::function<bool()>& condition, std::chrono::steady_clock::time_point deadline);

private:
    void changed(std::unique_lock<std::mutex>& lock);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, InterfaceMap> tree_;
    uint64_t generation_ = 0;  // counts changes, for waitFor
};

}  // namespace VexaDevice::BLE::Platform::Bluez
