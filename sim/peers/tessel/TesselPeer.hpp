#pragma once
// An emulated Tessel-class sensor on the simulated radio: one of the four service sets with its
// Rx (notify) and Tx (write) characteristics. It answers every command frame as
// TesselPeerModel does, keeps its settings across reconnections, streams each running kind
// of pack, one pack per notification, and has fault switches (silent, refusing all or one
// command, ERROR replies that do not name the command, link loss).
//
//   auto radio = VexaSim::SimRadio::create();
//   auto device = VexaSim::TesselPeer::attach(*radio, 0xA1B2C3D4E5F6);
//   ... the library opens 0xA1B2C3D4E5F6 and finds a Tessel device ...

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "sim/peers/common/PeerBase.hpp"
#include "sim/peers/tessel/TesselPeerModel.hpp"

namespace VexaSim {

struct TesselPeerLook {
    std::string name = "Tessel";
    int serviceSet = 0;  // 0..3
    // One streaming tick per period.
    std::chrono::microseconds packPeriod{4000};
};

class TesselPeer final : public PeerBase<TesselPeerModel> {
public:
    static std::shared_ptr<TesselPeer> attach(SimRadio& radio, uint64_t address, TesselPeerSettings settings = {},
                                              TesselPeerLook look = {});

    // The service UUID of each set, in the form the devices serve.
    static UUID serviceUuid(int serviceSet);

    void refuseCommand(uint8_t code, uint8_t error) {
        withModel([=](TesselPeerModel& model) { model.refuseCommand(code, error); });
    }
    void setErrorByte9(ErrorByte9 kind) {
        withModel([=](TesselPeerModel& model) { model.setErrorByte9(kind); });
    }
    // Changes the settings the device holds (battery, electrodes, ...).
    template <class Change>
    void change(Change change) {
        withModel([&](TesselPeerModel& model) { change(model.settings()); });
    }
    TesselPeerSettings settings() const {
        return withModel([](const TesselPeerModel& model) { return model.settings(); });
    }
    bool streaming() const {
        return withModel([](const TesselPeerModel& model) { return model.streaming(); });
    }
    bool signalOn() const {
        return withModel([](const TesselPeerModel& model) { return model.signalOn(); });
    }

private:
    TesselPeer(std::shared_ptr<SimPeripheral> peripheral, TesselPeerSettings settings, const TesselPeerLook& look);
};

}  // namespace VexaSim
