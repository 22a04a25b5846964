#include "app/ui/Fonts.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include <unistd.h>

namespace quellwave::ui {
namespace {

namespace fs = std::filesystem;

const fs::path kSystemFont = "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf";

class FontsTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("qw-fonts-" + std::to_string(::getpid()) + "-" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    void provide(const std::string& name) {
        fs::create_directories(folder / "fonts");
        fs::copy_file(kSystemFont, folder / "fonts" / (name + ".ttf"));
    }
    fs::path folder;
    Fonts fonts;
};

TEST_F(FontsTest, MissingFontsFolderNamesArialFirst) { EXPECT_EQ(fonts.load(folder), "Missing font (arial)."); }

TEST_F(FontsTest, FontsAreLoadedInOrderAndTheFirstMissingOneIsNamed) {
    if (!fs::exists(kSystemFont)) GTEST_SKIP() << "no system font to copy";
    provide("arial");
    EXPECT_EQ(fonts.load(folder), "Missing font (orbitron).");
    provide("orbitron");
    EXPECT_EQ(fonts.load(folder), "Missing font (roboto).");
    provide("roboto");
    EXPECT_EQ(fonts.load(folder), std::nullopt);
}

TEST_F(FontsTest, AFileThatIsNotAFontCountsAsMissing) {
    fs::create_directories(folder / "fonts");
    std::FILE* file = std::fopen((folder / "fonts" / "arial.ttf").c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("not a font", file);
    std::fclose(file);
    EXPECT_EQ(fonts.load(folder), "Missing font (arial).");
}

// The faces the build installs next to the program are the families the screens are drawn in:
// the family names are read from the files themselves.
TEST(InstalledFonts, EachFileHoldsTheFaceItIsNamedFor) {
    const fs::path installed = QW_APP_DIR;
    Fonts fonts;
    ASSERT_EQ(fonts.load(installed), std::nullopt);
    EXPECT_EQ(fonts.arial.getInfo().family, "Liberation Sans");
    EXPECT_EQ(fonts.roboto.getInfo().family, "Roboto");
    EXPECT_EQ(fonts.orbitron.getInfo().family, QW_TITLE_FAMILY);
    if (std::string(QW_TITLE_FAMILY) == "Orbitron") {
        EXPECT_TRUE(fs::is_regular_file(installed / "fonts" / "orbitron-OFL.txt"))
            << "the title face's licence is not kept beside it";
    }
}

}  // namespace
}  // namespace quellwave::ui
