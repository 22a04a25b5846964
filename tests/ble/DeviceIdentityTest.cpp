#include <gtest/gtest.h>

#include <numeric>
#include <stdexcept>

#include "sdk/ble/DeviceInfo.hpp"

using namespace VexaDevice::BLE;

namespace {

std::string addressError(const std::string& text) {
    try {
        DeviceId id(text);
    } catch (const std::invalid_argument& error) {
        return error.what();
    }
    return "no error";
}

// Appends the checksum byte that makes the span sum to 0 modulo 256.
std::vector<uint8_t> withChecksum(std::vector<uint8_t> bytes) {
    const uint8_t sum = std::accumulate(bytes.begin(), bytes.end(), uint8_t{0},
                                        [](uint8_t a, uint8_t b) { return static_cast<uint8_t>(a + b); });
    bytes.push_back(static_cast<uint8_t>(0x100 - sum));
    return bytes;
}

DeviceInfo infoWithManufacturerData(DeviceParamManufacturerData::Blocks blocks) {
    DeviceParamMap params;
    params[manufacturerDataKey] = std::make_shared<DeviceParamManufacturerData>(std::move(blocks));
    return DeviceInfo(std::make_shared<DeviceId>(), "dev", params, -50, 0, 0);
}

}  // namespace

TEST(DeviceAddress, TextRoundTrip) {
    EXPECT_EQ(DeviceId("AA:BB:CC:DD:EE:FF").toString(), "AA:BB:CC:DD:EE:FF");
    EXPECT_EQ(DeviceId("a:b").toString(), "0A:0B:00:00:00:00");
    EXPECT_EQ(DeviceId("1:2:3:4:5:6:junk after the sixth").toString(), "01:02:03:04:05:06");
}

TEST(DeviceAddress, TextErrors) {
    EXPECT_EQ(addressError("AAA:BB"), "Unable to parse address string: Wrong octet string length: 3");
    const std::string badDigit = addressError("G0:11");
    EXPECT_EQ(badDigit.rfind("Unable to parse address string: ", 0), 0u) << badDigit;
    EXPECT_GT(badDigit.size(), std::string("Unable to parse address string: ").size());
    EXPECT_EQ(addressError("-1"),
              "Unable to parse address string: Wrong octet value being parsed: 18446744073709551615");
    // An empty octet names no device, wherever it stands; nor does a digit with junk after it.
    EXPECT_EQ(addressError(""), "Unable to parse address string: Wrong octet string length: 0");
    EXPECT_EQ(addressError("1::3"), "Unable to parse address string: Wrong octet string length: 0");
    EXPECT_EQ(addressError(":11:22:33:44:55"), "Unable to parse address string: Wrong octet string length: 0");
    EXPECT_EQ(addressError("AA:BB:"), "Unable to parse address string: Wrong octet string length: 0");
    EXPECT_EQ(addressError("1z:22"), "Unable to parse address string: Wrong octet string: 1z");
}

TEST(DeviceAddress, NumberRoundTripAndHash) {
    const DeviceId id = DeviceId::fromUInt64(0xA1B2C3D4E5F6ULL);
    EXPECT_EQ(id.toString(), "A1:B2:C3:D4:E5:F6");
    EXPECT_EQ(id.toUInt64(), 0xA1B2C3D4E5F6ULL);
    EXPECT_EQ(DeviceId::fromUInt64(0xFFFF000000000001ULL).toUInt64(), 1u);  // the two top bytes are not kept
    // FNV-1a of the six bytes 00 00 00 00 00 00, computed by hand from basis and prime.
    uint64_t expected = 0xcbf29ce484222325ULL;
    for (int i = 0; i < 6; ++i) expected *= 0x100000001b3ULL;
    EXPECT_EQ(DeviceIdHash{}(DeviceId{}), static_cast<size_t>(expected));
}

TEST(ManufacturerRecordReader, VersionsSerialsAndPairingBit) {
    // Length byte 9 (span of ten bytes), version 2, serial 78 56 34 12, model 'G' 3, flags 1,
    // then the checksum.
    auto v2 = withChecksum({0x09, 0x02, 0x78, 0x56, 0x34, 0x12, 'G', 0x03, 0x01});
    auto record = ManufacturerRecord::parse(v2);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->serialText(), "12345678");
    EXPECT_EQ(record->modelType, 'G');
    EXPECT_EQ(record->modelVariant, 3);
    EXPECT_TRUE(record->pairingRequired);
    v2.push_back(0x00);  // bytes after the span are not summed
    EXPECT_TRUE(ManufacturerRecord::parse(v2));

    // No length byte: version 0, serial 39 30 00 = 12345, model 'I' 0, flags 0.
    auto v0 = withChecksum({0x00, 0x39, 0x30, 0x00, 'I', 0x00, 0x00});
    record = ManufacturerRecord::parse(v0);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->serialText(), "012345");
    EXPECT_FALSE(record->pairingRequired);

    // Eight-byte version-2 block: the model variant is also the checksum and carries the
    // pairing bit (0x89 here).
    auto shortV2 = withChecksum({0x07, 0x02, 1, 2, 3, 4, 'd'});
    ASSERT_EQ(shortV2.size(), 8u);
    record = ManufacturerRecord::parse(shortV2);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->modelVariant, 0x89);
    EXPECT_TRUE(record->pairingRequired);
}

TEST(ManufacturerRecordReader, RejectsBadBlocks) {
    auto good = withChecksum({0x00, 0x39, 0x30, 0x00, 'I', 0x00, 0x00});
    auto badSum = good;
    badSum.back() ^= 1;
    EXPECT_FALSE(ManufacturerRecord::parse(badSum));
    EXPECT_FALSE(ManufacturerRecord::parse({0x00, 1, 2, 3, 4, 5}));  // too short
    std::vector<uint8_t> spanPastEnd = {0x08, 0x02, 0, 0, 0, 0, 'G', 0};
    EXPECT_FALSE(ManufacturerRecord::parse(spanPastEnd));  // L equal to the block size
    EXPECT_FALSE(ManufacturerRecord::parse(withChecksum({0x08, 0x03, 0, 0, 0, 0, 'G', 0, 0})));  // version 3
    EXPECT_FALSE(ManufacturerRecord::parse({}));
}

TEST(ManufacturerRecordReader, PrefersPrimaryCompanyIdentifier) {
    auto primary = withChecksum({0x00, 0x01, 0x00, 0x00, 'P', 0x01, 0x00});
    auto secondary = withChecksum({0x00, 0x02, 0x00, 0x00, 'd', 0x02, 0x01});
    std::vector<uint8_t> invalid = {0x00, 0x01, 0x00, 0x00, 'X', 0x01, 0x55};

    std::array<uint8_t, 2> model{};
    EXPECT_TRUE(infoWithManufacturerData({{0xFFFF, {primary}}, {0xFFFE, {secondary}}}).modelCode(model));
    EXPECT_EQ(model, (std::array<uint8_t, 2>{'P', 1}));
    EXPECT_TRUE(infoWithManufacturerData({{0xFFFF, {invalid}}, {0xFFFE, {secondary}}}).modelCode(model));
    EXPECT_EQ(model, (std::array<uint8_t, 2>{'d', 2}));

    bool pairing = false;
    std::string serial;
    const DeviceInfo none = infoWithManufacturerData({{0x004C, {primary}}});
    EXPECT_FALSE(none.modelCode(model));
    EXPECT_FALSE(none.pairingRequired(pairing));
    EXPECT_FALSE(none.serialNumber(serial));
    const DeviceInfo noParams(std::make_shared<DeviceId>(), "", {}, 0, 0, 0);
    EXPECT_FALSE(noParams.modelCode(model));
}

TEST(DeviceParams, DiagnosticTexts) {
    DeviceParamServicesUUID uuids(
        {VexaDevice::Utility::parseUuid("6E400001-B534-F393-68A9-E50E24DCCA9E"), VexaDevice::Utility::UUID{}});
    EXPECT_EQ(uuids.toString(), "6E400001-B534-F393-68A9-E50E24DCCA9E\n00000000-0000-0000-0000-000000000000");
    DeviceParamDataSections sections({{'A', 'B'}, {'C'}});
    EXPECT_EQ(sections.toString(), "A B\nC");
    DeviceParamManufacturerData data({{65535, {{'a', 'b'}, {'c'}}}, {1, {{'z'}}}});
    EXPECT_EQ(data.toString(), "[1][z]\n[65535][a b <> c]");
}
