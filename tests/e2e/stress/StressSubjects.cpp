#include "tests/e2e/stress/StressSubject.hpp"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "sdk/core/ConversionTables.hpp"
#include "sim/peers/kestrane/CommandStreamPeer.hpp"
#include "sim/peers/kestrane/CommandStreamPeerModel.hpp"
#include "sim/peers/morvex/MorvexPeer.hpp"
#include "sim/peers/morvex2/Morvex2Peer.hpp"
#include "sim/peers/morvexblack/MorvexBlackPeer.hpp"

namespace StressTest {

using namespace std::chrono_literals;
using VexaSim::CommandStreamPeerModel;

Subject::Subject(uint64_t address, uint8_t family, uint8_t model, Tally& tally, uint64_t packModulus)
    : signalOrder_(packModulus), resistOrder_(packModulus), address_(address), family_(family), model_(model),
      tally_(tally)
{
}

_SensorInfo Subject::info() const
{
    _SensorInfo info{};
    info.SensFamily = family_;
    info.SensModel = model_;
    std::snprintf(info.Address, sizeof(info.Address), "%02X:%02X:%02X:%02X:%02X:%02X",
                  static_cast<unsigned>(address_ >> 40 & 0xFF), static_cast<unsigned>(address_ >> 32 & 0xFF),
                  static_cast<unsigned>(address_ >> 24 & 0xFF), static_cast<unsigned>(address_ >> 16 & 0xFF),
                  static_cast<unsigned>(address_ >> 8 & 0xFF), static_cast<unsigned>(address_ & 0xFF));
    return info;
}

std::string Subject::name() const
{
    return "family " + std::to_string(family_) + " at " + info().Address;
}

void Subject::restartStreams()
{
    signalOrder_.restart();
    resistOrder_.restart();
}

void Subject::freeFromNextCall(std::function<bool()> release)
{
    std::lock_guard lock(releaseMutex_);
    release_ = std::move(release);
}

void Subject::maybeFreeHere()
{
    std::function<bool()> release;
    {
        std::lock_guard lock(releaseMutex_);
        release = release_;
    }
    if (release && release()) {
        std::lock_guard lock(releaseMutex_);
        release_ = nullptr;
        ++tally_.freesFromCallbacks;
    }
}

bool Subject::checkOrder(uint32_t packNum, PackOrder& order, const char* stream)
{
    return check(order.accept(packNum),
                 [&] { return std::string(stream) + " pack " + std::to_string(packNum) + " repeats or goes back"; });
}

namespace {

constexpr auto PackPeriod = std::chrono::microseconds(2000);
constexpr uint64_t Wide = uint64_t{1} << 32;

// Whether `value` is the device's `ohms` within `tolerance` (relative), or no measurement yet.
bool resistanceOf(double value, double ohms, double tolerance)
{
    return std::isinf(value) || std::abs(value - ohms) <= ohms * tolerance;
}

std::string describeResistance(const MorvexResistRecord& r)
{
    return "resistance O1 " + std::to_string(r.O1) + ", T3 " + std::to_string(r.T3) + ", T4 " +
           std::to_string(r.T4) + ", O2 " + std::to_string(r.O2) + " is not the device's";
}

// Volts of a count of the 24-bit amplifiers at `gainFactor`.
double volts24(int32_t count, double gainFactor)
{
    return count * static_cast<double>(2.4f) / (8388607.0 * gainFactor);
}

// The same volts but for the rounding of the conversion.
bool equalVolts(double value, double expected)
{
    return std::abs(value - expected) <= 1e-12;
}

// Reads the gain the sensor decodes with; NaN when it cannot be read.
double gainFactorOf(_Sensor* sensor)
{
    CallStatus status{};
    uint8_t gain = 0;
    if (readGainSensor(sensor, &gain, &status) == 0)
        return std::nan("");
    return VexaDevice::Utility::gainToFactor(gain);
}

// Adds a data function with its removal, or reports why it could not be added.
template <class Handle, class Add, class Remove>
void registerWith(Add add, Remove remove, std::vector<Removal>& removals, Tally& tally, const std::string& what)
{
    Handle* handle = nullptr;
    CallStatus status{};
    if (add(&handle, &status) == 1 && handle != nullptr) {
        removals.push_back([handle, remove] { remove(handle); });
        return;
    }
    // A registration fails only for a family that lacks the data.
    tally.check(false, [&] { return what + " could not be registered: " + status.ErrorMsg; });
}

// First-generation Morvex: records in pairs per pack, counts of a triangle wave, resistance of
// each electrode in turn.
class MorvexSubject final : public Subject {
public:
    MorvexSubject(VexaSim::SimRadio& radio, uint64_t address, Tally& tally)
        : Subject(address, SensorFamilyMorvex, 0, tally, 2048),
          tally_(tally),
          peer_(VexaSim::MorvexPeer::attach(radio, address, settings_, {PackPeriod, 2}))
    {
    }

    VexaSim::SimPeripheral& peripheral() const override { return *peer_->peripheral(); }
    PeerMode mode() const override
    {
        switch (peer_->state()) {
        case VexaSim::MorvexPeerModel::SignalState:
            return PeerMode::Signal;
        case VexaSim::MorvexPeerModel::ResistState:
            return PeerMode::Resist;
        default:
            return PeerMode::Idle;
        }
    }
    void setSilent(bool silent) override { peer_->setSilent(silent); }
    void setRefusal(uint8_t error) override { peer_->setRefusal(error); }
    void setIgnoring(bool ignoring) override { peer_->setIgnoring(ignoring); }
    int32_t battery() const override { return settings_.battery; }
    std::string serialNumber() const override { return settings_.serialNumber; }

    void watch(_Sensor* sensor, std::vector<Removal>& removals) override
    {
        factor_ = gainFactorOf(sensor);
        registerWith<DualCallbackHandle>(
            [&](DualCallbackHandle** handle, CallStatus* status) {
                return addSignalDataCallbackMorvex(sensor, &MorvexSubject::signal, handle, this, status);
            },
            removeSignalDataCallbackMorvex, removals, tally_, name() + " signal");
        registerWith<DualCallbackHandle>(
            [&](DualCallbackHandle** handle, CallStatus* status) {
                return addResistCallbackMorvex(sensor, &MorvexSubject::resist, handle, this, status);
            },
            removeResistCallbackMorvex, removals, tally_, name() + " resistance");
    }

private:
    static int32_t toCount(double volts, double factor)
    {
        return static_cast<int32_t>(std::llround(volts * factor * 1048575.0 / 2.4));
    }

    bool isSample(const MorvexSignalRecord& r, int sample, double factor) const
    {
        using Model = VexaSim::MorvexPeerModel;
        return toCount(r.O1, factor) == Model::signalCount(0, r.PackNum, sample) &&
               toCount(r.T3, factor) == Model::signalCount(1, r.PackNum, sample) &&
               toCount(r.T4, factor) == Model::signalCount(2, r.PackNum, sample) &&
               toCount(r.O2, factor) == Model::signalCount(3, r.PackNum, sample);
    }

    static void signal(_Sensor*, MorvexSignalRecord* records, uint32_t count, void* user)
    {
        auto* self = static_cast<MorvexSubject*>(user);
        self->maybeFreeHere();
        const double factor = self->factor_;
        for (uint32_t i = 0; i < count; ++i) {
            const MorvexSignalRecord& r = records[i];
            // Both records of a pack carry its number.
            if (i % 2 == 0)
                self->checkOrder(r.PackNum, self->signalOrder_, "signal");
            self->check(r.Marker == (r.PackNum % VexaSim::MorvexPeerModel::MarkerPeriod == 0 ? 1 : 0),
                        [&] { return "marker of pack " + std::to_string(r.PackNum); });
            self->check(std::isnan(factor) || self->isSample(r, 0, factor) || self->isSample(r, 1, factor), [&] {
                return "signal record of pack " + std::to_string(r.PackNum) + " is not the device's";
            });
        }
        self->countRecords(count);
    }

    static void resist(_Sensor*, MorvexResistRecord* r, void* user)
    {
        auto* self = static_cast<MorvexSubject*>(user);
        self->maybeFreeHere();
        const auto& ohms = self->settings_.resistanceOhms;
        self->check(resistanceOf(r->O1, ohms[0], 0.005) && resistanceOf(r->T3, ohms[1], 0.005) &&
                        resistanceOf(r->T4, ohms[2], 0.005) && resistanceOf(r->O2, ohms[3], 0.005),
                    [&] { return describeResistance(*r); });
        self->countRecords(1);
    }

    Tally& tally_;
    const VexaSim::MorvexPeerSettings settings_{};
    const std::shared_ptr<VexaSim::MorvexPeer> peer_;
    std::atomic<double> factor_{0};
};

// The first MorvexBlack variant: records of its sawtooth in the device's channel order O1, T3,
// T4, O2, and resistance from the windows it streams in resistance mode.
class MorvexBlackSubject final : public Subject {
public:
    MorvexBlackSubject(VexaSim::SimRadio& radio, uint64_t address, Tally& tally)
        : Subject(address, SensorFamilyMorvexBlack, 0, tally, 65536),
          tally_(tally),
          peer_(VexaSim::MorvexBlackPeer::attach(radio, address, settings_, {PackPeriod}))
    {
    }

    VexaSim::SimPeripheral& peripheral() const override { return *peer_->peripheral(); }
    PeerMode mode() const override { return modeOfStatus(peer_->mode()); }
    void setSilent(bool silent) override { peer_->setSilent(silent); }
    void setRefusal(uint8_t error) override { peer_->setRefusal(error); }
    void setIgnoring(bool ignoring) override { peer_->setIgnoring(ignoring); }
    int32_t battery() const override { return settings_.battery; }
    std::string serialNumber() const override { return settings_.information.serialNumber; }

    void watch(_Sensor* sensor, std::vector<Removal>& removals) override
    {
        factor_ = gainFactorOf(sensor);
        registerWith<DualCallbackHandle>(
            [&](DualCallbackHandle** handle, CallStatus* status) {
                return addSignalDataCallbackMorvex(sensor, &MorvexBlackSubject::signal, handle, this, status);
            },
            removeSignalDataCallbackMorvex, removals, tally_, name() + " signal");
        registerWith<DualCallbackHandle>(
            [&](DualCallbackHandle** handle, CallStatus* status) {
                return addResistCallbackMorvex(sensor, &MorvexBlackSubject::resist, handle, this, status);
            },
            removeResistCallbackMorvex, removals, tally_, name() + " resistance");
    }

    // Mode byte of the command-and-stream statuses: 3 signal, 4 resistance, 5 both.
    static PeerMode modeOfStatus(uint8_t mode)
    {
        return mode == 3 ? PeerMode::Signal : mode == 4 ? PeerMode::Resist : PeerMode::Idle;
    }

private:
    static void signal(_Sensor*, MorvexSignalRecord* records, uint32_t count, void* user)
    {
        auto* self = static_cast<MorvexBlackSubject*>(user);
        self->maybeFreeHere();
        const double factor = self->factor_;
        for (uint32_t i = 0; i < count; ++i) {
            const MorvexSignalRecord& r = records[i];
            self->checkOrder(r.PackNum, self->signalOrder_, "signal");
            const auto near = [&](double value, uint32_t channel) {
                return std::isnan(factor) ||
                       equalVolts(value, volts24(CommandStreamPeerModel::signalCount(channel, r.PackNum), factor));
            };
            self->check(near(r.O1, 0) && near(r.T3, 1) && near(r.T4, 2) && near(r.O2, 3), [&] {
                return "signal record " + std::to_string(r.PackNum) + " is not the device's: O1 " +
                       std::to_string(r.O1) + " (device " +
                       std::to_string(volts24(CommandStreamPeerModel::signalCount(0, r.PackNum), factor)) +
                       "), T3 " + std::to_string(r.T3) + ", T4 " + std::to_string(r.T4) + ", O2 " +
                       std::to_string(r.O2);
            });
        }
        self->countRecords(count);
    }

    static void resist(_Sensor*, MorvexResistRecord* r, void* user)
    {
        auto* self = static_cast<MorvexBlackSubject*>(user);
        self->maybeFreeHere();
        const auto& ohms = self->settings_.resistanceOhms;
        self->check(resistanceOf(r->O1, ohms[0], 1e-4) && resistanceOf(r->T3, ohms[1], 1e-4) &&
                        resistanceOf(r->T4, ohms[2], 1e-4) && resistanceOf(r->O2, ohms[3], 1e-4),
                    [&] { return describeResistance(*r); });
        self->countRecords(1);
    }

    Tally& tally_;
    const VexaSim::MorvexBlackPeerSettings settings_{};
    const std::shared_ptr<VexaSim::MorvexBlackPeer> peer_;
    std::atomic<double> factor_{0};
};

// A Morvex2-class device (model '0', variant 2): records with value arrays at the start-up gain.
class Morvex2Subject final : public Subject {
public:
    Morvex2Subject(VexaSim::SimRadio& radio, uint64_t address, Tally& tally)
        : Subject(address, SensorFamilyMorvex2Model2, 2, tally, Wide),
          tally_(tally),
          settings_(VexaSim::morvex2Settings('0', 2)),
          peer_(VexaSim::CommandStreamPeer::attach(radio, address, settings_, {PackPeriod}))
    {
    }

    VexaSim::SimPeripheral& peripheral() const override { return *peer_->peripheral(); }
    PeerMode mode() const override { return MorvexBlackSubject::modeOfStatus(peer_->mode()); }
    void setSilent(bool silent) override { peer_->setSilent(silent); }
    void setRefusal(uint8_t error) override { peer_->setRefusal(error); }
    void setIgnoring(bool ignoring) override { peer_->setIgnoring(ignoring); }
    int32_t battery() const override { return settings_.battery; }
    std::string serialNumber() const override { return settings_.information.serialNumber; }

    void watch(_Sensor* sensor, std::vector<Removal>& removals) override
    {
        registerWith<CallbackHandle>(
            [&](CallbackHandle** handle, CallStatus* status) {
                return addSignalCallbackMorvex2(sensor, &Morvex2Subject::signal, handle, this, status);
            },
            removeSignalCallbackMorvex2, removals, tally_, name() + " signal");
        registerWith<CallbackHandle>(
            [&](CallbackHandle** handle, CallStatus* status) {
                return addResistCallbackMorvex2(sensor, &Morvex2Subject::resist, handle, this, status);
            },
            removeResistCallbackMorvex2, removals, tally_, name() + " resistance");
    }

private:
    static constexpr double StartUpGain = 6;
    static constexpr double ResistanceLimit = 4e6;

    static void signal(_Sensor*, SignalChannelsRecord* records, uint32_t count, void* user)
    {
        auto* self = static_cast<Morvex2Subject*>(user);
        self->maybeFreeHere();
        for (uint32_t i = 0; i < count; ++i) {
            const SignalChannelsRecord& r = records[i];
            self->checkOrder(r.PackNum, self->signalOrder_, "signal");
            bool same = r.SampleCount == self->settings_.channels;
            for (uint32_t ch = 0; same && ch < r.SampleCount; ++ch)
                same = equalVolts(r.Samples[ch], volts24(CommandStreamPeerModel::signalCount(ch, r.PackNum), StartUpGain));
            self->check(same, [&] {
                std::string values;
                for (uint32_t ch = 0; ch < r.SampleCount; ++ch)
                    values += " " + std::to_string(r.Samples[ch]) + " (device " +
                              std::to_string(volts24(CommandStreamPeerModel::signalCount(ch, r.PackNum), StartUpGain)) +
                              ")";
                return "signal record " + std::to_string(r.PackNum) + " is not the device's:" + values;
            });
        }
        self->countRecords(count);
    }

    static void resist(_Sensor*, ResistChannelsRecord* records, uint32_t count, void* user)
    {
        auto* self = static_cast<Morvex2Subject*>(user);
        self->maybeFreeHere();
        const auto& ohms = self->settings_.resistanceOhms;
        for (uint32_t i = 0; i < count; ++i) {
            const ResistChannelsRecord& r = records[i];
            self->checkOrder(r.PackNum, self->resistOrder_, "resistance");
            bool same = r.ValueCount == self->settings_.channels;
            for (uint32_t ch = 0; same && ch < r.ValueCount; ++ch)
                same = std::isinf(r.Values[ch]) ? ohms[ch] > ResistanceLimit : r.Values[ch] == ohms[ch];
            self->check(same,
                        [&] { return "resistance record " + std::to_string(r.PackNum) + " is not the device's"; });
        }
        self->countRecords(count);
    }

    Tally& tally_;
    const VexaSim::CommandStreamPeerSettings settings_;
    const std::shared_ptr<VexaSim::CommandStreamPeer> peer_;
};

}  // namespace

std::vector<std::unique_ptr<Subject>> makeSubjects(VexaSim::SimRadio& radio, uint64_t first, Tally& tally)
{
    using Maker = std::unique_ptr<Subject> (*)(VexaSim::SimRadio&, uint64_t, Tally&);
    const std::vector<Maker> families{
        [](VexaSim::SimRadio& r, uint64_t a, Tally& t) -> std::unique_ptr<Subject> {
            return std::make_unique<MorvexSubject>(r, a, t);
        },
        [](VexaSim::SimRadio& r, uint64_t a, Tally& t) -> std::unique_ptr<Subject> {
            return std::make_unique<MorvexBlackSubject>(r, a, t);
        },
        [](VexaSim::SimRadio& r, uint64_t a, Tally& t) -> std::unique_ptr<Subject> {
            return std::make_unique<Morvex2Subject>(r, a, t);
        },
    };
    // Eight devices, the families taking turns.
    std::vector<std::unique_ptr<Subject>> subjects;
    for (uint64_t i = 0; i < 8; ++i)
        subjects.push_back(families[i % families.size()](radio, first + i, tally));
    return subjects;
}

}  // namespace StressTest
