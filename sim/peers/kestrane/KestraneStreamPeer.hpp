#pragma once
// The base of an emulated device in the Kestrane GATT layout: the Device Information service,
// the command service whose UUIDs end in the family suffix, the data characteristics of the
// streams the device has, one pack of every running stream per period on the peer's own
// thread, and the model's reads every such device offers (mode, streams running, pings and,
// where the model keeps them, the gain codes).
//
//   MorvexBlackPeer(std::shared_ptr<SimPeripheral> peripheral, MorvexBlackPeerSettings settings,
//                   KestranePeerTiming timing)
//       : KestraneStreamPeer(std::move(peripheral), std::move(settings))
//   {
//       layOut("90", timing, {{Role::Signal, &Packs::signal}, {Role::Motion, &Packs::motion, hasMotion}, ...});
//   }

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sdk/devices/kestrane/KestraneGatt.hpp"
#include "sim/peers/common/PeerBase.hpp"
#include "sim/peers/kestrane/KestranePeerService.hpp"

namespace VexaSim {

struct KestranePeerTiming {
    // One pack of every running stream per period.
    std::chrono::microseconds notificationPeriod{32000};
};

template <class Model>
class KestraneStreamPeer : public PeerBase<Model> {
public:
    uint8_t mode() const {
        return this->withModel([](const Model& model) { return model.mode(); });
    }
    bool motionRunning() const {
        return this->withModel([](const Model& model) { return model.motionRunning(); });
    }
    bool fpgRunning() const {
        return this->withModel([](const Model& model) { return model.fpgRunning(); });
    }
    // Every ping frame the device took, in order.
    std::vector<std::vector<uint8_t>> pings() const {
        return this->withModel([](const Model& model) { return model.pings(); });
    }
    std::vector<uint8_t> gainCodes() const requires requires(const Model& model) { model.gainCodes(); }
    {
        return this->withModel([](const Model& model) { return model.gainCodes(); });
    }

protected:
    using Packs = typename Model::Packs;
    using Role = VexaDevice::Kestrane::KestraneRole;

    // A data characteristic of the device: its role, the pack of the model's Packs it carries
    // (none: the characteristic stays silent) and whether this device has it.
    struct Stream {
        Role role;
        std::vector<uint8_t> Packs::*pack = nullptr;
        bool present = true;
    };

    using PeerBase<Model>::PeerBase;

    void layOut(const std::string& suffix, const KestranePeerTiming& timing, const std::vector<Stream>& streams) {
        addDeviceInformation(*this->peripheral_, this->device_->model.settings().information);
        const KestranePeerService layout{suffix};
        auto service = this->addCommandService(layout.service(), layout.status(), layout.command());
        std::vector<typename PeerBase<Model>::template Route<>> routes;
        for (const Stream& stream : streams) {
            auto characteristic = layout.stream(*service, stream.role, stream.present);
            if (stream.pack != nullptr) routes.emplace_back(std::move(characteristic), stream.pack);
        }
        this->pumpPacks(timing.notificationPeriod, std::move(routes));
    }
};

}  // namespace VexaSim
