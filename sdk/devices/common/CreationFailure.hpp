#pragma once
// What a protocol or device constructor throws when building it failed. Called from a
// catch-all handler with the caught exception; never returns.

#include <exception>
#include <string>

namespace VexaDevice::Devices {

// A library exception is logged as "Failed create <subject>: [what] Code: [code]" and
// thrown again unchanged; another standard exception is logged as "Failed create
// <subject>: what" and becomes the library exception "Failed create <subject>: what";
// anything else is logged as "Failed create <subject>." and becomes the library exception
// `unknownText`.
[[noreturn]] void rethrowProtocolCreationFailure(std::exception_ptr caught, const std::string& subject,
                                                 const std::string& unknownText);
// The same with the usual `unknownText`: "Failed create Cannot create <subject>.".
[[noreturn]] void rethrowProtocolCreationFailure(std::exception_ptr caught, const std::string& subject);

// A library exception passes unchanged; another standard exception becomes the runtime
// error "Cannot create <subject>: what"; anything else "Cannot create Cannot create
// <subject>.".
[[noreturn]] void rethrowDeviceCreationFailure(std::exception_ptr caught, const std::string& subject);

}  // namespace VexaDevice::Devices
