#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/engine/AffirmationClips.hpp"
#include "tools/qwpack/AffirmationTrack.hpp"
#include "tools/qwpack/PcmWav.hpp"

namespace quellwave::testing {

// A private folder for data files, removed after each test.
class DataFileFolder : public ::testing::Test {
protected:
    void SetUp() override {
        static int created = 0;
        folder_ = std::filesystem::temp_directory_path() /
                  ("qw-datafile-" + std::to_string(::getpid()) + "-" + std::to_string(++created));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::filesystem::path dataFile() const { return folder_ / "data.qw"; }

    void write(const std::vector<std::uint8_t>& bytes) const {
        std::ofstream out(dataFile(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

private:
    std::filesystem::path folder_;
};

// Silent interleaved audio of the given length.
inline qwpack::PcmAudio silence(std::uint32_t rate, std::uint16_t channels, double seconds) {
    qwpack::PcmAudio audio{{}, rate, channels};
    audio.samples.assign(static_cast<std::size_t>(std::floor(rate * seconds)) * channels, 0);
    return audio;
}

inline std::size_t clipFirstFrame(std::uint32_t rate, std::size_t clip) {
    return static_cast<std::size_t>(std::floor(rate * ClipTable::start(clip)));
}

inline std::size_t clipFrames(std::uint32_t rate, std::size_t clip) {
    return static_cast<std::size_t>(std::floor(rate * ClipTable::duration(clip)));
}

}  // namespace quellwave::testing
