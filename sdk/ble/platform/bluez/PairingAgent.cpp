#include "sdk/ble/platform/bluez/PairingAgent.hpp"

#include <systemd/sd-bus.h>

#include "sdk/ble/platform/bluez/BluezDevice.hpp"
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
    sd_bus_message_ref(message);
    BusLoop* loop = &platform.loop();
    link->queue().post([handlers, message, kind, loop] {
        PairingRequest request(kind);
        handlers->invoke(request);
        const bool accepted = request.accepted();
        loop->post([message, accepted](sd_bus*) {
            if (accepted) {
                sd_bus_reply_method_return(message, "");
            } else {
                sd_bus_reply_method_errorf(message, "org.bluez.Error.Rejected", "The pairing was refused.");
            }
            sd_bus_message_unref(message);
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

void PairingAgent::exportOn(sd_bus* bus) {
    sd_bus_add_object_vtable(bus, nullptr, kPath, kAgent, kAgentVtable, this);
}

}  // namespace VexaDevice::BLE::Platform::Bluez
