#include "sim/bluez/EmulatedAgents.hpp"

#include <future>
#include <memory>

#include "sdk/ble/platform/bluez/BluezNames.hpp"
#include "sim/bluez/EmulatorCore.hpp"

namespace VexaSim {

namespace Bluez = VexaDevice::BLE::Platform::Bluez;

namespace {

constexpr auto kAgentTimeout = std::chrono::seconds(5);

}  // namespace

int EmulatedAgents::registerAgent(sd_bus_message* message) {
    impl_.count(message);
    const char* path = nullptr;
    const char* capability = nullptr;
    if (sd_bus_message_read(message, "os", &path, &capability) < 0) return -EINVAL;
    if (!agent_.empty()) return sd_bus_reply_method_errorf(message, "org.bluez.Error.AlreadyExists", "Already Exists");
    agent_ = sd_bus_message_get_sender(message);
    agentPath_ = path;
    return sd_bus_reply_method_return(message, "");
}

int EmulatedAgents::unregisterAgent(sd_bus_message* message) {
    impl_.count(message);
    agent_.clear();
    return sd_bus_reply_method_return(message, "");
}

bool EmulatedAgents::ask(const std::string& devicePath, Platform::PairingKind kind) {
    auto answer = std::make_shared<std::promise<bool>>();
    auto answered = answer->get_future();
    impl_.loop().post([this, devicePath, kind, answer](sd_bus* bus) {
        if (agent_.empty()) {
            answer->set_value(true);  // no agent: the pairing goes on as just-works
            return;
        }
        const char* member = kind == Platform::PairingKind::DisplayPin        ? "DisplayPasskey"
                             : kind == Platform::PairingKind::ConfirmPinMatch ? "RequestConfirmation"
                                                                              : "RequestAuthorization";
        sd_bus_message* call = Bluez::newMethodCall(bus, agent_, agentPath_, Bluez::kAgent, member);
        int r = call ? 0 : -ENOMEM;
        if (r >= 0) r = sd_bus_message_append(call, "o", devicePath.c_str());
        if (r >= 0 && kind == Platform::PairingKind::ConfirmPinMatch) r = sd_bus_message_append(call, "u", 123456u);
        if (r >= 0 && kind == Platform::PairingKind::DisplayPin)
            r = sd_bus_message_append(call, "uq", 123456u, uint16_t{0});
        if (r < 0) {
            sd_bus_message_unref(call);
            answer->set_value(false);
            return;
        }
        impl_.loop().callAsync(call, kAgentTimeout, [answer](sd_bus_message*, const Bluez::CallOutcome& outcome) {
            answer->set_value(outcome.ok());
        });
    });
    return answered.get();
}

}  // namespace VexaSim
