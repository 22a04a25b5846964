#include "tests/e2e/stress/StressSubject.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "sdk/core/ConversionTables.hpp"
#include "sim/peers/dravik/DravikPeer.hpp"
#include "sim/peers/kestrane/CommandStreamPeer.hpp"
#include "sim/peers/kestrane/CommandStreamPeerModel.hpp"
#include "sim/peers/lorrel/LorrelPeer.hpp"
#include "sim/peers/morvex/MorvexPeer.hpp"
#include "sim/peers/morvex2/Morvex2Peer.hpp"
#include "sim/peers/morvexblack/MorvexBlackPeer.hpp"
#include "sim/peers/photostim/PhotoStimPeer.hpp"
#include "sim/peers/tessel/TesselPeer.hpp"
#include "sim/peers/vondra/VondraPeer.hpp"
#include "sim/peers/wrenlet/WrenletPeer.hpp"

namespace StressTest {

using namespace std::chrono_literals;
using VexaSim::CommandStreamPeerModel;

Subject::Subject(uint64_t address, uint8_t family, uint8_t model, Tally& tally, uint64_t packModulus)
    : signalOrder_(packModulus),
      resistOrder_(packModulus),
      address_(address),
      family_(family),
      model_(model),
      tally_(tally) {}

_SensorInfo Subject::info() const {
    _SensorInfo info{};
    info.SensFamily = family_;
    info.SensModel = model_;
    std::snprintf(info.Address, sizeof(info.Address), "%02X:%02X:%02X:%02X:%02X:%02X",
                  static_cast<unsigned>(address_ >> 40 & 0xFF), static_cast<unsigned>(address_ >> 32 & 0xFF),
                  static_cast<unsigned>(address_ >> 24 & 0xFF), static_cast<unsigned>(address_ >> 16 & 0xFF),
                  static_cast<unsigned>(address_ >> 8 & 0xFF), static_cast<unsigned>(address_ & 0xFF));
    return info;
}

std::string Subject::name() const { return "family " + std::to_string(family_) + " at " + info().Address; }

void Subject::restartStreams() {
    signalOrder_.restart();
    resistOrder_.restart();
}

void Subject::freeFromNextCall(std::function<bool()> release) {
    std::lock_guard lock(releaseMutex_);
    release_ = std::move(release);
}

void Subject::maybeFreeHere() {
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

bool Subject::checkOrder(uint32_t packNum, PackOrder& order, const char* stream) {
    return check(order.accept(packNum),
                 [&] { return std::string(stream) + " pack " + std::to_string(packNum) + " repeats or goes back"; });
}

bool Subject::shows(int32_t command) const {
    const PeerMode now = mode();
    switch (command) {
    case SensorCommandStartSignal: return now == PeerMode::Signal;
    case SensorCommandStopSignal: return now != PeerMode::Signal;
    case SensorCommandStartResist: return now == PeerMode::Resist;
    default: return now != PeerMode::Resist;
    }
}

std::string Subject::describeState() const { return "mode " + std::to_string(static_cast<int>(mode())); }

namespace {

constexpr uint64_t Wide = uint64_t{1} << 32;
const double Infinity = std::numeric_limits<double>::infinity();

// Whether `value` is the device's `ohms` within `tolerance` (relative), or no measurement yet.
bool resistanceOf(double value, double ohms, double tolerance) {
    return std::isinf(value) || std::abs(value - ohms) <= ohms * tolerance;
}

// A resistance record of the four electrodes O1, T3, T4, O2 (the device's order) against its ohms.
template <class Record, class Ohms>
bool electrodesOf(const Record& r, const Ohms& ohms, double tolerance) {
    return resistanceOf(r.O1, ohms[0], tolerance) && resistanceOf(r.T3, ohms[1], tolerance) &&
           resistanceOf(r.T4, ohms[2], tolerance) && resistanceOf(r.O2, ohms[3], tolerance);
}

template <class Record>
std::string describeResistance(const Record& r) {
    return "resistance O1 " + std::to_string(r.O1) + ", T3 " + std::to_string(r.T3) + ", T4 " + std::to_string(r.T4) +
           ", O2 " + std::to_string(r.O2) + " is not the device's";
}

// What a command-and-stream device reports for a channel's raw ohms: below 0 and above 4 MOhm lie
// outside what it measures.
double reportedOhms(double ohms) { return ohms < 0 || ohms > 4e6 ? Infinity : ohms; }

// Volts of a count of the 24-bit amplifiers at `gainFactor`.
double volts24(int32_t count, double gainFactor, double reference = static_cast<double>(2.4f)) {
    return count * reference / (8388607.0 * gainFactor);
}

// The same volts but for the rounding of the conversion.
bool equalVolts(double value, double expected) { return std::abs(value - expected) <= 1e-12; }

// Reads the gain the sensor decodes with; NaN when it cannot be read.
double gainFactorOf(_Sensor* sensor) {
    CallStatus status{};
    uint8_t gain = 0;
    if (readGainSensor(sensor, &gain, &status) == 0) return std::nan("");
    return VexaDevice::Utility::gainToFactor(gain);
}

// Mode byte of the command-and-stream statuses: 3 signal, 4 resistance, 5 both.
PeerMode modeOfStatus(uint8_t mode) {
    return mode == 3 ? PeerMode::Signal : mode == 4 ? PeerMode::Resist : PeerMode::Idle;
}

// A device whose status carries the mode byte of the command-and-stream devices.
template <class Peer, class Settings>
class StatusModeSubject : public PeerSubject<Peer, Settings> {
public:
    using PeerSubject<Peer, Settings>::PeerSubject;

    PeerMode mode() const override { return modeOfStatus(this->peer_->mode()); }
    int32_t battery() const override { return this->settings_.battery; }
    std::string serialNumber() const override { return this->settings_.information.serialNumber; }
};

// First-generation Morvex: records in pairs per pack, counts of a triangle wave, resistance of
// each electrode in turn.
class MorvexSubject final : public PeerSubject<VexaSim::MorvexPeer, VexaSim::MorvexPeerSettings> {
public:
    MorvexSubject(VexaSim::SimRadio& radio, uint64_t address, Tally& tally)
        : PeerSubject(address, SensorFamilyMorvex, 0, tally, 2048, {}, [&](const VexaSim::MorvexPeerSettings& s) {
              return VexaSim::MorvexPeer::attach(radio, address, s, {PackPeriod, 2});
          }) {}

    PeerMode mode() const override {
        switch (peer_->state()) {
        case VexaSim::MorvexPeerModel::SignalState: return PeerMode::Signal;
        case VexaSim::MorvexPeerModel::ResistState: return PeerMode::Resist;
        default: return PeerMode::Idle;
        }
    }
    int32_t battery() const override { return settings_.battery; }
    std::string serialNumber() const override { return settings_.serialNumber; }

    void watch(_Sensor* sensor, std::vector<Removal>& removals) override {
        factor_ = gainFactorOf(sensor);
        listen(sensor, addSignalDataCallbackMorvex, &MorvexSubject::signal, removeSignalDataCallbackMorvex, removals,
               "signal");
        listen(sensor, addResistCallbackMorvex, &MorvexSubject::resist, removeResistCallbackMorvex, removals,
               "resistance");
    }

private:
    static int32_t toCount(double volts, double factor) {
        return static_cast<int32_t>(std::llround(volts * factor * 1048575.0 / 2.4));
    }

    bool isSample(const MorvexSignalRecord& r, int sample, double factor) const {
        using Model = VexaSim::MorvexPeerModel;
        return toCount(r.O1, factor) == Model::signalCount(0, r.PackNum, sample) &&
               toCount(r.T3, factor) == Model::signalCount(1, r.PackNum, sample) &&
               toCount(r.T4, factor) == Model::signalCount(2, r.PackNum, sample) &&
               toCount(r.O2, factor) == Model::signalCount(3, r.PackNum, sample);
    }

    static void signal(_Sensor*, MorvexSignalRecord* records, uint32_t count, void* user) {
        auto* self = static_cast<MorvexSubject*>(user);
        self->maybeFreeHere();
        const double factor = self->factor_;
        for (uint32_t i = 0; i < count; ++i) {
            const MorvexSignalRecord& r = records[i];
            // Both records of a pack carry its number.
            if (i % 2 == 0) self->checkOrder(r.PackNum, self->signalOrder_, "signal");
            self->check(r.Marker == (VexaSim::MorvexPeerModel::markerOf(r.PackNum) ? 1 : 0),
                        [&] { return "marker of pack " + std::to_string(r.PackNum); });
            self->check(std::isnan(factor) || self->isSample(r, 0, factor) || self->isSample(r, 1, factor),
                        [&] { return "signal record of pack " + std::to_string(r.PackNum) + " is not the device's"; });
        }
        self->countRecords(count);
    }

    static void resist(_Sensor*, MorvexResistRecord* r, void* user) {
        auto* self = static_cast<MorvexSubject*>(user);
        self->maybeFreeHere();
        self->check(electrodesOf(*r, self->settings_.resistanceOhms, 0.005), [&] { return describeResistance(*r); });
        self->countRecords(1);
    }

    std::atomic<double> factor_{0};
};

// The older four-channel headbands (the first MorvexBlack variant, the first Lorrel models): records
// of their sawtooth in the device's channel order O1, T3, T4, O2 at the gain the sensor reads, and
// resistance from the windows they stream in resistance mode.
template <class Peer, class Settings>
class HeadbandSubject : public StatusModeSubject<Peer, Settings> {
protected:
    using StatusModeSubject<Peer, Settings>::StatusModeSubject;

    static void signal(_Sensor*, MorvexSignalRecord* records, uint32_t count, void* user) {
        auto* self = static_cast<HeadbandSubject*>(user);
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
                       std::to_string(volts24(CommandStreamPeerModel::signalCount(0, r.PackNum), factor)) + "), T3 " +
                       std::to_string(r.T3) + ", T4 " + std::to_string(r.T4) + ", O2 " + std::to_string(r.O2);
            });
        }
        self->countRecords(count);
    }

    // One resistance record: within `tolerance` of the device's ohms.
    template <class Record>
    void resistance(const Record& r, double tolerance) {
        this->maybeFreeHere();
        this->check(electrodesOf(r, this->settings_.resistanceOhms, tolerance), [&] { return describeResistance(r); });
        this->countRecords(1);
    }

    std::atomic<double> factor_{0};
};

class MorvexBlackSubject final : public HeadbandSubject<VexaSim::MorvexBlackPeer, VexaSim::MorvexBlackPeerSettings> {
public:
    MorvexBlackSubject(VexaSim::SimRadio& radio, uint64_t address, Tally& tally)
        : HeadbandSubject(address, SensorFamilyMorvexBlack, 0, tally, 65536, {},
                          [&](const VexaSim::MorvexBlackPeerSettings& s) {
                              return VexaSim::MorvexBlackPeer::attach(radio, address, s, {PackPeriod});
                          }) {}

    void watch(_Sensor* sensor, std::vector<Removal>& removals) override {
        factor_ = gainFactorOf(sensor);
        listen(sensor, addSignalDataCallbackMorvex, &HeadbandSubject::signal, removeSignalDataCallbackMorvex, removals,
               "signal");
        listen(sensor, addResistCallbackMorvex, &MorvexBlackSubject::resist, removeResistCallbackMorvex, removals,
               "resistance");
    }

private:
    static void resist(_Sensor*, MorvexResistRecord* r, void* user) {
        static_cast<MorvexBlackSubject*>(user)->resistance(*r, 1e-4);
    }
};

// The command-and-stream devices' records: volts of the device's sawtooth at the start-up gain,
// resistance values of the device's ohms.
namespace Checks {

constexpr double StartUpGain = 6;

double sawtoothVolts(uint32_t channel, uint32_t packNum, double reference) {
    return volts24(CommandStreamPeerModel::signalCount(channel, packNum), StartUpGain, reference);
}

// Whether each of the `count` values is the device's sample of record `packNum`.
bool sawtooth(const double* values, uint32_t count, uint32_t packNum, double reference) {
    for (uint32_t ch = 0; ch < count; ++ch)
        if (!equalVolts(values[ch], sawtoothVolts(ch, packNum, reference))) return false;
    return true;
}

std::string describe(const double* values, uint32_t count, uint32_t packNum, double reference) {
    std::string text = "signal record " + std::to_string(packNum) + " is not the device's:";
    for (uint32_t ch = 0; ch < count; ++ch)
        text += " " + std::to_string(values[ch]) + " (device " + std::to_string(sawtoothVolts(ch, packNum, reference)) +
                ")";
    return text;
}

// Whether each of the `count` values is the device's resistance of its channel.
bool ohms(const double* values, uint32_t count, const std::array<int32_t, 8>& device) {
    for (uint32_t ch = 0; ch < count; ++ch)
        if (values[ch] != reportedOhms(device[ch])) return false;
    return true;
}

}  // namespace Checks

// A Lorrel headband: its signal and resistance through the Lorrel functions, whichever protocol
// its model speaks. `Model::resist` checks a resistance record.
template <class Model, class Peer, class Settings>
class LorrelHeadband : public HeadbandSubject<Peer, Settings> {
public:
    void watch(_Sensor* sensor, std::vector<Removal>& removals) override {
        this->factor_ = gainFactorOf(sensor);
        this->listen(sensor, addSignalDataCallbackLorrel, &LorrelHeadband::signal, removeSignalDataCallbackLorrel,
                     removals, "signal");
        this->listen(sensor, addResistCallbackLorrel, &Model::resist, removeResistCallbackLorrel, removals,
                     "resistance");
    }

protected:
    using HeadbandSubject<Peer, Settings>::HeadbandSubject;
};

// The first models (model 2), on their own protocol.
class LorrelSubject final : public LorrelHeadband<LorrelSubject, VexaSim::LorrelPeer, VexaSim::LorrelPeerSettings> {
public:
    LorrelSubject(VexaSim::SimRadio& radio, uint64_t address, Tally& tally)
        : LorrelHeadband(address, SensorFamilyLorrel, 2, tally, 65536, {}, [&](const VexaSim::LorrelPeerSettings& s) {
              return VexaSim::LorrelPeer::attach(radio, address, s, {PackPeriod});
          }) {}

    static void resist(_Sensor*, FourChannelResistRecord* r, void* user) {
        static_cast<LorrelSubject*>(user)->resistance(*r, 1e-4);
    }
};

// The later models, on a Wrenlet protocol (the first from model 3, the second from model 5):
// resistance as the device reports its ohms.
template <VexaSim::WrenletPeerGeneration Generation, uint8_t ModelNumber>
class LorrelWrenletSubject final
    : public LorrelHeadband<LorrelWrenletSubject<Generation, ModelNumber>, VexaSim::CommandStreamPeer,
                            VexaSim::CommandStreamPeerSettings> {
public:
    LorrelWrenletSubject(VexaSim::SimRadio& radio, uint64_t address, Tally& tally)
        : LorrelWrenletSubject::LorrelHeadband(
              address, SensorFamilyLorrel, ModelNumber, tally, 65536, VexaSim::wrenletSettings(Generation, 'P'),
              [&](const VexaSim::CommandStreamPeerSettings& s) {
                  return VexaSim::CommandStreamPeer::attach(radio, address, s, {PackPeriod});
              }) {}

    static void resist(_Sensor*, FourChannelResistRecord* r, void* user) {
        auto* self = static_cast<LorrelWrenletSubject*>(user);
        self->maybeFreeHere();
        const double values[] = {r->O1, r->T3, r->T4, r->O2};
        self->check(Checks::ohms(values, 4, self->settings_.resistanceOhms),
                    [&] { return "resistance record " + std::to_string(r->PackNum) + " is not the device's"; });
        self->countRecords(1);
    }
};

// A Morvex2-class device (model '0', variant 2): records with value arrays at the start-up gain.
class Morvex2Subject final : public StatusModeSubject<VexaSim::CommandStreamPeer, VexaSim::CommandStreamPeerSettings> {
public:
    Morvex2Subject(VexaSim::SimRadio& radio, uint64_t address, Tally& tally)
        : StatusModeSubject(address, SensorFamilyMorvex2Model2, 2, tally, Wide, VexaSim::morvex2Settings('0', 2),
                            [&](const VexaSim::CommandStreamPeerSettings& s) {
                                return VexaSim::CommandStreamPeer::attach(radio, address, s, {PackPeriod});
                            }) {}

    void watch(_Sensor* sensor, std::vector<Removal>& removals) override {
        listen(sensor, addSignalCallbackMorvex2, &Morvex2Subject::signal, removeSignalCallbackMorvex2, removals,
               "signal");
        listen(sensor, addResistCallbackMorvex2, &Morvex2Subject::resist, removeResistCallbackMorvex2, removals,
               "resistance");
    }

private:
    static constexpr double Reference = static_cast<double>(2.4f);

    static void signal(_Sensor*, SignalChannelsRecord* records, uint32_t count, void* user) {
        auto* self = static_cast<Morvex2Subject*>(user);
        self->maybeFreeHere();
        for (uint32_t i = 0; i < count; ++i) {
            const SignalChannelsRecord& r = records[i];
            self->checkOrder(r.PackNum, self->signalOrder_, "signal");
            self->check(r.SampleCount == self->settings_.channels &&
                            Checks::sawtooth(r.Samples, r.SampleCount, r.PackNum, Reference),
                        [&] { return Checks::describe(r.Samples, r.SampleCount, r.PackNum, Reference); });
        }
        self->countRecords(count);
    }

    static void resist(_Sensor*, ResistChannelsRecord* records, uint32_t count, void* user) {
        auto* self = static_cast<Morvex2Subject*>(user);
        self->maybeFreeHere();
        for (uint32_t i = 0; i < count; ++i) {
            const ResistChannelsRecord& r = records[i];
            self->checkOrder(r.PackNum, self->resistOrder_, "resistance");
            self->check(r.ValueCount == self->settings_.channels &&
                            Checks::ohms(r.Values, r.ValueCount, self->settings_.resistanceOhms),
                        [&] { return "resistance record " + std::to_string(r.PackNum) + " is not the device's"; });
        }
        self->countRecords(count);
    }
};

// A Vondra headset of either generation: one record a pack behind 4-byte counters.
class VondraSubject : public StatusModeSubject<VexaSim::CommandStreamPeer, VexaSim::CommandStreamPeerSettings> {
protected:
    VondraSubject(VexaSim::SimRadio& radio, uint64_t address, Tally& tally, uint8_t family, uint8_t model,
                  VexaSim::VondraPeerGeneration generation)
        : StatusModeSubject(address, family, model, tally, Wide, VexaSim::vondraSettings(generation),
                            [&](const VexaSim::CommandStreamPeerSettings& s) {
                                return VexaSim::CommandStreamPeer::attach(radio, address, s, {PackPeriod});
                            }) {}
};

// The first generation: seven channels, read against the amplifier's 4.5 V reference.
class VondraFirstSubject final : public VondraSubject {
public:
    VondraFirstSubject(VexaSim::SimRadio& radio, uint64_t address, Tally& tally)
        : VondraSubject(radio, address, tally, SensorFamilyVondra, 0, VexaSim::VondraPeerGeneration::First) {}

    void watch(_Sensor* sensor, std::vector<Removal>& removals) override {
        listen(sensor, addSignalDataCallbackVondra, &VondraFirstSubject::signal, removeSignalDataCallbackVondra,
               removals, "signal");
        listen(sensor, addResistCallbackVondra, &VondraFirstSubject::resist, removeResistCallbackVondra, removals,
               "resistance");
    }

private:
    static constexpr uint32_t Channels = 7;
    static constexpr double Reference = 4.5;

    static void signal(_Sensor*, VondraSignalRecord* records, uint32_t count, void* user) {
        auto* self = static_cast<VondraFirstSubject*>(user);
        self->maybeFreeHere();
        for (uint32_t i = 0; i < count; ++i) {
            const VondraSignalRecord& r = records[i];
            self->checkOrder(r.PackNum, self->signalOrder_, "signal");
            self->check(r.Marker == CommandStreamPeerModel::markerOf(r.PackNum),
                        [&] { return "marker of record " + std::to_string(r.PackNum); });
            self->check(Checks::sawtooth(r.Values, Channels, r.PackNum, Reference),
                        [&] { return Checks::describe(r.Values, Channels, r.PackNum, Reference); });
        }
        self->countRecords(count);
    }

    static void resist(_Sensor*, VondraResistRecord* records, uint32_t count, void* user) {
        auto* self = static_cast<VondraFirstSubject*>(user);
        self->maybeFreeHere();
        for (uint32_t i = 0; i < count; ++i) {
            const VondraResistRecord& r = records[i];
            self->checkOrder(r.PackNum, self->resistOrder_, "resistance");
            self->check(Checks::ohms(r.Values, Channels, self->settings_.resistanceOhms),
                        [&] { return "resistance record " + std::to_string(r.PackNum) + " is not the device's"; });
        }
        self->countRecords(count);
    }
};

// The second generation on its own protocol (model 3): four channels O1, O2, T3, T4.
class Vondra2Subject final : public VondraSubject {
public:
    Vondra2Subject(VexaSim::SimRadio& radio, uint64_t address, Tally& tally)
        : VondraSubject(radio, address, tally, SensorFamilyVondra2, 3, VexaSim::VondraPeerGeneration::Second) {}

    void watch(_Sensor* sensor, std::vector<Removal>& removals) override {
        listen(sensor, addSignalDataCallbackVondra2, &Vondra2Subject::signal, removeSignalDataCallbackVondra2, removals,
               "signal");
        listen(sensor, addResistCallbackVondra2, &Vondra2Subject::resist, removeResistCallbackVondra2, removals,
               "resistance");
    }

private:
    static constexpr double Reference = static_cast<double>(2.4f);

    static void signal(_Sensor*, MorvexSignalRecord* records, uint32_t count, void* user) {
        auto* self = static_cast<Vondra2Subject*>(user);
        self->maybeFreeHere();
        for (uint32_t i = 0; i < count; ++i) {
            const MorvexSignalRecord& r = records[i];
            self->checkOrder(r.PackNum, self->signalOrder_, "signal");
            const double values[] = {r.O1, r.O2, r.T3, r.T4};
            self->check(Checks::sawtooth(values, 4, r.PackNum, Reference),
                        [&] { return Checks::describe(values, 4, r.PackNum, Reference); });
        }
        self->countRecords(count);
    }

    static void resist(_Sensor*, FourChannelResistRecord* records, uint32_t count, void* user) {
        auto* self = static_cast<Vondra2Subject*>(user);
        self->maybeFreeHere();
        for (uint32_t i = 0; i < count; ++i) {
            const FourChannelResistRecord& r = records[i];
            self->checkOrder(r.PackNum, self->resistOrder_, "resistance");
            const double values[] = {r.O1, r.O2, r.T3, r.T4};
            self->check(Checks::ohms(values, 4, self->settings_.resistanceOhms),
                        [&] { return "resistance record " + std::to_string(r.PackNum) + " is not the device's"; });
        }
        self->countRecords(count);
    }
};

// A Tessel-class sensor of the first service set: signal packs of nine samples at the device's
// gain x6 and data offset 3 (each count eight times as many volts), numbered up to 65500.
class TesselSubject final : public PeerSubject<VexaSim::TesselPeer, VexaSim::TesselPeerSettings> {
public:
    TesselSubject(VexaSim::SimRadio& radio, uint64_t address, Tally& tally)
        : PeerSubject(address, SensorFamilyTessel, 0, tally, VexaSim::TesselPeerModel::MaxSignalPackNum + 1, {},
                      [&](const VexaSim::TesselPeerSettings& s) {
                          return VexaSim::TesselPeer::attach(radio, address, s, {.packPeriod = PackPeriod});
                      }) {}

    PeerMode mode() const override { return peer_->signalOn() ? PeerMode::Signal : PeerMode::Idle; }
    // The device stops its streams when its link drops: one that dropped right after a start
    // that succeeded no longer shows it.
    bool shows(int32_t command) const override {
        return Subject::shows(command) || (command == SensorCommandStartSignal && !peripheral().isConnected());
    }
    // The device's 3800 mV are 36 % of its charge.
    int32_t battery() const override { return 36; }
    std::string serialNumber() const override { return "123456"; }

    void watch(_Sensor* sensor, std::vector<Removal>& removals) override {
        listen(sensor, addSignalCallbackTessel, &TesselSubject::signal, removeSignalCallbackTessel, removals, "signal");
    }

private:
    static constexpr uint32_t Samples = 9;
    static constexpr double VoltsPerCount = 8.0 * 2.42 / (8388607.0 * 6.0);

    static void signal(_Sensor*, TesselSamplesRecord* records, uint32_t count, void* user) {
        auto* self = static_cast<TesselSubject*>(user);
        self->maybeFreeHere();
        for (uint32_t i = 0; i < count; ++i) {
            const TesselSamplesRecord& r = records[i];
            self->checkOrder(r.PackNum, self->signalOrder_, "signal");
            bool same = r.SampleCount == Samples;
            for (uint32_t s = 0; same && s < Samples; ++s)
                same = equalVolts(r.Samples[s], VexaSim::TesselPeerModel::signalCount(r.PackNum, static_cast<int>(s)) *
                                                    VoltsPerCount);
            self->check(same, [&] { return "signal pack " + std::to_string(r.PackNum) + " is not the device's"; });
        }
        self->countRecords(count);
    }
};

// A Dravik amplifier, every channel signal-only: each channel reads a constant of its own, and
// with lead-off measurement on no channel has a resistance to report.
class DravikSubject final : public PeerSubject<VexaSim::DravikPeer, VexaSim::DravikPeerSettings> {
public:
    DravikSubject(VexaSim::SimRadio& radio, uint64_t address, Tally& tally)
        : PeerSubject(address, SensorFamilyDravik, 0, tally, Wide, settings(),
                      [&](const VexaSim::DravikPeerSettings& s) {
                          return VexaSim::DravikPeer::attach(radio, address, s, {PackPeriod});
                      }) {}

    // The device measures in its state 2; with a lead-off sub-mode that is the resistance.
    PeerMode mode() const override {
        const auto [state, resist] = peer_->amplifier();
        return state != 2 ? PeerMode::Idle : resist != 0 ? PeerMode::Resist : PeerMode::Signal;
    }
    int32_t battery() const override { return settings_.battery; }
    std::string serialNumber() const override { return settings_.information.serialNumber; }

    // Resistance within a running signal switches with its frame alone, without waiting for the
    // device to show it, so a device that drops frames would part from the sensor's mode: the
    // run uses the changes that wait for the device (signal and resistance starts together).
    std::span<const int32_t> commands() const override { return Commands; }
    bool shows(int32_t command) const override {
        return command == SensorCommandStartSignalAndResist ? mode() == PeerMode::Resist : Subject::shows(command);
    }

    void watch(_Sensor* sensor, std::vector<Removal>& removals) override {
        listen(sensor, addSignalCallbackDravik, &DravikSubject::signal, removeSignalCallbackDravik, removals, "signal");
        listen(sensor, addResistCallbackDravik, &DravikSubject::resist, removeResistCallbackDravik, removals,
               "resistance");
    }

private:
    static constexpr uint32_t Channels = 24;
    static constexpr int32_t Commands[] = {SensorCommandStartSignal, SensorCommandStopSignal,
                                           SensorCommandStartSignalAndResist, SensorCommandStopResist};

    static double volts(uint32_t channel) { return 0.0001 * (channel + 1); }

    static VexaSim::DravikPeerSettings settings() {
        VexaSim::DravikPeerSettings settings;
        for (uint32_t channel = 0; channel < Channels; ++channel) settings.channelVolts[channel] = volts(channel);
        return settings;
    }

    static void signal(_Sensor*, SignalChannelsRecord* records, uint32_t count, void* user) {
        auto* self = static_cast<DravikSubject*>(user);
        self->maybeFreeHere();
        for (uint32_t i = 0; i < count; ++i) {
            const SignalChannelsRecord& r = records[i];
            self->checkOrder(r.PackNum, self->signalOrder_, "signal");
            bool same = r.SampleCount == Channels;
            // Within the 24-bit converter's step at gain x24.
            for (uint32_t ch = 0; same && ch < Channels; ++ch) same = std::abs(r.Samples[ch] - volts(ch)) <= 1e-7;
            self->check(same, [&] { return "signal record " + std::to_string(r.PackNum) + " is not the device's"; });
        }
        self->countRecords(count);
    }

    static void resist(_Sensor*, DravikResistRecord* records, uint32_t count, void* user) {
        auto* self = static_cast<DravikSubject*>(user);
        self->maybeFreeHere();
        for (uint32_t i = 0; i < count; ++i) {
            const DravikResistRecord& r = records[i];
            self->checkOrder(r.PackNum, self->resistOrder_, "resistance");
            const bool none = r.ValueCount == Channels &&
                              std::all_of(r.Values, r.Values + r.ValueCount, [](double v) { return std::isinf(v); });
            self->check(none,
                        [&] { return "resistance record " + std::to_string(r.PackNum) + " is not the device's"; });
        }
        self->countRecords(count);
    }
};

// A stand-alone photo-stimulator: synchronised, started, stopped and reset; its state and sync
// callbacks give only the values they have.
class PhotoStimSubject final : public PeerSubject<VexaSim::PhotoStimPeer, VexaSim::PhotoStimPeerSettings> {
public:
    PhotoStimSubject(VexaSim::SimRadio& radio, uint64_t address, Tally& tally)
        : PeerSubject(address, SensorFamilyPhotoStim, 0, tally, Wide, {}, [&](const VexaSim::PhotoStimPeerSettings& s) {
              return VexaSim::PhotoStimPeer::attach(radio, address, s);
          }) {}

    PeerMode mode() const override { return PeerMode::Idle; }
    int32_t battery() const override { return settings_.battery; }
    std::string serialNumber() const override { return settings_.information.serialNumber; }

    std::span<const int32_t> commands() const override { return Commands; }
    bool shows(int32_t command) const override {
        const uint8_t state = peer_->state();
        switch (command) {
        case Synchronise: return state == VexaSim::PhotoStimPeer::Synchronised;
        case Start: {
            // A start is done on its written frame: the stimulator runs the program from its tick.
            const auto frames = peer_->commandFrames();
            return state == VexaSim::PhotoStimPeer::Running || (!frames.empty() && frames.back().at(0) == 4);
        }
        case Stop: return state != VexaSim::PhotoStimPeer::Running;
        default: return state == VexaSim::PhotoStimPeer::Idle;
        }
    }
    std::string describeState() const override { return "stimulator state " + std::to_string(peer_->state()); }

    void watch(_Sensor* sensor, std::vector<Removal>& removals) override {
        listen(sensor, addStimModeCallback, &PhotoStimSubject::state, removeStimModeCallback, removals,
               "stimulation state");
        listen(sensor, addPhotoStimSyncStateCallback, &PhotoStimSubject::sync, removePhotoStimSyncStateCallback,
               removals, "sync state");
    }

private:
    static constexpr int32_t Start = 27;
    static constexpr int32_t Stop = 28;
    static constexpr int32_t Synchronise = 36;
    static constexpr int32_t Reset = 37;
    static constexpr int32_t Commands[] = {Synchronise, Start, Stop, Reset};

    static void state(_Sensor*, uint8_t value, void* user) {
        auto* self = static_cast<PhotoStimSubject*>(user);
        self->maybeFreeHere();
        self->check(value >= 1 && value <= 4, [&] { return "stimulation state " + std::to_string(value); });
        self->countRecords(1);
    }

    static void sync(_Sensor*, uint8_t value, void* user) {
        auto* self = static_cast<PhotoStimSubject*>(user);
        self->maybeFreeHere();
        self->check(value <= 1, [&] { return "sync state " + std::to_string(value); });
        self->countRecords(1);
    }
};

template <class Family>
std::unique_ptr<Subject> make(VexaSim::SimRadio& radio, uint64_t address, Tally& tally) {
    return std::make_unique<Family>(radio, address, tally);
}

}  // namespace

std::vector<std::unique_ptr<Subject>> makeSubjects(VexaSim::SimRadio& radio, uint64_t first, Tally& tally) {
    using Maker = std::unique_ptr<Subject> (*)(VexaSim::SimRadio&, uint64_t, Tally&);
    static constexpr Maker Families[] = {&make<MorvexSubject>,
                                         &make<MorvexBlackSubject>,
                                         &make<Morvex2Subject>,
                                         &make<TesselSubject>,
                                         &make<VondraFirstSubject>,
                                         &make<Vondra2Subject>,
                                         &make<LorrelSubject>,
                                         &make<LorrelWrenletSubject<VexaSim::WrenletPeerGeneration::First, 3>>,
                                         &make<LorrelWrenletSubject<VexaSim::WrenletPeerGeneration::Second, 5>>,
                                         &make<DravikSubject>,
                                         &make<PhotoStimSubject>};
    // At least eight devices, the families taking turns: every family takes part in every run.
    const size_t count = std::max<size_t>(8, std::size(Families));
    std::vector<std::unique_ptr<Subject>> subjects;
    for (size_t i = 0; i < count; ++i) subjects.push_back(Families[i % std::size(Families)](radio, first + i, tally));
    return subjects;
}

}  // namespace StressTest
