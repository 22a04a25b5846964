#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace quellwave {

// Why the affirmation data file could not be used; the message is what the program prints.
struct DataFileError {
    std::string message;
};

// A value, or the reason the data file could not give it.
template <class T>
class DataFileResult {
public:
    DataFileResult(T value) : outcome_(std::move(value)) {}
    DataFileResult(DataFileError error) : outcome_(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(outcome_); }
    T& value() { return std::get<T>(outcome_); }
    const T& value() const { return std::get<T>(outcome_); }
    const std::string& errorMessage() const { return std::get<DataFileError>(outcome_).message; }

private:
    std::variant<T, DataFileError> outcome_;
};

// The name of the data file in the program's current folder.
inline constexpr const char* kDataFileName = "data.qw";

// Reads the whole file. Fails with "Failed to find <name>" when it cannot be opened and with
// "Failed to read <name>" when its size cannot be determined or the read falls short.
DataFileResult<std::vector<std::uint8_t>> readDataFile(const std::filesystem::path& path);

// Prints the message and a line end to `out` and returns the program's exit code for a data
// file that cannot be used (never zero: the program did not do its job).
int reportDataFileError(const std::string& message, std::ostream& out);

}  // namespace quellwave
