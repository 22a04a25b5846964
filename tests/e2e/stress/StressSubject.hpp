#pragma once
// One emulated device of a fault-stress run, seen from both sides: the peer on the simulated
// radio (its mode, its fault switches, the waveform it sends) and the host's view of it through
// the exported functions (the data functions that check every record they are given).
//
// A family joins the run with one Subject subclass in StressSubjects.cpp and a line in
// makeSubjects().

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sdk/api/include/ambrelkit2.h"
#include "sim/radio/SimRadio.hpp"
#include "tests/e2e/stress/StressTally.hpp"

namespace StressTest {

// Pack numbers of one stream: never repeated or going back, except that a stream the device
// starts again counts from zero.
class PackOrder {
public:
    explicit PackOrder(uint64_t modulus) : modulus_(modulus) {}

    // False when `packNum` repeats or goes back.
    bool accept(uint32_t packNum)
    {
        std::lock_guard lock(mutex_);
        const std::optional<uint64_t> previous = previous_;
        previous_ = packNum;
        if (!previous || std::chrono::steady_clock::now() < lenientUntil_)
            return true;
        const uint64_t forward = (packNum + modulus_ - *previous % modulus_) % modulus_;
        return (forward > 0 && forward < modulus_ / 2) || packNum < RestartWindow;
    }

    // The records delivered from now on come to another registration: a delivery to the one
    // before may still be finishing, in any order with the new one's.
    void restart()
    {
        std::lock_guard lock(mutex_);
        previous_.reset();
        lenientUntil_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    }

private:
    // A stream started again begins at zero; the first packs may have been lost.
    static constexpr uint32_t RestartWindow = 256;
    const uint64_t modulus_;
    std::mutex mutex_;
    std::optional<uint64_t> previous_;
    std::chrono::steady_clock::time_point lenientUntil_{};
};

enum class PeerMode { Idle, Signal, Resist };

// A removal of one data-function registration.
using Removal = std::function<void()>;

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
    bool check(bool holds, Describe describe)
    {
        return tally_.check(holds, [&] { return name() + ": " + describe(); });
    }
    void countRecords(uint64_t count) { tally_.recordsChecked += count; }

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

// Every device of the run: each built family, emulated on `radio`, at addresses from `first`.
std::vector<std::unique_ptr<Subject>> makeSubjects(VexaSim::SimRadio& radio, uint64_t first, Tally& tally);

}  // namespace StressTest
