#include "app/platform/LinuxSystemServices.hpp"
#include "tests/platform/ScopedEnvironment.hpp"

#include <gtest/gtest.h>

namespace quellwave::platform {
namespace {

using testing::ScopedEnvironment;

TEST(LinuxSystemServicesTest, SettingsFolderPrefersAnAbsoluteXdgConfigHome) {
    LinuxSystemServices system;
    ScopedEnvironment home("HOME", "/home/listener");
    {
        ScopedEnvironment config("XDG_CONFIG_HOME", "/srv/config");
        EXPECT_EQ(system.userSettingsFolder(), "/srv/config");
    }
    {
        ScopedEnvironment config("XDG_CONFIG_HOME", "relative/config");
        EXPECT_EQ(system.userSettingsFolder(), "/home/listener/.config");
    }
    {
        ScopedEnvironment config("XDG_CONFIG_HOME", std::nullopt);
        EXPECT_EQ(system.userSettingsFolder(), "/home/listener/.config");
    }
}

TEST(LinuxSystemServicesTest, NoSettingsFolderWithoutConfigHomeOrHome) {
    LinuxSystemServices system;
    ScopedEnvironment config("XDG_CONFIG_HOME", std::nullopt);
    ScopedEnvironment home("HOME", std::nullopt);
    EXPECT_TRUE(system.userSettingsFolder().empty());
    ScopedEnvironment emptyHome("HOME", "");
    EXPECT_TRUE(system.userSettingsFolder().empty());
}

TEST(LinuxSystemServicesTest, ExecutablePathIsThisTestProgram) {
    LinuxSystemServices system;
    const auto path = system.executablePath();
    EXPECT_TRUE(path.is_absolute());
    EXPECT_EQ(path.filename(), "platform_unit_tests");
}

TEST(LinuxSystemServicesTest, EnvironmentReachesThisProcess) {
    LinuxSystemServices system;
    ScopedEnvironment restore("QW_TEST_VARIABLE", std::nullopt);
    ASSERT_TRUE(system.setEnvironment("QW_TEST_VARIABLE", "/tmp/x/alsoft.ini"));
    ASSERT_NE(std::getenv("QW_TEST_VARIABLE"), nullptr);
    EXPECT_STREQ(std::getenv("QW_TEST_VARIABLE"), "/tmp/x/alsoft.ini");
    EXPECT_FALSE(system.setEnvironment("BAD=NAME", "x"));
}

}  // namespace
}  // namespace quellwave::platform
