// Feeds arbitrary bytes to the photo-stimulation wire format: read as a configure packet they
// give at most 16 programs of finite values within the device's ranges; read as six doubles per
// program they are either refused with 517 or packed into a packet that decodes to exactly the
// programs the packing reported; read as a status pack they give a known state and a 0/1 flag.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "sdk/devices/photostim/PhotoStimWire.hpp"

using namespace VexaDevice::PhotoStim;

namespace {

void checkProgram(const StimProgram& program) {
    const double values[] = {program.frequency, program.power, program.pulseWidth, program.stimulDuration,
                             program.pause};
    for (double value : values)
        if (!std::isfinite(value) || value < 0) __builtin_trap();
    if (program.frequency > TicksPerSecond || program.power > 100 || program.pause > 255) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    if (const auto programs = decodeConfigure(bytes)) {
        if (programs->size() > MaxPrograms) __builtin_trap();
        for (const StimProgram& program : *programs) checkProgram(program);
    }

    std::vector<StimProgram> list;
    for (size_t at = 0; at + 6 * sizeof(double) <= size && list.size() < MaxPrograms; at += 6 * sizeof(double)) {
        double values[6];
        std::memcpy(values, data + at, sizeof(values));
        list.push_back({values[0], values[1], values[2], values[3], values[4], values[5]});
    }
    const PackedPrograms packed = packPrograms(list);
    if (packed.result) {
        const auto decoded = decodeConfigure(packed.packet);
        // The device keeps the entries with pulses or an on time, as the packing reported them.
        std::vector<StimProgram> kept;
        for (size_t i = 0; i < packed.programs.size(); ++i) {
            const uint8_t* entry = packed.packet.data() + i * ConfigEntrySize;
            if ((entry[2] | entry[3] | entry[4] | entry[5]) != 0) kept.push_back(packed.programs[i]);
        }
        if (!decoded || *decoded != kept) __builtin_trap();
        for (const StimProgram& program : *decoded) checkProgram(program);
    } else if (packed.result.code != 517 || !packed.programs.empty()) {
        __builtin_trap();
    }

    if (size >= StatusPack::Size) {
        StatusPack pack;
        std::memcpy(pack.bytes.data(), data, StatusPack::Size);
        if (static_cast<uint8_t>(pack.state()) > static_cast<uint8_t>(DevStimulStatus::Running) ||
            pack.status().syncFlag > 1)
            __builtin_trap();
    }
    return 0;
}
