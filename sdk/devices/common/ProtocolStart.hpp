#pragma once
// How a protocol whose constructor and start() are private is built: made, started, handed
// out. A protocol grants it with `friend struct Devices::ProtocolStart;` (a base that owns
// start() grants it as well). start() throws when the device cannot be driven and stops what it
// began; the protocol is then released.

#include <memory>
#include <utility>

namespace VexaDevice::Devices {

struct ProtocolStart {
    template <class Protocol, class... Args>
    static std::shared_ptr<Protocol> make(Args&&... args) {
        std::shared_ptr<Protocol> protocol(new Protocol(std::forward<Args>(args)...));
        protocol->start();
        return protocol;
    }
};

}  // namespace VexaDevice::Devices
