#include <gtest/gtest.h>

#include <vector>

#include "sdk/api/ScanSetup.hpp"
#include "tests/scanner/Advertising.hpp"

using namespace VexaDevice;
using ScannerTest::uuid;
using VexaDevice::Api::buildScanSetup;

namespace {

Api::ScanSetup setupFor(std::vector<uint8_t> families) {
    return buildScanSetup(families.data(), static_cast<int32_t>(families.size()));
}

// The (type, variant) pairs of the model filters, -1 for a field left open.
std::vector<std::pair<int, int>> modelFilters(const Api::ScanSetup& setup) {
    std::vector<std::pair<int, int>> out;
    for (const auto& filter : setup.params.filters) {
        if (filter.modelType) {
            out.emplace_back(*filter.modelType, filter.modelVariant ? *filter.modelVariant : -1);
        }
    }
    return out;
}

}  // namespace

TEST(ScanSetup, RepeatedFamilyIsTakenOnce) {
    const auto setup = setupFor({3, 3});
    ASSERT_EQ(setup.params.filters.size(), 2u);
    EXPECT_EQ(setup.params.filters[0].serviceUuid, uuid("6E400000-B534-F393-68A9-E50E24DCCA9E"));
    EXPECT_EQ(setup.params.filters[1].serviceUuid, uuid("6E400001-B534-F393-68A9-E50E24DCCA9E"));
    EXPECT_EQ(setup.acceptedFamilies, (std::set<uint8_t>{3}));
    EXPECT_EQ(setup.params.passive, 0);
    EXPECT_EQ(setup.params.requireName, 1);
    EXPECT_EQ(setup.params.requirePaired, 1);
    EXPECT_EQ(setup.params.outOfRangeTimeoutSec, 12);
}

TEST(ScanSetup, UnknownFamiliesAddNothing) {
    EXPECT_TRUE(setupFor({0, 7, 8, 9, 10, 12, 13, 15, 16, 17, 22, 101, 255}).acceptedFamilies.empty());
    const auto lorrel = setupFor({7, 11});
    EXPECT_EQ(lorrel.acceptedFamilies, (std::set<uint8_t>{11}));
    EXPECT_EQ(modelFilters(lorrel), (std::vector<std::pair<int, int>>{{'P', -1}}));
    EXPECT_EQ(lorrel.params.filters.size(), 1u);
}

TEST(ScanSetup, RequirementsFollowTheFamilies) {
    const auto tessel = setupFor({1, 2});
    EXPECT_EQ(tessel.params.requireManufacturerData, 0);
    EXPECT_EQ(tessel.params.requireServiceUuids, 1);
    EXPECT_EQ(tessel.params.filters.size(), 8u);  // the four services for each Tessel family
    EXPECT_EQ(tessel.params.filters[4].serviceUuid, uuid("3D2F0001-D6B9-11E4-88CF-0002A5D5C51B"));

    EXPECT_EQ(setupFor({1, 14}).params.requireServiceUuids, 0);
    const auto morvex = setupFor({3});
    EXPECT_EQ(morvex.params.requireManufacturerData, 1);
    EXPECT_EQ(morvex.params.requireServiceUuids, 1);
    for (uint8_t family : {4, 5, 6, 11, 14, 18, 19, 20, 21}) {
        EXPECT_EQ(setupFor({3, family}).params.requireServiceUuids, 0) << int(family);
    }
}

TEST(ScanSetup, MorvexBlackServicesThenEveryModelVariant) {
    const auto setup = setupFor({4});
    ASSERT_EQ(setup.params.filters.size(), 19u);
    EXPECT_EQ(setup.params.filters[0].serviceUuid, uuid("7E400000-B534-F393-68A9-E50E24DCCA90"));
    EXPECT_EQ(setup.params.filters[1].serviceUuid, uuid("7E400001-B534-F393-68A9-E50E24DCCA90"));
    const auto models = modelFilters(setup);
    ASSERT_EQ(models.size(), 17u);
    EXPECT_EQ(models.front(), std::make_pair(int('G'), -1));
    EXPECT_EQ(models[1], std::make_pair(int('G'), 16));
    EXPECT_EQ(models.back(), std::make_pair(int('G'), 1));
}

TEST(ScanSetup, FamiliesAreWalkedFromTheLast) {
    EXPECT_EQ(modelFilters(setupFor({18, 5, 19})), (std::vector<std::pair<int, int>>{{'0', 3}, {'I', 0}, {'0', 2}}));
}
