#pragma once
// An emulated command-and-stream device on a fresh simulated radio, the BLE device that opens
// it, fast timings and a recorder of what an event bus publishes.

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "sdk/ble/BLEDevice.hpp"
#include "sdk/devices/common/ProtocolTiming.hpp"
#include "sdk/devices/morvex/MorvexGatt.hpp"
#include "sim/peers/kestrane/CommandStreamPeer.hpp"
#include "sim/radio/SimRadio.hpp"
#include "tests/devices/common/Eventually.hpp"

namespace KestraneTest {

using namespace std::chrono_literals;
using Frames = std::vector<std::vector<uint8_t>>;

inline VexaDevice::Devices::ProtocolTiming fastProtocol()
{
    VexaDevice::Devices::ProtocolTiming timing;
    timing.workerWait = 2ms;
    timing.writeRetryPause = 2ms;
    timing.replyWaitStep = 5ms;
    return timing;
}

inline VexaDevice::BLE::BLEDeviceTiming fastBle()
{
    VexaDevice::BLE::BLEDeviceTiming timing;
    timing.discoveryRetryPause = 1ms;
    timing.disconnectPollInterval = 1ms;
    timing.connectionBus = {1ms, 50};
    return timing;
}

struct StreamRig {
    static constexpr uint64_t Address = 0xC0FFEE000009;

    explicit StreamRig(VexaSim::CommandStreamPeerSettings settings)
        : peer(VexaSim::CommandStreamPeer::attach(*radio, Address, std::move(settings), {4ms}))
    {
    }

    std::shared_ptr<VexaDevice::BLE::BLEDevice> open()
    {
        return VexaDevice::BLE::BLEDevice::create(VexaDevice::BLE::DeviceId::fromUInt64(Address), {}, fastBle());
    }

    static VexaDevice::BLE::ServiceChannels deviceInformation(VexaDevice::BLE::IBLEDevice& device)
    {
        return device.getChannelMap()[VexaDevice::Morvex::DeviceInformationServiceUuid];
    }

    // Frames written since the first `skip`.
    Frames framesAfter(size_t skip) const
    {
        const Frames all = peer->commandFrames();
        return skip < all.size() ? Frames(all.begin() + static_cast<std::ptrdiff_t>(skip), all.end()) : Frames{};
    }

    std::shared_ptr<VexaSim::SimRadio> radio = VexaSim::SimRadio::create();
    VexaSim::SimRadioInstallation installation{radio};
    std::shared_ptr<VexaSim::CommandStreamPeer> peer;
};

// Everything one bus publishes; for buses of record batches, the records one after another.
template <class Payload>
class Recorder {
public:
    template <class Bus>
    explicit Recorder(const std::weak_ptr<Bus>& bus)
    {
        bus.lock()->subscribe(subscriber_);
    }

    std::vector<Payload> events()
    {
        std::lock_guard lock(state_->mutex);
        return state_->events;
    }

    auto records()
    {
        std::vector<typename Payload::value_type> all;
        for (const Payload& batch : events())
            all.insert(all.end(), batch.begin(), batch.end());
        return all;
    }

    size_t count()
    {
        std::lock_guard lock(state_->mutex);
        return state_->events.size();
    }

    void clear()
    {
        std::lock_guard lock(state_->mutex);
        state_->events.clear();
    }

    // Waits until the records (or events) number at least `n`.
    bool atLeast(size_t n)
    {
        return DevicesTest::eventually([&] {
            if constexpr (requires { typename Payload::value_type; })
                return records().size() >= n;
            else
                return count() >= n;
        });
    }

private:
    struct State {
        std::mutex mutex;
        std::vector<Payload> events;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
    std::shared_ptr<std::function<void(Payload)>> subscriber_ =
        std::make_shared<std::function<void(Payload)>>([state = state_](Payload value) {
            std::lock_guard lock(state->mutex);
            state->events.push_back(std::move(value));
        });
};

}  // namespace KestraneTest
