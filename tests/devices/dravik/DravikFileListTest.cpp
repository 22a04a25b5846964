// The file list as FS Stream notifications bring it, entry by entry up to the end record.

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <vector>

#include "sdk/devices/dravik/DravikFileList.hpp"

using namespace VexaDevice::Dravik;
using namespace std::chrono_literals;

namespace {

std::vector<std::optional<_FileInfo>> entries(std::initializer_list<const char*> names) {
    std::vector<std::optional<_FileInfo>> out;
    for (const char* name : names) {
        out.push_back(name == nullptr ? std::nullopt : std::optional<_FileInfo>(_FileInfo{name, 1, 0, 0, 0x20}));
    }
    return out;
}

std::vector<std::string> names(const std::vector<_FileInfo>& files) {
    std::vector<std::string> out;
    for (const auto& file : files) {
        out.push_back(file.name);
    }
    return out;
}

}  // namespace

TEST(DravikFileList, AListingGetsOnlyTheEntriesAfterItStartedUpToTheEnd) {
    DravikFileList list;
    // What is left of a listing that gave up half-way.
    auto stale = entries({"old.bin"});
    list.take(stale);

    auto listing = list.begin();
    auto first = entries({"a.bin"});
    list.take(first);
    EXPECT_EQ(listing.files.wait_for(0ms), std::future_status::timeout) << "no end record yet";
    // The end, and a second list in the same notification that nobody waits for.
    auto rest = entries({"b.bin", nullptr, "c.bin", nullptr});
    list.take(rest);
    ASSERT_EQ(listing.files.wait_for(0ms), std::future_status::ready);
    EXPECT_EQ(names(listing.files.get()), (std::vector<std::string>{"a.bin", "b.bin"}));

    // A listing dropped before its end leaves nothing behind for the next one.
    list.begin();
    auto late = entries({"d.bin", nullptr});
    list.take(late);
    auto next = list.begin();
    auto empty = entries({nullptr});
    list.take(empty);
    ASSERT_EQ(next.files.wait_for(0ms), std::future_status::ready);
    EXPECT_TRUE(next.files.get().empty());
}
