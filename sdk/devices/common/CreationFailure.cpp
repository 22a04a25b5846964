#include "sdk/devices/common/CreationFailure.hpp"

#include <stdexcept>
#include <utility>

#include "sdk/core/Log.hpp"

#include "sdk/core/RtException.hpp"

namespace VexaDevice::Devices {

void rethrowProtocolCreationFailure(std::exception_ptr caught, const std::string& subject,
                                    const std::string& unknownText) {
    try {
        std::rethrow_exception(caught);
    } catch (const Utility::rt_exception& e) {
        Utility::sdkLog().error("Failed create {}: [{}] Code: [{}]", subject, e.what(), e.code());
        throw;
    } catch (const std::exception& e) {
        Utility::sdkLog().error("Failed create {}: {}", subject, e.what());
        throw Utility::rt_exception("Failed create " + subject + ": " + e.what());
    } catch (...) {
        Utility::sdkLog().error("Failed create {}.", subject);
        throw Utility::rt_exception(unknownText);
    }
}

void rethrowProtocolCreationFailure(std::exception_ptr caught, const std::string& subject) {
    rethrowProtocolCreationFailure(std::move(caught), subject, "Failed create Cannot create " + subject + ".");
}

void rethrowDeviceCreationFailure(std::exception_ptr caught, const std::string& subject) {
    try {
        std::rethrow_exception(caught);
    } catch (const Utility::rt_exception&) {
        throw;
    } catch (const std::exception& e) {
        throw std::runtime_error("Cannot create " + subject + ": " + e.what());
    } catch (...) {
        throw std::runtime_error("Cannot create Cannot create " + subject + ".");
    }
}

}  // namespace VexaDevice::Devices
