#include "sdk/ble/platform/bluez/PairingAgent.hpp"

#include <systemd/sd-bus.h>

#include <memory>

#include "sdk/ble/platform/bluez/BluezPlatform.hpp"
#include "sdk/ble/platform/bluez/DeviceLink.hpp"
#include "sdk/ble/platform/bluez/BluezNames.hpp"

namespace VexaDevice::BLE::Platform::Bluez {

namespace {

// Asks the pairing handlers of the device named by the message's first argument, on that
// device's delivery thread, and answers the daemon from the loop once they decided.
int ask(sd_bus_message* message, void* userdata, PairingKind kind) {
    auto& platform = static_cast<PairingAgent*>(userdata)->platform();
    const char* path = nullptr;
    if (sd_bus_message_read_basic(message, 'o', &path) < 0 || !path) {
        return sd_bus_reply_method_errorf(message, "org.bluez.Error.Rejected", "No device named.");
    }
    const auto link = platform.findLink(path);
    const auto handlers = link ? link->pairingHandlers() : nullptr;
    if (!handlers) return sd_bus_reply_method_errorf(message, "org.bluez.Error.Rejected", "No pairing is in progress.");
    // The handlers may decide after the platform is gone: the answer then goes nowhere, and the
    // question is let go with whichever task holds it last.
    std::shared_ptr<sd_bus_message> question(sd_bus_message_ref(message), sd_bus_message_unref);
    link->queue().post([handlers, question, kind, weak = platform.weak_from_this()] {
        PairingRequest request(kind);
        handlers->invoke(request);
        const bool accepted = request.accepted();
        const auto live = weak.lock();
        if (!live) return;
        live->loop().post([question, accepted](sd_bus*) {
            if (accepted) {
                sd_bus_reply_method_return(question.get(), "");
            } else {
                sd_bus_reply_method_errorf(question.get(), "org.bluez.Error.Rejected", "The pairing was refused.");
            }
        });
    });
    return 1;
}

int onConfirm(sd_bus_message* message, void* userdata, sd_bus_error*) {
    return ask(message, userdata, PairingKind::ConfirmOnly);
}

int onDisplay(sd_bus_message* message, void* userdata, sd_bus_error*) {
    return ask(message, userdata, PairingKind::DisplayPin);
}

// Codes typed in by the user: just-works pairing has none to give.
int onRefuse(sd_bus_message* message, void*, sd_bus_error*) {
    return sd_bus_reply_method_errorf(message, "org.bluez.Error.Rejected", "No code can be entered.");
}

int onAcknowledge(sd_bus_message* message, void*, sd_bus_error*) { return sd_bus_reply_method_return(message, ""); }

const sd_bus_vtable kAgentVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Release", "", "", onAcknowledge, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("RequestPinCode", "o", "s", onRefuse, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("DisplayPinCode", "os", "", onDisplay, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("RequestPasskey", "o", "u", onRefuse, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("DisplayPasskey", "ouq", "", onDisplay, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("RequestConfirmation", "ou", "", onConfirm, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("RequestAuthorization", "o", "", onConfirm, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("AuthorizeService", "os", "", onAcknowledge, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Cancel", "", "", onAcknowledge, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END};

}  // namespace

void PairingAgent::exportOn(sd_bus* bus) { sd_bus_add_object_vtable(bus, nullptr, kPath, kAgent, kAgentVtable, this); }

}  // namespace VexaDevice::BLE::Platform::Bluez
