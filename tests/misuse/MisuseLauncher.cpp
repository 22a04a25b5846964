// Runs the misuse program (a C host of the shared library) against one emulated device of each
// family: the devices sit on a simulated radio behind the emulated Bluetooth daemon on a bus of
// their own, and the program reaches that daemon as a host reaches the system's, through
// DBUS_SYSTEM_BUS_ADDRESS. The devices advertise until the program ends; its exit status is
// this program's.
//
//   misuse_launcher <path of the misuse program>

#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "sdk/core/Uuid.hpp"
#include "sim/bluez/BluezEmulator.hpp"
#include "sim/bluez/ChildProcess.hpp"
#include "sim/bluez/PrivateBus.hpp"
#include "sim/peers/dravik/DravikPeer.hpp"
#include "sim/peers/kestrane/CommandStreamPeer.hpp"
#include "sim/peers/lorrel/LorrelPeer.hpp"
#include "sim/peers/morvex/MorvexPeer.hpp"
#include "sim/peers/morvex2/Morvex2Peer.hpp"
#include "sim/peers/morvexblack/MorvexBlackPeer.hpp"
#include "sim/peers/photostim/PhotoStimPeer.hpp"
#include "sim/peers/tessel/TesselPeer.hpp"
#include "sim/peers/vondra/VondraPeer.hpp"
#include "sim/peers/wrenlet/WrenletPeer.hpp"
#include "sim/radio/SimRadio.hpp"

namespace {

using namespace std::chrono_literals;
using VexaDevice::BLE::Platform::Advertisement;

// The addresses the misuse program opens (MisuseHarness.c holds the same list).
constexpr uint64_t kTessel = 0xC0FFEE00A001;
constexpr uint64_t kMorvex = 0xC0FFEE00A003;
constexpr uint64_t kMorvexBlack = 0xC0FFEE00A004;
constexpr uint64_t kVondra = 0xC0FFEE00A005;
constexpr uint64_t kVondra2 = 0xC0FFEE00A006;
constexpr uint64_t kLorrel = 0xC0FFEE00A011;
constexpr uint64_t kWrenlet = 0xC0FFEE00A012;
constexpr uint64_t kDravik = 0xC0FFEE00A014;
constexpr uint64_t kDravikAlone = 0xC0FFEE00A015;
constexpr uint64_t kMorvex2 = 0xC0FFEE00A018;
constexpr uint64_t kPhotoStim = 0xC0FFEE00A021;

constexpr auto kProgramDeadline = 240s;

// Pack periods of a millisecond, as the host flows use: records arrive within moments.
const VexaSim::KestranePeerTiming kFastPacks{std::chrono::microseconds(1000)};

// Every peer, kept alive while the program runs.
struct Devices {
    std::shared_ptr<VexaSim::TesselPeer> tessel;
    std::shared_ptr<VexaSim::MorvexPeer> morvex;
    std::shared_ptr<VexaSim::MorvexBlackPeer> morvexBlack;
    std::shared_ptr<VexaSim::CommandStreamPeer> vondra;
    std::shared_ptr<VexaSim::CommandStreamPeer> vondra2;
    std::shared_ptr<VexaSim::LorrelPeer> lorrel;
    std::shared_ptr<VexaSim::CommandStreamPeer> wrenlet;
    std::shared_ptr<VexaSim::CommandStreamPeer> morvex2;
    std::shared_ptr<VexaSim::PhotoStimPeer> photoStim;
    std::shared_ptr<VexaSim::DravikPeer> dravik;
    std::shared_ptr<VexaSim::DravikPeer> dravikAlone;

    explicit Devices(VexaSim::SimRadio& radio)
        : tessel(VexaSim::TesselPeer::attach(radio, kTessel)),
          morvex(VexaSim::MorvexPeer::attach(radio, kMorvex, {}, {std::chrono::microseconds(1000), 2})),
          morvexBlack(VexaSim::MorvexBlackPeer::attach(radio, kMorvexBlack, {}, kFastPacks)),
          vondra(VexaSim::CommandStreamPeer::attach(
              radio, kVondra, VexaSim::vondraSettings(VexaSim::VondraPeerGeneration::First), kFastPacks)),
          vondra2(VexaSim::CommandStreamPeer::attach(
              radio, kVondra2, VexaSim::vondraSettings(VexaSim::VondraPeerGeneration::Second), kFastPacks)),
          lorrel(VexaSim::LorrelPeer::attach(radio, kLorrel, {}, kFastPacks)),
          wrenlet(VexaSim::CommandStreamPeer::attach(
              radio, kWrenlet, VexaSim::wrenletSettings(VexaSim::WrenletPeerGeneration::First, 'P'), kFastPacks)),
          morvex2(VexaSim::CommandStreamPeer::attach(radio, kMorvex2, VexaSim::morvex2Settings('0', 2), kFastPacks)),
          photoStim(VexaSim::PhotoStimPeer::attach(radio, kPhotoStim)),
          dravik(VexaSim::DravikPeer::attach(radio, kDravik, dravikSettings(), {std::chrono::microseconds(1000)},
                                             photoStim->syncLink())),
          dravikAlone(VexaSim::DravikPeer::attach(radio, kDravikAlone, dravikSettings(false),
                                                  {std::chrono::microseconds(1000)})) {}

    // Each signal-only channel reads 0.1 mV times its number (from 1); with or without the
    // photo-stimulation service.
    static VexaSim::DravikPeerSettings dravikSettings(bool hasStimulator = true) {
        VexaSim::DravikPeerSettings settings;
        settings.hasStimulator = hasStimulator;
        for (size_t channel = 0; channel < settings.channelVolts.size(); ++channel) {
            settings.channelVolts[channel] = 0.0001 * static_cast<double>(channel + 1);
        }
        return settings;
    }
};

// One round of advertisements: the Tessel device with its name and service (its scanner lists
// it), every other device bare, as devices in range are heard all the time.
void advertiseAll(VexaSim::SimRadio& radio) {
    for (const uint64_t address : radio.addresses()) {
        Advertisement ad;
        ad.address = address;
        ad.rssi = -50;
        ad.flags = 0x06;
        if (address == kTessel) {
            ad.localName = "Tessel";
            ad.serviceUuids = {VexaSim::TesselPeer::serviceUuid(0)};
            ad.manufacturerData.push_back({0xFFFF, {0x4C, 0x00, 0x02, 0x15}});
        }
        radio.advertise(ad);
    }
}

int run(const std::string& program) {
    VexaSim::PrivateBus bus;
    auto radio = VexaSim::SimRadio::create();
    VexaSim::BluezEmulator daemon(radio, bus.address());
    Devices devices(*radio);
    VexaSim::ChildProcess child({program}, {{"DBUS_SYSTEM_BUS_ADDRESS", bus.address()}});
    const auto end = std::chrono::steady_clock::now() + kProgramDeadline;
    std::optional<int> status;
    while (!status && std::chrono::steady_clock::now() < end) {
        advertiseAll(*radio);
        status = child.wait(100ms);
    }
    std::fputs(child.output().c_str(), stdout);
    if (!status) {
        std::fprintf(stderr, "misuse program did not end within %lld s\n",
                     static_cast<long long>(kProgramDeadline.count()));
        return 1;
    }
    return *status;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <misuse program>\n", argv[0]);
        return 2;
    }
    try {
        return run(argv[1]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "misuse launcher: %s\n", error.what());
        return 1;
    }
}
