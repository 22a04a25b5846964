#include "app/engine/DataFile.hpp"

#include <fstream>
#include <new>

namespace quellwave {

namespace {

constexpr int kDataFileExitCode = 1;

}  // namespace

DataFileResult<std::vector<std::uint8_t>> readDataFile(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open()) return DataFileError{"Failed to find " + name};

    // Only a regular file has a size: seeking to the end of a folder or a pipe gives nothing
    // that can be trusted as one.
    const DataFileError readFailure{"Failed to read " + name};
    std::error_code statusError;
    if (!std::filesystem::is_regular_file(path, statusError)) return readFailure;

    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    if (!file || size < 0) return readFailure;
    file.seekg(0, std::ios::beg);

    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        return readFailure;
    }
    file.read(reinterpret_cast<char*>(bytes.data()), size);
    if (!file || file.gcount() != size) return readFailure;
    return bytes;
}

int reportDataFileError(const std::string& message, std::ostream& out) {
    out << message << std::endl;
    return kDataFileExitCode;
}

}  // namespace quellwave
