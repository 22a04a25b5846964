#pragma once
// Copies converted Dravik packs into the host's pack arrays, each of which names a value buffer
// of the caller with its capacity.

#include <cstdint>
#include <vector>

#include "sdk/api/DravikSignalProcessing.hpp"
#include "sdk/api/include/ambrelkit2.h"

namespace VexaDevice::Api {

// Fills the first min(*count, packs) host packs, each with at most its capacity of samples (a
// pack with a null buffer takes none), and sets *count to the number filled.
void fillSignalPacks(const std::vector<Kestrane::_SignalData>& packs, DravikSignalPack* hosts, int32_t* count);
void fillResistPacks(const std::vector<DravikParsedResist>& packs, DravikResistPack* hosts, int32_t* count);

}  // namespace VexaDevice::Api
