// Loads the built libambrelkit2-x64.so the way a host does.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const kLibrary = AK_LIBRARY_PATH;
const char* const kExportsList = AK_EXPORTS_LIST;

struct ListedExport {
    int ordinal = 0;
    std::string name;
    std::string symbol;
};

std::vector<ListedExport> readExportsList() {
    std::ifstream in(kExportsList);
    std::vector<ListedExport> entries;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        ListedExport entry;
        std::string group;
        if (line.find_first_not_of(" \t") == std::string::npos || line[line.find_first_not_of(" \t")] == '#') {
            continue;
        }
        fields >> entry.ordinal >> entry.name >> group >> entry.symbol;
        if (entry.symbol.empty()) {
            entry.symbol = entry.name;
        }
        entries.push_back(entry);
    }
    return entries;
}

// Every symbol the library defines in its dynamic symbol table, read from the ELF file.
std::set<std::string> definedDynamicSymbols(const std::string& path) {
    std::vector<char> image(fs::file_size(path));
    std::ifstream(path, std::ios::binary).read(image.data(), static_cast<std::streamsize>(image.size()));
    if (image.size() < sizeof(Elf64_Ehdr)) {
        ADD_FAILURE() << "not an ELF file: " << path;
        return {};
    }
    const auto* header = reinterpret_cast<const Elf64_Ehdr*>(image.data());
    const auto* sections = reinterpret_cast<const Elf64_Shdr*>(image.data() + header->e_shoff);
    std::set<std::string> names;
    for (int s = 0; s < header->e_shnum; ++s) {
        if (sections[s].sh_type != SHT_DYNSYM) {
            continue;
        }
        const char* strings = image.data() + sections[sections[s].sh_link].sh_offset;
        const auto* symbols = reinterpret_cast<const Elf64_Sym*>(image.data() + sections[s].sh_offset);
        const size_t count = sections[s].sh_size / sizeof(Elf64_Sym);
        for (size_t i = 1; i < count; ++i) {
            const int binding = ELF64_ST_BIND(symbols[i].st_info);
            if (symbols[i].st_shndx != SHN_UNDEF &&
                (binding == STB_GLOBAL || binding == STB_WEAK || binding == STB_GNU_UNIQUE)) {
                names.insert(strings + symbols[i].st_name);
            }
        }
    }
    return names;
}

// Runs a test body with a fresh temporary folder as the process's current folder.
class InTemporaryFolder : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "ak-load-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        fs::current_path(folder_);
    }
    void TearDown() override {
        fs::current_path(previous_);
        fs::remove_all(folder_);
    }
    fs::path folder_;

private:
    fs::path previous_;
};

void* load() { return dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL); }

bool stillLoaded() {
    void* handle = dlopen(kLibrary, RTLD_NOW | RTLD_NOLOAD);
    if (handle != nullptr) {
        dlclose(handle);
    }
    return handle != nullptr;
}

// Captures what is written to standard output while `action` runs.
std::string capturedStdout(const std::function<void()>& action) {
    std::fflush(stdout);
    char path[] = "/tmp/ak-stdout-XXXXXX";
    const int file = mkstemp(path);
    const int saved = dup(STDOUT_FILENO);
    dup2(file, STDOUT_FILENO);
    action();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    close(file);
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path);
    return text;
}

}  // namespace

TEST(SharedLibrary, SymbolReaderFindsWhatALibraryExports) {
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&std::printf), &info), 0);
    const auto symbols = definedDynamicSymbols(info.dli_fname);
    EXPECT_TRUE(symbols.count("printf")) << info.dli_fname;
    EXPECT_FALSE(symbols.count("dlopen_never_defined"));
}

TEST(SharedLibrary, LoadsAndExportsOnlyListedNames) {
    void* handle = load();
    ASSERT_NE(handle, nullptr) << dlerror();
    std::set<std::string> listed;
    for (const auto& entry : readExportsList()) {
        listed.insert(entry.symbol);
    }
    ASSERT_EQ(listed.size(), 176u);
    const auto exported = definedDynamicSymbols(kLibrary);
    for (const auto& symbol : exported) {
        EXPECT_TRUE(listed.count(symbol)) << "exported but not listed: " << symbol;
    }
    for (const auto& symbol : listed) {
        EXPECT_TRUE(exported.count(symbol)) << "listed but not exported: " << symbol;
        EXPECT_NE(dlsym(handle, symbol.c_str()), nullptr) << symbol;
    }
    EXPECT_EQ(exported, listed);
    dlclose(handle);
}

TEST(SharedLibrary, SharedBodiesAreOneFunctionAndOrdinalOneAnswersZero) {
    void* handle = load();
    ASSERT_NE(handle, nullptr) << dlerror();
    EXPECT_EQ(dlsym(handle, "writeNameSensor"), dlsym(handle, "writeSerialNumberSensor"));
    const std::vector<std::vector<const char*>> groups = {
        {"removeSignalDataCallbackMorvex", "removeResistCallbackMorvex", "removeMEMSDataCallback"},
        {"readSupportedChannelsMorvex2", "readSupportedChannelsDravik", "readSupportedEEGChannels"},
        {"removeSensorsCallbackScanner",
         "removeSignalProcessParamDravik",
         "removeAmpModeCallback",
         "removeBatteryCallback",
         "removeBatteryVoltageCallback",
         "removeConnectionStateCallback",
         "removeElectrodeStateCallbackTessel",
         "removeEnvelopeDataCallbackTessel",
         "removeFPGDataCallback",
         "removeFileStreamReadCallbackDravik",
         "removePhotoStimSyncStateCallback",
         "removeQuaternionDataCallback",
         "removeResistCallbackMorvex2",
         "removeResistCallbackLorrel",
         "removeResistCallbackVondra",
         "removeResistCallbackVondra2",
         "removeResistCallbackDravik",
         "removeRespirationCallbackTessel",
         "removeSignalCallbackMorvex2",
         "removeSignalCallbackTessel",
         "removeSignalCallbackDravik",
         "removeSignalDataCallbackLorrel",
         "removeSignalDataCallbackVondra",
         "removeSignalDataCallbackVondra2",
         "removeSignalRawCallbackDravik",
         "removeSignalResistCallbackDravik",
         "removeStimModeCallback"}};
    for (const auto& group : groups) {
        void* const body = dlsym(handle, group.front());
        ASSERT_NE(body, nullptr) << group.front();
        for (const char* name : group) {
            EXPECT_EQ(dlsym(handle, name), body) << name << " is not the body of " << group.front();
        }
    }
    EXPECT_NE(dlsym(handle, "removeSignalDataCallbackMorvex"), dlsym(handle, "removeBatteryCallback"));
    using LedCount = int (*)(void*);
    auto ledCount = reinterpret_cast<LedCount>(dlsym(handle, "_Z25getLedChannelsCountSensorP7_Sensor"));
    ASSERT_NE(ledCount, nullptr);
    int sensor = 0;
    EXPECT_EQ(ledCount(nullptr), 0);
    EXPECT_EQ(ledCount(&sensor), 0) << "the handle is never looked at";
    dlclose(handle);
}

TEST(SharedLibrary, ListHasEveryOrdinalOnceAndOrdinalOneUnderItsMangledSymbol) {
    const auto entries = readExportsList();
    ASSERT_EQ(entries.size(), 176u);
    std::set<std::string> names;
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].ordinal, static_cast<int>(i + 1));
        EXPECT_TRUE(names.insert(entries[i].name).second) << "listed twice: " << entries[i].name;
        if (i > 0) {
            EXPECT_EQ(entries[i].symbol, entries[i].name) << "only ordinal 1 is exported under another symbol";
        }
    }
    // int getLedChannelsCountSensor(_Sensor*), mangled by hand.
    EXPECT_EQ(entries[0].name, "getLedChannelsCountSensor");
    EXPECT_EQ(entries[0].symbol, "_Z25getLedChannelsCountSensorP7_Sensor");
    EXPECT_EQ(definedDynamicSymbols(kLibrary).count("getLedChannelsCountSensor"), 0u);
}

TEST_F(InTemporaryFolder, LoadingCreatesTheLogFileAndEachLoadEmptiesIt) {
    const fs::path log = folder_ / "logs" / "sdk_log.log";
    void* handle = load();
    ASSERT_NE(handle, nullptr) << dlerror();
    ASSERT_TRUE(fs::exists(log));
    EXPECT_EQ(fs::file_size(log), 0u);
    ASSERT_EQ(dlclose(handle), 0);
    ASSERT_FALSE(stillLoaded()) << "the library must unload so that the next load starts afresh";

    std::ofstream(log, std::ios::app) << "left over from the previous load\n";
    ASSERT_GT(fs::file_size(log), 0u);
    handle = load();
    ASSERT_NE(handle, nullptr) << dlerror();
    EXPECT_EQ(fs::file_size(log), 0u);
    dlclose(handle);
}

TEST_F(InTemporaryFolder, UnusableLogFolderIsReportedAndLoadingGoesOn) {
    std::ofstream("logs") << "a file where the log folder should be\n";
    void* handle = nullptr;
    const std::string printed = capturedStdout([&] { handle = load(); });
    ASSERT_NE(handle, nullptr) << dlerror();
    EXPECT_NE(printed.find("Can't init log file: "), std::string::npos) << printed;
    dlclose(handle);
}
