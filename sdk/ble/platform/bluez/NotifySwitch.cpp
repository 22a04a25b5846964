#include "sdk/ble/platform/bluez/NotifySwitch.hpp"

#include <fcntl.h>
#include <sys/socket.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "sdk/ble/platform/bluez/BluezPlatform.hpp"
#include "sdk/ble/platform/bluez/DeviceLink.hpp"
#include "sdk/ble/platform/bluez/BluezNames.hpp"
#include "sdk/core/Log.hpp"

namespace VexaDevice::BLE::Platform::Bluez::NotifySwitch {

namespace {

constexpr uint16_t kSmallestMtu = 23;

// The daemon does not hand this client a socket, but a session may still be had.
bool refusesSocket(const CallOutcome& outcome) {
    static const char* const refusals[] = {"org.bluez.Error.NotPermitted", "org.bluez.Error.InProgress",
                                           "org.bluez.Error.NotSupported", "org.freedesktop.DBus.Error.UnknownMethod"};
    return std::find(std::begin(refusals), std::end(refusals), outcome.errorName) != std::end(refusals);
}

void finish(CharacteristicLink& characteristic, const CallOutcome& outcome) {
    characteristic.wanted = outcome.ok();
    for (auto& done : std::exchange(characteristic.starting, {})) done(outcome);
}

// Delivers every datagram the socket holds; a socket the daemon closed is closed here too.
void readSocket(BluezPlatform& platform, DeviceLink& device, CharacteristicLink& characteristic) {
    // One datagram per notification, at most the MTU the daemon reported.
    std::vector<uint8_t> buffer(std::max(characteristic.mtu, kSmallestMtu));
    for (;;) {
        const ssize_t got = recv(characteristic.fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (got > 0) {
            device.deliver(characteristic.handlers, std::vector<uint8_t>(buffer.begin(), buffer.begin() + got));
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        platform.closeSocket(characteristic);
        return;
    }
}

void watchSocket(BluezPlatform& platform, const std::shared_ptr<DeviceLink>& device,
                 const std::shared_ptr<CharacteristicLink>& characteristic) {
    BluezPlatform* owner = &platform;
    platform.loop().watch(characteristic->fd,
                          [characteristic, device, owner] { readSocket(*owner, *device, *characteristic); });
}

// The session's values are taken from the call on: the daemon may report the first ones before
// it answers (the device notifies as soon as its configuration is written).
void startSession(BluezPlatform& platform, const std::shared_ptr<CharacteristicLink>& characteristic) {
    characteristic->mode = CharacteristicLink::Mode::Session;
    platform.send(
        characteristic->path(), kGattCharacteristic, "StartNotify", nullptr,
        [characteristic](sd_bus_message*, const CallOutcome& outcome) {
            // InProgress: a session of ours is being set up already.
            const bool on = outcome.ok() || outcome.errorName == "org.bluez.Error.InProgress";
            if (!on) characteristic->mode = CharacteristicLink::Mode::Off;
            finish(*characteristic, on ? CallOutcome{} : outcome);
        },
        platform.timing().callTimeout);
}

}  // namespace

void start(BluezPlatform& platform, const std::shared_ptr<DeviceLink>& device,
           const std::shared_ptr<CharacteristicLink>& characteristic, Done done) {
    if (!characteristic->starting.empty()) {
        characteristic->starting.push_back(std::move(done));  // joins the start in flight
        return;
    }
    if (characteristic->mode != CharacteristicLink::Mode::Off) {
        characteristic->wanted = true;
        done({});
        return;
    }
    characteristic->starting.push_back(std::move(done));

    const auto properties = platform.properties(characteristic->path(), kGattCharacteristic);
    if (!properties || !properties->contains("NotifyAcquired")) {
        startSession(platform, characteristic);
        return;
    }
    BluezPlatform* owner = &platform;
    platform.send(
        characteristic->path(), kGattCharacteristic, "AcquireNotify",
        [](sd_bus_message* message) { return sd_bus_message_append(message, "a{sv}", 0); },
        [owner, device, characteristic](sd_bus_message* reply, const CallOutcome& outcome) {
            if (refusesSocket(outcome)) {
                Utility::sdkLog().info("Notification socket refused ({} {}): starting a session", outcome.errorName,
                                       outcome.errorMessage);
                startSession(*owner, characteristic);
                return;
            }
            int fd = -1;
            uint16_t mtu = 0;
            if (!outcome.ok() || !reply || sd_bus_message_read(reply, "hq", &fd, &mtu) < 0) {
                finish(*characteristic,
                       outcome.ok() ? CallOutcome{"org.bluez.Error.Failed", "No socket in the reply."} : outcome);
                return;
            }
            const int own = fcntl(fd, F_DUPFD_CLOEXEC, 3);
            if (own < 0 || !owner->linkUp(device->path)) {
                if (own >= 0) ::close(own);
                finish(*characteristic, {"org.bluez.Error.NotConnected", "The link to the device was lost."});
                return;
            }
            characteristic->fd = own;
            characteristic->mtu = mtu;
            characteristic->mode = CharacteristicLink::Mode::Socket;
            watchSocket(*owner, device, characteristic);
            finish(*characteristic, {});
        },
        platform.timing().callTimeout);
}

void stop(BluezPlatform& platform, const std::shared_ptr<CharacteristicLink>& characteristic, Done done) {
    characteristic->wanted = false;
    if (characteristic->mode == CharacteristicLink::Mode::Socket) platform.releaseSocket(*characteristic);
    if (characteristic->mode != CharacteristicLink::Mode::Session) {
        done({});
        return;
    }
    characteristic->mode = CharacteristicLink::Mode::Off;
    platform.send(
        characteristic->path(), kGattCharacteristic, "StopNotify", nullptr,
        [done = std::move(done)](sd_bus_message*, const CallOutcome& outcome) { done(outcome); },
        platform.timing().callTimeout);
}

void readSockets(BluezPlatform& platform, const std::shared_ptr<DeviceLink>& device) {
    for (const auto& characteristic : device->characteristics()) {
        if (characteristic->mode == CharacteristicLink::Mode::Socket && characteristic->fd >= 0) {
            readSocket(platform, *device, *characteristic);
        }
    }
}

}  // namespace VexaDevice::BLE::Platform::Bluez::NotifySwitch
