#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sdk/core/OperationResult.hpp"
#include "sdk/core/RtException.hpp"

using VexaDevice::OperationResult;
using VexaDevice::Utility::rt_exception;

TEST(RtException, CarriesMessageAndCodeThroughCopies) {
    const rt_exception plain(std::string("Status Channel cannot be null."));
    EXPECT_EQ(plain.code(), 0);
    EXPECT_STREQ(plain.what(), "Status Channel cannot be null.");

    const rt_exception coded(std::string("Device error: [ERR_DATA_SEND]"), 515);
    const rt_exception copy(coded);
    EXPECT_EQ(copy.code(), 515);
    EXPECT_STREQ(copy.what(), "Device error: [ERR_DATA_SEND]");

    try {
        throw rt_exception("Can not read Serial number");
    } catch (const std::exception& caught) {
        EXPECT_STREQ(caught.what(), "Can not read Serial number");
    }
}

TEST(RtException, EmptyOrNullMessageGivesAnEmptyString) {
    const rt_exception empty("");
    ASSERT_NE(empty.what(), nullptr);
    EXPECT_EQ(std::strlen(empty.what()), 0u);
    const rt_exception null(static_cast<const char*>(nullptr));
    ASSERT_NE(null.what(), nullptr);
    EXPECT_STREQ(null.what(), "");
}

TEST(OperationResult, SuccessIsAlwaysOneZeroEmpty) {
    const auto done = OperationResult::done();
    EXPECT_EQ(done.success, 1);
    EXPECT_EQ(done.code, 0);
    EXPECT_TRUE(done.message.empty());
    EXPECT_TRUE(static_cast<bool>(done));

    const auto refused = OperationResult::failed(515, "Unsupported parameter");
    EXPECT_EQ(refused, (OperationResult{0, 515, "Unsupported parameter"}));
    EXPECT_FALSE(static_cast<bool>(refused));
}
