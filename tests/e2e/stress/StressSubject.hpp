#pragma once
// One emulated device of a fault-stress run, seen from both sides: the peer on the simulated
// radio (its mode, its fault switches, the waveform it sends) and the host's view of it through
// the exported functions (the data functions that check every record they are given).
//
// A family joins the run with one Subject subclass (most derive from PeerSubject, which holds
// the emulated device and its settings) and a line in makeSubjects().

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "sdk/api/include/ambrelkit2.h"
#include "sim/peers/common/PeerBase.hpp"
#include "sim/radio/SimRadio.hpp"
#include "tests/e2e/stress/StressTally.hpp"

namespace StressTest {

// Every emulated device of the run sends one pack a period.
inline constexpr auto PackPeriod = std::chrono::microseconds(2000);

// Pack numbers of one stream: never repeated or going back, except that a stream the device
// starts again counts from zero. A number tells forward from back only within half the
// counter's turn: after a longer silence (a link down while the device went on counting) any
// number may come next.
class PackOrder {
public:
    explicit PackOrder(uint64_t modulus) : modulus_(modulus) {}

    // False when `packNum` repeats or goes back.
    bool accept(uint32_t packNum) {
        std::lock_guard lock(mutex_);
        const auto now = std::chrono::steady_clock::now();
        const std::optional<uint64_t> previous = previous_;
        const auto silence = now - std::exchange(previousAt_, now);
        previous_ = packNum;
        if (!previous || now < lenientUntil_ || silence >= halfTurn()) return true;
        const uint64_t forward = (packNum + modulus_ - *previous % modulus_) % modulus_;
        return (forward > 0 && forward < modulus_ / 2) || packNum < RestartWindow;
    }

    // The records delivered from now on come to another registration: a delivery to the one
    // before may still be finishing, in any order with the new one's.
    void restart() {
        std::lock_guard lock(mutex_);
        previous_.reset();
        lenientUntil_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    }

private:
    std::chrono::microseconds halfTurn() const {
        return PackPeriod * static_cast<int64_t>(std::min<uint64_t>(modulus_ / 2, INT32_MAX));
    }

    // A stream started again begins at zero; the first packs may have been lost.
    static constexpr uint32_t RestartWindow = 256;
    const uint64_t modulus_;
    std::mutex mutex_;
    std::optional<uint64_t> previous_;
    std::chrono::steady_clock::time_point previousAt_{};
    std::chrono::steady_clock::time_point lenientUntil_{};
};

enum class PeerMode { Idle, Signal, Resist };

// A removal of one data-function registration.
using Removal = std::function<void()>;

// The commands most families take: their signal and resistance starts and stops.
inline constexpr int32_t StreamCommands[] = {SensorCommandStartSignal, SensorCommandStopSignal,
                                             SensorCommandStartResist, SensorCommandStopResist};

class Subject {
public:
    // Pack numbers of the family's streams count modulo `packModulus`.
    Subject(uint64_t address, uint8_t family, uint8_t model, Tally& tally, uint64_t packModulus);
    virtual ~Subject() = default;
    Subject(const Subject&) = delete;
    Subject& operator=(const Subject&) = delete;

    uint64_t address() const { return address_; }
    uint8_t family() const { return family_; }
    // The record a host passes to createSensor.
    _SensorInfo info() const;
    std::string name() const;

    virtual VexaSim::SimPeripheral& peripheral() const = 0;
    virtual PeerMode mode() const = 0;
    virtual void setSilent(bool silent) = 0;
    virtual void setRefusal(uint8_t error) = 0;
    virtual void setIgnoring(bool ignoring) = 0;
    // What the device reports, for checking successful reads.
    virtual int32_t battery() const = 0;
    virtual std::string serialNumber() const = 0;

    // The commands the run sends this device.
    virtual std::span<const int32_t> commands() const { return StreamCommands; }
    // Whether the device now shows the effect of `command`, which just succeeded.
    virtual bool shows(int32_t command) const;
    // The device's state in words, for a command whose effect it does not show.
    virtual std::string describeState() const;

    // A sensor was created: registers the family's data functions, each checking every record
    // against what the device sends. `removals` receives one removal per registration.
    virtual void watch(_Sensor* sensor, std::vector<Removal>& removals) = 0;

    // The sensor whose records arrive next is new.
    void restartStreams();
    // When set, the next data call frees this sensor from inside the call (once).
    // `release` answers whether it could free it now (else the next call tries again).
    void freeFromNextCall(std::function<bool()> release);

protected:
    // Called first thing in every data function: the free asked for, if any.
    void maybeFreeHere();
    bool checkOrder(uint32_t packNum, PackOrder& order, const char* stream);
    // Counts a check; `describe` (called on failure only) says what went wrong.
    template <class Describe>
    bool check(bool holds, Describe describe) {
        return tally_.check(holds, [&] { return name() + ": " + describe(); });
    }
    void countRecords(uint64_t count) { tally_.recordsChecked += count; }

    // Registers `callback` (with this subject as its user pointer) through `add`, with its
    // removal through `remove`; a registration fails only for a family that lacks the data.
    template <class Callback, class Handle>
    void listen(_Sensor* sensor, uint8_t (*add)(_Sensor*, Callback, Handle**, void*, CallStatus*), Callback callback,
                void (*remove)(Handle*), std::vector<Removal>& removals, const char* what) {
        Handle* handle = nullptr;
        CallStatus status{};
        if (add(sensor, callback, &handle, this, &status) == 1 && handle != nullptr) {
            removals.push_back([handle, remove] { remove(handle); });
            return;
        }
        check(false, [&] { return std::string(what) + " could not be registered: " + status.ErrorMsg; });
    }

    PackOrder signalOrder_;
    PackOrder resistOrder_;

private:
    const uint64_t address_;
    const uint8_t family_;
    const uint8_t model_;
    Tally& tally_;
    std::mutex releaseMutex_;
    std::function<bool()> release_;
};

// The wire model of an emulated device.
template <class Model>
Model modelOf(const VexaSim::PeerBase<Model>&);

// A subject of one emulated device: the device's settings, then the device made of them on the
// radio, whose fault switches it forwards (those its model has; a device without one simply
// never shows that fault).
template <class Peer, class Settings>
class PeerSubject : public Subject {
    using Model = decltype(modelOf(std::declval<const Peer&>()));

public:
    VexaSim::SimPeripheral& peripheral() const override { return *peer_->peripheral(); }
    void setSilent(bool silent) override {
        if constexpr (requires(Model & model) { model.setSilent(silent); }) peer_->setSilent(silent);
    }
    void setRefusal(uint8_t error) override {
        if constexpr (requires(Model & model) { model.setRefusal(error); }) peer_->setRefusal(error);
    }
    void setIgnoring(bool ignoring) override {
        if constexpr (requires(Model & model) { model.setIgnoring(ignoring); }) peer_->setIgnoring(ignoring);
    }

protected:
    template <class Attach>
    PeerSubject(uint64_t address, uint8_t family, uint8_t model, Tally& tally, uint64_t packModulus, Settings settings,
                Attach attach)
        : Subject(address, family, model, tally, packModulus),
          settings_(std::move(settings)),
          peer_(attach(settings_)) {}

    const Settings settings_;
    const std::shared_ptr<Peer> peer_;
};

// Every device of the run: each built family, emulated on `radio`, at addresses from `first`.
std::vector<std::unique_ptr<Subject>> makeSubjects(VexaSim::SimRadio& radio, uint64_t first, Tally& tally);

}  // namespace StressTest
