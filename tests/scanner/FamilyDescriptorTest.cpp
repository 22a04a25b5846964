// The family descriptors as one list: every family code has one owner, each family's rules name
// only its own codes, and where two families' rules meet (the same model type, services of two
// families on one device) the answer is the one the variant rule and the list order give.

#include <gtest/gtest.h>

#include <set>

#include "sdk/api/SensorInfoFill.hpp"
#include "sdk/api/SensorSelection.hpp"
#include "sdk/api/families/FamilyDescriptor.hpp"
#include "tests/scanner/Advertising.hpp"

using namespace VexaDevice;
using namespace VexaDevice::Api;
using ScannerTest::AdvertisedDevice;
using ScannerTest::manufacturerRecord;
using ScannerTest::uuid;

TEST(FamilyDescriptors, EveryCodeHasOneOwnerAndTheRulesNameOwnCodes) {
    std::set<int> owned;
    for (const FamilyDescriptor* family : familyDescriptors()) {
        EXPECT_TRUE(family->make) << "a family without a maker";
        EXPECT_FALSE(family->creation.empty());
        for (const FamilyCode& code : family->codes) {
            EXPECT_TRUE(owned.insert(code.code).second) << "family " << int(code.code) << " has two owners";
            EXPECT_FALSE(code.scanFilters.empty()) << int(code.code);
            EXPECT_EQ(descriptorOf(code.code), family);
        }
        for (const ModelCodeRule& rule : family->modelCodes) {
            EXPECT_EQ(descriptorOf(rule.family), family) << rule.type;
        }
    }
    EXPECT_EQ(owned, (std::set<int>{1, 2, 3, 4, 5, 6, 11, 14, 18, 19, 20, 21}));
    for (int family = 0; family < 256; ++family) {
        EXPECT_EQ(isCreatableFamily(static_cast<uint8_t>(family)), owned.contains(family)) << family;
    }
    EXPECT_EQ(descriptorOf(7), nullptr) << "a recognised family without a device class";
}

// Each model type of a family with a device class, with the family it names; a variant rule
// wins over its type's any-variant rule whatever order the families are listed in.
TEST(FamilyDescriptors, ModelCodesNameTheirFamilies) {
    struct Case {
        char type;
        uint8_t variant;
        uint8_t family;
    };
    for (const Case& c :
         {Case{'0', 2, 18}, Case{'0', 3, 19}, Case{'0', 0, 19}, Case{'G', 0, 4}, Case{'I', 0, 5}, Case{'I', 1, 6},
          Case{'I', 16, 6}, Case{'P', 2, 11}, Case{'d', 1, 14}, Case{'f', 7, 20}, Case{'g', 1, 21}}) {
        AdvertisedDevice device{0xA1, "Sensor"};
        device.manufacturerBlocks.push_back(manufacturerRecord(1, c.type, c.variant, false));
        const _SensorInfo info = toSensorInfo(device.deviceInfo());
        EXPECT_EQ(info.SensFamily, c.family) << c.type << int(c.variant);
        EXPECT_EQ(info.SensModel, c.variant) << c.type;
    }
}

// Without a record the advertised services name the family, MorvexBlack's before Morvex's, and
// the family's pairing default fills the record.
TEST(FamilyDescriptors, ServicesNameTheFamilyInListOrderWithItsPairingDefault) {
    const auto morvex = uuid("6E400000-B534-F393-68A9-E50E24DCCA9E");
    const auto black = uuid("7E400000-B534-F393-68A9-E50E24DCCA90");
    AdvertisedDevice both{0xB1, "Sensor", {morvex, black}};
    const _SensorInfo blackInfo = toSensorInfo(both.deviceInfo());
    EXPECT_EQ(blackInfo.SensFamily, SensorFamilyMorvexBlack);
    EXPECT_EQ(blackInfo.PairingRequired, 1);

    AdvertisedDevice first{0xB2, "Sensor", {morvex}};
    const _SensorInfo morvexInfo = toSensorInfo(first.deviceInfo());
    EXPECT_EQ(morvexInfo.SensFamily, SensorFamilyMorvex);
    EXPECT_EQ(morvexInfo.PairingRequired, 0);
}
