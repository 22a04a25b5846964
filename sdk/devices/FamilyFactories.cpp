#include "sdk/devices/FamilyFactories.hpp"

namespace VexaDevice::Devices {

std::shared_ptr<Morvex::MorvexBLE> makeMorvexBLE(std::shared_ptr<BLE::IBLEDevice> device,
                                                 const ProtocolTiming& timing) {
    return std::make_shared<Morvex::MorvexBLE>(std::move(device), timing);
}

std::shared_ptr<Tessel::TesselBLE> makeTesselBLE(std::shared_ptr<BLE::IBLEDevice> device,
                                                 const Tessel::TesselTiming& timing)
{
    return std::make_shared<Tessel::TesselBLE>(std::move(device), timing);
}

std::shared_ptr<Vondra::VondraBLE> makeVondraBLE(std::shared_ptr<BLE::IBLEDevice> device,
                                                 const ProtocolTiming& timing) {
    return std::make_shared<Vondra::VondraBLE>(std::move(device), timing);
}

std::shared_ptr<Vondra2::Vondra2BLE> makeVondra2BLE(std::shared_ptr<BLE::IBLEDevice> device, uint8_t model,
                                                   const ProtocolTiming& timing) {
    return std::make_shared<Vondra2::Vondra2BLE>(std::move(device), model, timing);
}

std::shared_ptr<Lorrel::LorrelBLE> makeLorrelBLE(std::shared_ptr<BLE::IBLEDevice> device, uint8_t model,
                                                 const ProtocolTiming& timing) {
    return std::make_shared<Lorrel::LorrelBLE>(std::move(device), model, timing);
}

std::shared_ptr<Dravik::DravikBLE> makeDravikBLE(std::shared_ptr<BLE::IBLEDevice> device, uint8_t,
                                                 const ProtocolTiming& timing) {
    Dravik::DravikTiming dravik;
    dravik.workerWait = timing.workerWait;
    dravik.writeRetryPause = timing.writeRetryPause;
    dravik.writeRetries = timing.writeRetries;
    dravik.replyStep = timing.replyWaitStep;
    dravik.replyTimeout = timing.dravikReplyTimeout;
    dravik.readAttempts = timing.readAttempts;
    dravik.pollStep = timing.stimulator.pollStep;
    dravik.stimulator = timing.stimulator;
    return Dravik::makeDravikBLE(std::move(device), dravik);
}

std::shared_ptr<PhotoStim::PhotoStimBLE> makePhotoStimBLE(std::shared_ptr<BLE::IBLEDevice> device,
                                                          const ProtocolTiming& timing) {
    return std::make_shared<PhotoStim::PhotoStimBLE>(std::move(device), timing);
}

}  // namespace VexaDevice::Devices
