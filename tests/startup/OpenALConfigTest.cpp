#include "app/platform/fake/FakePlatform.hpp"
#include "app/ui/Startup.hpp"
#include "tests/platform/ScopedEnvironment.hpp"
#include "tests/platform/TempFolder.hpp"

#include <gtest/gtest.h>

#include <fstream>

namespace quellwave::ui {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

TEST(OpenALConfigTextTest, SevenLinesWithTheRateInTheFifth) {
    EXPECT_EQ(openALConfigText(48000),
              "[General]\nperiod_size=4096\nperiods=2\nsample-type=int16\nfrequency=48000\n"
              "hrtf=false\nexclusive-mode=true\n");
    EXPECT_NE(openALConfigText(96000).find("\nfrequency=96000\n"), std::string::npos);
}

TEST(WriteOpenALConfigTest, ReplacesTheWholeFile) {
    testing::TempFolder temp;
    const fs::path path = temp.path() / "alsoft.ini";
    writeFile(path, std::string(4000, 'x'));

    ASSERT_TRUE(writeOpenALConfig(path, 44100));
    EXPECT_EQ(testing::readFile(path), openALConfigText(44100));
}

TEST(WriteOpenALConfigTest, AFileThatCannotBeOpenedIsAFailure) {
    testing::TempFolder temp;
    EXPECT_FALSE(writeOpenALConfig(temp.path(), 48000));  // a folder
    EXPECT_FALSE(writeOpenALConfig(temp.path() / "missing" / "alsoft.ini", 48000));
}

TEST(WriteOpenALConfigTest, BytesThatNeverReachTheDiskAreAFailure) {
    // Opens fine; the data is lost when the file is closed and flushed.
    ASSERT_TRUE(fs::exists("/dev/full"));
    EXPECT_FALSE(writeOpenALConfig("/dev/full", 48000));
}

class PrepareOpenALConfigTest : public ::testing::Test {
protected:
    PrepareOpenALConfigTest() {
        fs::create_directories(programDir());
        os.system.program = programDir() / "Quellwave";
        os.system.settingsFolder = temp.path() / "config";
    }

    fs::path programDir() const { return temp.path() / "program"; }
    fs::path target() const { return temp.path() / "config" / "Quellwave" / "alsoft.ini"; }

    testing::TempFolder temp;
    platform::fake::FakePlatform os;
};

TEST_F(PrepareOpenALConfigTest, FoldersOfProgramAndData) {
    EXPECT_EQ(programFolder(), programDir().string());
    EXPECT_EQ(appDataFolder(), (temp.path() / "config" / "Quellwave").string());
    EXPECT_TRUE(fs::is_directory(temp.path() / "config" / "Quellwave"));
}

TEST_F(PrepareOpenALConfigTest, ShippedFileIsCopiedWhenThereIsNoneAndTheVariablePointsAtIt) {
    writeFile(programDir() / "alsoft.ini", "shipped\n");

    EXPECT_EQ(prepareOpenALConfig(), target().string());
    EXPECT_EQ(testing::readFile(target()), "shipped\n");
    EXPECT_EQ(os.system.environment["ALSOFT_CONF"], target().string());
    EXPECT_TRUE(os.dialogs.shown.empty());
}

TEST_F(PrepareOpenALConfigTest, AnExistingUserFileIsNeverReplacedByTheCopy) {
    writeFile(programDir() / "alsoft.ini", "shipped\n");
    fs::create_directories(target().parent_path());
    writeFile(target(), "mine\n");

    EXPECT_EQ(prepareOpenALConfig(), target().string());
    EXPECT_EQ(testing::readFile(target()), "mine\n");
}

TEST_F(PrepareOpenALConfigTest, WithoutAShippedFileNothingIsCopied) {
    EXPECT_EQ(prepareOpenALConfig(), target().string());
    EXPECT_FALSE(fs::exists(target()));
    EXPECT_TRUE(os.dialogs.shown.empty());
}

TEST_F(PrepareOpenALConfigTest, AFailedCopyIsShownAndTheRestGoesOn) {
    fs::create_directories(programDir() / "alsoft.ini");  // not a file: cannot be copied

    EXPECT_EQ(prepareOpenALConfig(), target().string());
    ASSERT_EQ(os.dialogs.shown.size(), 1u);
    EXPECT_EQ(os.dialogs.shown[0].caption, "Error");
    EXPECT_EQ(os.dialogs.shown[0].kind, platform::DialogKind::Error);
    EXPECT_EQ(os.dialogs.shown[0].text.rfind("Failed to copy alsoft.ini: ", 0), 0u) << os.dialogs.shown[0].text;
    EXPECT_EQ(os.system.environment["ALSOFT_CONF"], target().string());
}

TEST_F(PrepareOpenALConfigTest, AVariableThatCannotBeSetIsShown) {
    os.system.environmentWorks = false;

    EXPECT_EQ(prepareOpenALConfig(), target().string());
    EXPECT_EQ(os.dialogs.texts(), std::vector<std::string>{"Failed to set ALSOFT_CONF environment variable."});
}

TEST_F(PrepareOpenALConfigTest, WithoutASettingsFolderTheFileLivesUnderTheTemporaryFolder) {
    os.system.settingsFolder.clear();
    testing::ScopedEnvironment tmp("TMPDIR", temp.path().string());

    const fs::path path = prepareOpenALConfig();
    EXPECT_EQ(path, temp.path() / "Quellwave" / "alsoft.ini");
    EXPECT_NE(path.parent_path(), path.root_path());
    EXPECT_TRUE(fs::is_directory(path.parent_path()));
}

}  // namespace
}  // namespace quellwave::ui
