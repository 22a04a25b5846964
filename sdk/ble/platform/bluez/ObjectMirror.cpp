#include "sdk/ble/platform/bluez/ObjectMirror.hpp"

#include <utility>

#include "sdk/ble/platform/bluez/BluezNames.hpp"

namespace VexaDevice::BLE::Platform::Bluez {

std::optional<PropertyMap> ObjectMirror::properties(const std::string& path, const char* interface) const {
    std::lock_guard lock(mutex_);
    auto object = tree_.find(path);
    if (object == tree_.end()) return std::nullopt;
    auto found = object->second.find(interface);
    if (found == object->second.end()) return std::nullopt;
    return found->second;
}

std::vector<std::string> ObjectMirror::children(const char* interface, const char* parentKey,
                                                const std::string& parent) const {
    std::vector<std::string> paths;
    std::lock_guard lock(mutex_);
    // The daemon names GATT objects by handle (service000a, char000b): path order is table order.
    for (auto object = tree_.lower_bound(parent + "/"); object != tree_.end(); ++object) {
        if (object->first.compare(0, parent.size() + 1, parent + "/") != 0) break;
        auto found = object->second.find(interface);
        if (found == object->second.end()) continue;
        auto owner = found->second.find(parentKey);
        if (owner != found->second.end() && owner->second.asString() == parent) paths.push_back(object->first);
    }
    return paths;
}

std::optional<std::string> ObjectMirror::adapterPath() const {
    std::lock_guard lock(mutex_);
    for (const auto& [path, interfaces] : tree_) {
        if (interfaces.contains(kAdapter)) return path;
    }
    return std::nullopt;
}

std::vector<std::string> ObjectMirror::load(std::map<std::string, InterfaceMap> objects) {
    std::vector<std::string> devices;
    std::unique_lock lock(mutex_);
    for (auto& [path, interfaces] : objects) {
        auto& known = tree_[path];
        for (auto& [name, properties] : interfaces) known[name] = std::move(properties);
        if (known.contains(kDevice)) devices.push_back(path);
    }
    changed(lock);
    return devices;
}

void ObjectMirror::add(const std::string& path, InterfaceMap interfaces) {
    std::unique_lock lock(mutex_);
    auto& known = tree_[path];
    for (auto& [name, properties] : interfaces) known[name] = std::move(properties);
    changed(lock);
}

bool ObjectMirror::remove(const std::string& path, const std::vector<std::string>& interfaces) {
    std::unique_lock lock(mutex_);
    auto found = tree_.find(path);
    if (found == tree_.end()) return false;
    for (const auto& name : interfaces) found->second.erase(name);
    if (found->second.empty()) tree_.erase(found);
    changed(lock);
    return true;
}

bool ObjectMirror::change(const std::string& path, const std::string& interface, const PropertyMap& changedProperties,
                          const std::vector<std::string>& invalidated) {
    std::unique_lock lock(mutex_);
    auto object = tree_.find(path);
    if (object == tree_.end()) return false;
    auto known = object->second.find(interface);
    if (known == object->second.end()) return false;
    for (const auto& [key, value] : changedProperties) known->second[key] = value;
    for (const auto& key : invalidated) known->second.erase(key);
    changed(lock);
    return true;
}

bool ObjectMirror::clear() {
    std::unique_lock lock(mutex_);
    if (tree_.empty()) return false;
    tree_.clear();
    changed(lock);
    return true;
}

void ObjectMirror::announceChange() {
    std::unique_lock lock(mutex_);
    changed(lock);
}

void ObjectMirror::changed(std::unique_lock<std::mutex>& lock) {
    ++generation_;
    lock.unlock();
    changed_.notify_all();
}

bool ObjectMirror::waitFor(const std::function<bool()>& condition, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        uint64_t seen = 0;
        {
            std::lock_guard lock(mutex_);
            seen = generation_;
        }
        if (condition()) return true;
        std::unique_lock lock(mutex_);
        if (!changed_.wait_until(lock, deadline, [&] { return generation_ != seen; })) {
            lock.unlock();
            return condition();
        }
    }
}

}  // namespace VexaDevice::BLE::Platform::Bluez
