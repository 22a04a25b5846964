#pragma once
// Token of one handler registration on the Bluetooth platform.

#include <functional>

namespace VexaDevice::BLE::Platform {

// Releasing the token (reset or destruction) unregisters the handler and, unless called from
// inside that handler, waits until no call of it is in flight. After release the handler is
// never called again.
class Registration {
public:
    Registration() = default;
    explicit Registration(std::function<void()> release);
    Registration(Registration&& other) noexcept;
    Registration& operator=(Registration&& other) noexcept;
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;
    ~Registration();

    void reset();
    explicit operator bool() const { return static_cast<bool>(release_); }

private:
    std::function<void()> release_;
};

}  // namespace VexaDevice::BLE::Platform
