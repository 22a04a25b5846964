#include <gtest/gtest.h>

#include <stdexcept>

#include "sdk/core/Uuid.hpp"

using namespace VexaDevice::Utility;

namespace {

void expectInvalid(const std::string& text) {
    try {
        parseUuid(text);
        FAIL() << "parsed " << text;
    } catch (const std::invalid_argument& error) {
        EXPECT_STREQ(error.what(), "The UUID string is in an incorrect format");
    }
}

}  // namespace

TEST(UuidText, StrictParseKeepsTextOrderAndPrintsUpperCase) {
    const UUID uuid = parseUuid("6e400001-b534-f393-68a9-e50e24dcca9e");
    EXPECT_EQ(uuid.bytes[0], 0x6E);
    EXPECT_EQ(uuid.bytes[15], 0x9E);
    EXPECT_EQ(uuidToString(uuid), "6E400001-B534-F393-68A9-E50E24DCCA9E");
    EXPECT_EQ(uuidToString(UUID{}), "00000000-0000-0000-0000-000000000000");
    EXPECT_EQ(parseUuid("6E400001-B534-F393-68A9-E50E24DCCA9Etrailing"), uuid);
}

TEST(UuidText, StrictParseRejectsMalformedText) {
    expectInvalid("6E400001B534F39368A9E50E24DCCA9E");
    expectInvalid("6E400001-B534-F393-68A9-E50E24DCCA");  // 15 bytes
    expectInvalid("");
    expectInvalid("ZZ400001-B534-F393-68A9-E50E24DCCA9E");
}

TEST(UuidText, LenientParse) {
    const char* text = "6E400001-B534-F393-68A9-E50E24DCCA9E";
    EXPECT_EQ(guidFromText(text), parseUuid(text));
    UUID expected;
    expected.bytes[0] = 0x6E;
    EXPECT_EQ(guidFromText("6E4"), expected);
    EXPECT_EQ(guidFromText("ZZ"), UUID{});
    EXPECT_EQ(guidFromText(nullptr), UUID{});
    EXPECT_EQ(guidFromText(""), UUID{});
    UUID halfDigit;
    halfDigit.bytes[0] = 0x12;
    halfDigit.bytes[1] = 0x30;  // the terminating zero reads as the low digit
    EXPECT_EQ(guidFromText("12-3"), halfDigit);
}

TEST(UuidText, TemplateFilling) {
    EXPECT_EQ(formatString("7E400001-B534-F393-68A9-E50E24DCCA%s", "9E"), "7E400001-B534-F393-68A9-E50E24DCCA9E");
    EXPECT_EQ(formatString("no placeholder", "9E"), "no placeholder");
}

TEST(UuidText, HashSeparatesValues) {
    UuidHash hash;
    EXPECT_NE(hash(parseUuid("6E400001-B534-F393-68A9-E50E24DCCA9E")),
              hash(parseUuid("6E400002-B534-F393-68A9-E50E24DCCA9E")));
}
