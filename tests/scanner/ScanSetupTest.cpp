#include <gtest/gtest.h>

#include <vector>

#include "sdk/api/ScanSetup.hpp"
#include "tests/scanner/Advertising.hpp"

using namespace VexaDevice;
using VexaDevice::Api::buildScanSetup;
using ScannerTest::uuid;

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

std::vector<std::pair<int, int>> allVariants(char type) {
    std::vector<std::pair<int, int>> out;
    for (int variant = 16; variant >= 1; --variant) {
        out.emplace_back(type, variant);
    }
    return out;
}

}  // namespace

TEST(ScanSetup, FixedParameters) {
    const auto setup = setupFor({3});
    EXPECT_EQ(setup.params.passive, 0);
    EXPECT_EQ(setup.params.requireName, 1);
    EXPECT_EQ(setup.params.requirePaired, 1);
    EXPECT_EQ(setup.params.outOfRangeTimeoutSec, 12);
}

TEST(ScanSetup, RepeatedFamilyIsTakenOnce) {
    const auto setup = setupFor({3, 3});
    ASSERT_EQ(setup.params.filters.size(), 2u);
    EXPECT_EQ(setup.params.filters[0].serviceUuid, uuid("6E400000-B534-F393-68A9-E50E24DCCA9E"));
    EXPECT_EQ(setup.params.filters[1].serviceUuid, uuid("6E400001-B534-F393-68A9-E50E24DCCA9E"));
    EXPECT_FALSE(setup.params.filters[0].modelType);
    EXPECT_EQ(setup.acceptedFamilies, (std::set<uint8_t>{3}));
}

TEST(ScanSetup, UnknownFamiliesAddNothing) {
    EXPECT_TRUE(setupFor({0, 7, 8, 9, 10, 12, 13, 15, 16, 17, 22, 101, 255}).acceptedFamilies.empty());
    const auto lorrel = setupFor({7, 11});
    EXPECT_EQ(lorrel.acceptedFamilies, (std::set<uint8_t>{11}));
    EXPECT_EQ(modelFilters(lorrel), (std::vector<std::pair<int, int>>{{'P', -1}}));
    EXPECT_EQ(lorrel.params.filters.size(), 1u);
}

TEST(ScanSetup, RequirementsFollowTheFamilies) {
    const auto tessel = setupFor({1});
    EXPECT_EQ(tessel.params.requireManufacturerData, 0);
    EXPECT_EQ(tessel.params.requireServiceUuids, 1);

    const auto mixed = setupFor({1, 14});
    EXPECT_EQ(mixed.params.requireManufacturerData, 0);
    EXPECT_EQ(mixed.params.requireServiceUuids, 0);

    const auto morvex = setupFor({3});
    EXPECT_EQ(morvex.params.requireManufacturerData, 1);
    EXPECT_EQ(morvex.params.requireServiceUuids, 1);

    for (uint8_t family : {4, 5, 6, 11, 14, 18, 19, 20, 21}) {
        EXPECT_EQ(setupFor({3, family}).params.requireServiceUuids, 0) << int(family);
    }
}

TEST(ScanSetup, TesselServicesAreAddedForEachTesselFamily) {
    const auto setup = setupFor({1, 2});
    ASSERT_EQ(setup.params.filters.size(), 8u);
    EXPECT_EQ(setup.params.filters[0].serviceUuid, uuid("3D2F0001-D6B9-11E4-88CF-0002A5D5C51B"));
    EXPECT_EQ(setup.params.filters[3].serviceUuid, uuid("B9390001-FA71-11E5-A787-0002A5D5C51B"));
    EXPECT_EQ(setup.params.filters[4].serviceUuid, uuid("3D2F0001-D6B9-11E4-88CF-0002A5D5C51B"));
}

TEST(ScanSetup, MorvexBlackServicesThenEveryModelVariant) {
    const auto setup = setupFor({4});
    ASSERT_EQ(setup.params.filters.size(), 19u);
    EXPECT_EQ(setup.params.filters[0].serviceUuid, uuid("7E400000-B534-F393-68A9-E50E24DCCA90"));
    EXPECT_EQ(setup.params.filters[1].serviceUuid, uuid("7E400001-B534-F393-68A9-E50E24DCCA90"));
    auto expected = allVariants('G');
    expected.insert(expected.begin(), {'G', -1});
    EXPECT_EQ(modelFilters(setup), expected);
}

TEST(ScanSetup, ModelCodeFamilies) {
    EXPECT_EQ(modelFilters(setupFor({5})), (std::vector<std::pair<int, int>>{{'I', 0}}));
    EXPECT_EQ(modelFilters(setupFor({6})), allVariants('I'));
    EXPECT_EQ(modelFilters(setupFor({14})), allVariants('d'));
    EXPECT_EQ(modelFilters(setupFor({18})), (std::vector<std::pair<int, int>>{{'0', 2}}));
    EXPECT_EQ(modelFilters(setupFor({19})), (std::vector<std::pair<int, int>>{{'0', 3}}));
    EXPECT_EQ(modelFilters(setupFor({20})), allVariants('f'));
    EXPECT_EQ(modelFilters(setupFor({21})), allVariants('g'));
}

TEST(ScanSetup, FamiliesAreWalkedFromTheLast) {
    const auto setup = setupFor({18, 5});
    EXPECT_EQ(modelFilters(setup), (std::vector<std::pair<int, int>>{{'I', 0}, {'0', 2}}));
}
