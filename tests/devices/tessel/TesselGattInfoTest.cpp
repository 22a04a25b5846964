// Which service set and name kind a Tessel-class sensor is given, from its advertisement.

#include <gtest/gtest.h>

#include "sdk/devices/tessel/TesselGattInfo.hpp"

using namespace VexaDevice::Tessel;
using VexaDevice::BLE::DeviceId;
using VexaDevice::BLE::DeviceInfo;
using VexaDevice::BLE::DeviceParamServicesUUID;
using VexaDevice::Utility::parseUuid;
using VexaDevice::Utility::UUID;
using VexaDevice::Utility::uuidToString;

namespace {

DeviceInfo advertised(const std::string& name, std::vector<UUID> services) {
    DeviceInfo info(std::make_shared<DeviceId>(DeviceId::fromUInt64(0xC0FFEE000001)), name, {}, -40, 0, 0x02);
    info.setParam(VexaDevice::BLE::servicesUuidsKey, std::make_shared<DeviceParamServicesUUID>(std::move(services)));
    return info;
}

const UUID Set0 = parseUuid("3D2F0001-D6B9-11E4-88CF-0002A5D5C51B");
const UUID Set1 = parseUuid("77FF0001-FA66-11E5-B501-0002A5D5C51B");

}  // namespace

// The devices serve their UUIDs in the canonical text order; the byte-reversed spelling of
// the first three fields ("01002F3D-B9D6-E411-...") names no service a device offers.
TEST(TesselGattInfo, TheFourServiceSetsInCanonicalForm) {
    const char* const expected[4][3] = {
        {"3D2F0001-D6B9-11E4-88CF-0002A5D5C51B", "3D2F0003-D6B9-11E4-88CF-0002A5D5C51B",
         "3D2F0002-D6B9-11E4-88CF-0002A5D5C51B"},
        {"77FF0001-FA66-11E5-B501-0002A5D5C51B", "77FF0003-FA66-11E5-B501-0002A5D5C51B",
         "77FF0002-FA66-11E5-B501-0002A5D5C51B"},
        {"67CF0001-FA71-11E5-80B7-0002A5D5C51B", "67CF0003-FA71-11E5-80B7-0002A5D5C51B",
         "67CF0002-FA71-11E5-80B7-0002A5D5C51B"},
        {"B9390001-FA71-11E5-A787-0002A5D5C51B", "B9390003-FA71-11E5-A787-0002A5D5C51B",
         "B9390002-FA71-11E5-A787-0002A5D5C51B"},
    };
    for (int32_t set = 0; set < 4; ++set) {
        const auto info = makeTesselGattInfo(advertised("Tessel", {parseUuid(expected[set][0])}));
        ASSERT_TRUE(info) << set;
        EXPECT_EQ(info->serviceSet(), set);
        EXPECT_EQ(uuidToString(info->service()), expected[set][0]);
        EXPECT_EQ(uuidToString(info->rxCharacteristicUuid()), expected[set][1]);
        EXPECT_EQ(uuidToString(info->txCharacteristicUuid()), expected[set][2]);
    }
    EXPECT_FALSE(makeTesselGattInfo(advertised("Tessel", {parseUuid("01002F3D-B9D6-E411-88CF-0002A5D5C51B")})));
}

TEST(TesselGattInfo, TheFirstSetPresentWins) {
    const auto info =
        makeTesselGattInfo(advertised("Tessel", {Set1, parseUuid("0000180A-0000-1000-8000-00805F9B34FB"), Set0}));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->serviceSet(), 0);
}

TEST(TesselGattInfo, NameKinds) {
    EXPECT_EQ(makeTesselGattInfo(advertised("my tesselo 7", {Set0}))->nameKind(), NameKind::Tessel);
    EXPECT_EQ(makeTesselGattInfo(advertised("xxTESSELxx", {Set0}))->nameKind(), NameKind::Tessel);
    EXPECT_EQ(makeTesselGattInfo(advertised("QuinDLE-3", {Set1}))->nameKind(), NameKind::Quindle);
    EXPECT_EQ(makeTesselGattInfo(advertised("Tessel Quindle", {Set1}))->nameKind(), NameKind::Tessel);
    EXPECT_EQ(makeTesselGattInfo(advertised("Sensor", {Set1}))->nameKind(), NameKind::Other);
    EXPECT_EQ(makeTesselGattInfo(advertised("", {Set1}))->nameKind(), NameKind::Other);
    EXPECT_EQ(makeTesselGattInfo(advertised("Tesse lo Quindl", {Set1}))->nameKind(), NameKind::Other);
}

TEST(TesselGattInfo, NoAdvertisedServicesNoInfo) {
    const DeviceInfo bare(std::make_shared<DeviceId>(DeviceId::fromUInt64(1)), "Tessel", {}, -40, 0, 0x02);
    EXPECT_FALSE(makeTesselGattInfo(bare));
    EXPECT_FALSE(makeTesselGattInfo(advertised("Tessel", {})));
}
