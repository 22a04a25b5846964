// qwpack: makes the program's affirmation data file from texts, and checks data files.
//
//   qwpack --texts TEXTS --out FILE   speak each text, lay the clips out, encipher, write FILE
//   qwpack --verify FILE              decipher and check FILE as the program loads it

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string_view>

#include "tools/qwpack/AffirmationTrack.hpp"
#include "tools/qwpack/DataFileCheck.hpp"
#include "tools/qwpack/SpeechSynthesizer.hpp"

namespace {

constexpr int kFailure = 1;
constexpr int kUsage = 2;

int usage() {
    std::cerr << "usage: qwpack --texts TEXTS --out FILE\n"
                 "       qwpack --verify FILE\n";
    return kUsage;
}

// Writes next to the target and renames, so an interrupted build never leaves half a file.
void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::filesystem::path partial = path;
    partial += ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) throw std::runtime_error("cannot write " + partial.string());
    }
    std::filesystem::rename(partial, path);
}

int pack(const std::filesystem::path& textsPath, const std::filesystem::path& outPath) {
    const qwpack::SpeechSynthesizer synthesizer;
    std::vector<qwpack::PcmAudio> speech;
    for (const std::string& text : qwpack::readAffirmationTexts(textsPath)) {
        speech.push_back(synthesizer.speak(text));
    }
    writeFile(outPath, qwpack::packDataFile(qwpack::layOutAffirmations(speech)));
    return 0;
}

int verify(const std::filesystem::path& path) {
    const auto checked = qwpack::verifyDataFile(path);
    if (!checked.ok()) return quellwave::reportDataFileError(checked.errorMessage(), std::cout);
    const auto& clips = checked.value();
    std::cout << path.string() << ": " << clips.clips.size() << " affirmations, " << clips.sampleRate << " Hz stereo"
              << std::endl;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 3 && std::string_view(argv[1]) == "--verify") return verify(argv[2]);
        if (argc == 5 && std::string_view(argv[1]) == "--texts" && std::string_view(argv[3]) == "--out") {
            return pack(argv[2], argv[4]);
        }
        return usage();
    } catch (const std::exception& error) {
        std::cerr << "qwpack: " << error.what() << std::endl;
        return kFailure;
    }
}
