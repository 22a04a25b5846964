#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "sdk/devices/common/StreamCapabilities.hpp"

using VexaDevice::Devices::withIdentityParameters;
using VexaDevice::Sensor::ParameterMap;

namespace {

using Listing = std::vector<std::pair<int32_t, int32_t>>;

// The entries in the order the host is handed them.
Listing listed(const ParameterMap& table) { return {table.begin(), table.end()}; }

}  // namespace

// Name 0, state 1, address 2, serial number 3, firmware mode 5; read 0, read-and-notify 2,
// read-write 1. Each table is compared, entries and order, with the same table written out in
// full, as the families wrote theirs.
TEST(CapabilityTables, IdentityParametersComeFirstAndTheHostListsTheTableAsWrittenOut) {
    EXPECT_EQ(listed(withIdentityParameters({})), listed(ParameterMap{{0, 0}, {1, 2}, {2, 0}, {3, 0}, {5, 0}}));

    // A headband's: sampling frequency, gain, offset, firmware version, battery, mode, family.
    EXPECT_EQ(listed(withIdentityParameters({{6, 0}, {7, 1}, {8, 0}, {14, 0}, {15, 2}, {16, 0}, {17, 0}})),
              listed(ParameterMap{
                  {0, 0}, {1, 2}, {2, 0}, {3, 0}, {5, 0}, {6, 0}, {7, 1}, {8, 0}, {14, 0}, {15, 2}, {16, 0}, {17, 0}}));

    // Parameters past the bucket count share buckets with the identity ones.
    EXPECT_EQ(listed(withIdentityParameters({{41, 1}, {14, 0}, {15, 2}, {42, 2}, {43, 1}, {44, 2}})),
              listed(ParameterMap{
                  {0, 0}, {1, 2}, {2, 0}, {3, 0}, {5, 0}, {41, 1}, {14, 0}, {15, 2}, {42, 2}, {43, 1}, {44, 2}}));
}
