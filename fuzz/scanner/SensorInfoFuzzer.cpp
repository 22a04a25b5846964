// Feeds arbitrary advertisement contents (name, service UUIDs, manufacturer blocks) to the
// found-sensor record filling and checks that every text field stays terminated.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sdk/api/SensorInfoFill.hpp"

using namespace VexaDevice;

namespace {

// Hands out the fuzz input piece by piece; past the end everything is empty.
class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t byte() { return position_ < size_ ? data_[position_++] : 0; }

    std::vector<uint8_t> bytes(size_t count) {
        const size_t taken = std::min(count, size_ - position_);
        std::vector<uint8_t> out(data_ + position_, data_ + position_ + taken);
        position_ += taken;
        return out;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

template <size_t N>
void checkTerminated(const char (&field)[N]) {
    if (std::memchr(field, '\0', N) == nullptr) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input input(data, size);
    const std::vector<uint8_t> nameBytes = input.bytes(input.byte() * 2u);

    std::vector<Utility::UUID> services(input.byte() % 4);
    for (auto& service : services) {
        const auto bytes = input.bytes(service.bytes.size());
        std::copy(bytes.begin(), bytes.end(), service.bytes.begin());
    }

    BLE::DeviceParamManufacturerData::Blocks blocks;
    for (int entry = input.byte() % 4; entry > 0; --entry) {
        const uint32_t company = (input.byte() & 1) ? 0xFFFF : 0xFFFE;
        blocks[company].push_back(input.bytes(input.byte() % 24));
    }

    const auto address = input.bytes(6);
    std::array<uint8_t, 6> addressBytes{};
    std::copy(address.begin(), address.end(), addressBytes.begin());

    BLE::DeviceParamMap params{
        {BLE::servicesUuidsKey, std::make_shared<BLE::DeviceParamServicesUUID>(services)},
        {BLE::manufacturerDataKey, std::make_shared<BLE::DeviceParamManufacturerData>(blocks)},
    };
    const BLE::DeviceInfo device(std::make_shared<BLE::DeviceId>(addressBytes),
                                 std::string(nameBytes.begin(), nameBytes.end()), params,
                                 static_cast<int8_t>(input.byte()), 0, input.byte());

    const _SensorInfo info = Api::toSensorInfo(device);
    checkTerminated(info.Name);
    checkTerminated(info.Address);
    checkTerminated(info.SerialNumber);
    if (info.PairingRequired > 1) {
        std::abort();
    }
    return 0;
}
