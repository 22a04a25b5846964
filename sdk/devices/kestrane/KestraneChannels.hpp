#pragma once
// A Kestrane data channel joins one notifying characteristic to one converter and one ring of
// 1024 records: every notification is converted at once, stored, and the owning protocol's
// worker is woken to drain the ring. The protocols switch the notification on and off.
//
// The notification handler holds what it uses (converter, ring, wake-up) itself, never the
// channel, so a notification still being delivered while the channel goes away is harmless.

#include <memory>
#include <type_traits>
#include <vector>

#include "sdk/ble/BLEChannel.hpp"
#include "sdk/core/CvWait.hpp"
#include "sdk/core/Log.hpp"
#include "sdk/core/RBuffer.hpp"
#include "sdk/devices/kestrane/KestraneConverters.hpp"

namespace VexaDevice::Kestrane {

template <class Converter, ConversionResult (Converter::*Convert)(const std::vector<uint8_t>&,
                                                                  std::vector<typename Converter::Record>&) const>
class BLEDataChannel {
public:
    using Record = typename Converter::Record;
    using Params = typename Converter::Params;
    static constexpr int Capacity = 1024;

    // Resistance, motion and photoplethysmogram packs of these channels carry no marker bytes.
    BLEDataChannel(std::shared_ptr<BLE::IBLEChannel> channel, const Params& params, std::weak_ptr<Utility::CvWait> wake,
                   uint8_t littleEndian)
        : channel_(std::move(channel)), sink_(std::make_shared<Sink>(params, littleEndian, std::move(wake))) {
        handler_ = std::make_shared<BLE::DataBus::Callback>(
            [sink = sink_](const std::vector<uint8_t>& bytes) { sink->take(bytes); });
        if (const auto bus = channel_->dataEvent().lock()) bus->subscribe(handler_);
    }

    ~BLEDataChannel() {
        try {
            stopNotifyIfStarted();
        } catch (const std::exception& e) {
            Utility::sdkLog().warn("[Kestrane channel] stopping the notification failed: {}", e.what());
        }
    }

    BLEDataChannel(const BLEDataChannel&) = delete;
    BLEDataChannel& operator=(const BLEDataChannel&) = delete;

    bool isNotifying() { return channel_->isNotifying(); }
    void startNotify() { channel_->startNotify(); }
    void stopNotify() { channel_->stopNotify(); }
    void startNotifyIfStopped() {
        if (!isNotifying()) startNotify();
    }
    void stopNotifyIfStarted() {
        if (isNotifying()) stopNotify();
    }

    // The records converted so far, by absolute position.
    const Utility::IRBuffer<Record>& ring() const { return sink_->ring; }

    Params converterParams() const { return sink_->converter.params(); }
    void setConverterParams(const Params& params) { sink_->converter.setParams(params); }

private:
    struct Sink {
        Sink(const Params& params, uint8_t littleEndian, std::weak_ptr<Utility::CvWait> wakeup)
            : converter(makeConverter(params, littleEndian)), wake(std::move(wakeup)) {}

        static Converter makeConverter(const Params& params, uint8_t littleEndian) {
            if constexpr (std::is_constructible_v<Converter, const Params&, uint8_t, uint8_t>)
                return Converter(params, littleEndian, 0);
            else
                return Converter(params, littleEndian);
        }

        // Records of the whole packs are kept even when the length was wrong (already logged).
        void take(const std::vector<uint8_t>& bytes) {
            std::vector<Record> records;
            (converter.*Convert)(bytes, records);
            ring.write(records.data(), records.size());
            if (const auto worker = wake.lock()) worker->notify();
        }

        Converter converter;
        Utility::RBuffer<Record> ring{Capacity};
        std::weak_ptr<Utility::CvWait> wake;
    };

    std::shared_ptr<BLE::IBLEChannel> channel_;
    std::shared_ptr<Sink> sink_;
    std::shared_ptr<BLE::DataBus::Callback> handler_;
};

using BLESignalChannel = BLEDataChannel<SignalConverter, &SignalConverter::toSignalData>;
using BLEResistChannel = BLEDataChannel<ResistConverter, &ResistConverter::toResistData>;
using BLEIMUChannel = BLEDataChannel<IMUConverter, &IMUConverter::toIMUData>;
using BLEFPGChannel = BLEDataChannel<FPGConverter, &FPGConverter::toFPGData>;

}  // namespace VexaDevice::Kestrane
