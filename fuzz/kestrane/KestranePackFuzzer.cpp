// Pack walks of the Kestrane converters on arbitrary notifications and layouts: the first bytes
// choose the layout, the rest is the notification. No record may be read past its pack, no
// layout may stall the walk, and the resistance windows take whatever the signal gives.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "sdk/devices/kestrane/KestraneConverters.hpp"
#include "sdk/devices/kestrane/SignalToResistConverter.hpp"

using namespace VexaDevice::Kestrane;

namespace {

constexpr size_t LayoutBytes = 7;

// Records a whole pack can hold, an upper bound on what any walk may give.
size_t mostRecords(size_t length, uint32_t packSize, uint32_t counterSize, uint64_t recordSize) {
    if (packSize == 0 || recordSize == 0 || counterSize > packSize) return 0;
    return length / packSize * ((packSize - counterSize) / recordSize);
}

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < LayoutBytes) return 0;
    const uint32_t packSize = data[0];
    const uint32_t counterSize = data[1] % 8;
    const uint32_t sampleSize = data[2] % 8;
    const uint32_t channels = data[3] % 40;
    const uint8_t littleEndian = data[4] & 1;
    const uint8_t marker = data[5] & 1;
    const uint8_t code = data[6];
    const std::vector<uint8_t> bytes(data + LayoutBytes, data + size);

    SignalParams signal;
    signal.channelCount = channels;
    signal.referenceVoltage = 2.4;
    signal.gain.fill(6.0);
    signal.resolutionBits = 24;
    signal.packSize = packSize;
    signal.sampleSize = sampleSize;
    signal.counterSize = counterSize;
    std::vector<_SignalData> signalRecords;
    SignalConverter(signal, littleEndian).toSignalData(bytes, signalRecords);
    check(signalRecords.size() <=
          mostRecords(bytes.size(), packSize, counterSize, 1 + uint64_t{channels} * sampleSize));

    ResistParams resist;
    resist.channelCount = channels;
    resist.upperLimit.fill(1e6);
    resist.lowerLimit.fill(-1e6);
    resist.current = 1.5e-7;
    resist.packSize = packSize;
    resist.sampleSize = sampleSize;
    resist.counterSize = counterSize;
    std::vector<_ResistData> resistRecords;
    ResistConverter(resist, littleEndian, marker).toResistData(bytes, resistRecords);
    check(resistRecords.size() <=
          mostRecords(bytes.size(), packSize, counterSize, marker + uint64_t{channels} * sampleSize));

    const PackParams pack{packSize, sampleSize, counterSize, static_cast<uint8_t>(code & 0x0F),
                          static_cast<uint8_t>(code >> 4)};
    std::vector<_IMUData> motion;
    IMUConverter(pack, littleEndian, marker).toIMUData(bytes, motion);
    check(motion.size() <= mostRecords(bytes.size(), packSize, counterSize, marker + 6 * uint64_t{sampleSize}));
    std::vector<_FPGData> fpg;
    FPGConverter(pack, littleEndian, marker).toFPGData(bytes, fpg);
    check(fpg.size() <= mostRecords(bytes.size(), packSize, counterSize, marker + 2 * uint64_t{sampleSize}));

    SignalToResistConverter windows(resist);
    std::vector<_ResistData> measured;
    windows.process(signalRecords.data(), signalRecords.size(), measured);
    for (const _ResistData& record : measured) check(record.Samples.size() == channels);
    return 0;
}
