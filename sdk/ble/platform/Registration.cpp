#include "sdk/ble/platform/Registration.hpp"

#include <utility>

namespace VexaDevice::BLE::Platform {

Registration::Registration(std::function<void()> release) : release_(std::move(release)) {}

Registration::Registration(Registration&& other) noexcept : release_(std::exchange(other.release_, {})) {}

Registration& Registration::operator=(Registration&& other) noexcept {
    if (this != &other) {
        reset();
        release_ = std::exchange(other.release_, {});
    }
    return *this;
}

Registration::~Registration() { reset(); }

void Registration::reset() {
    if (auto release = std::exchange(release_, {})) release();
}

}  // namespace VexaDevice::BLE::Platform
