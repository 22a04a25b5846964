#pragma once
// Builds first-generation Morvex data packs bit by bit, as the device's firmware lays them
// out: 11-bit packet number, marker bit, four 21-bit first samples (O1, T3, T4, O2) and four
// big-endian 16-bit differences to the second samples.

#include <array>
#include <cstdint>
#include <vector>

namespace VexaSim {

struct MorvexPackFields {
    uint32_t packNum = 0;  // low 11 bits are sent
    bool marker = false;
    std::array<int32_t, 4> first{};       // device order O1, T3, T4, O2; 21-bit range
    std::array<int16_t, 4> difference{};  // second sample minus first
};

std::vector<uint8_t> writeMorvexPack(const MorvexPackFields& fields);

}  // namespace VexaSim
