#include "info/slot_size.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

namespace swug {
namespace {

TEST(SlotSize, BytesKibibytesAndMebibytesAndNothingElse) {
    const std::pair<const char*, std::uint64_t> sizes[] = {
        {"1", 1},       {"262144", 262144}, {"256K", 262144},
        {"1M", 1048576}, {"007", 7},        {"18446744073709551615", UINT64_MAX},
        {"17592186044415M", UINT64_MAX - 1048575}};
    for (const auto& [text, size] : sizes) {
        EXPECT_EQ(parse_slot_size(text), size) << text;
    }
    for (const char* text :
         {"", "0", "0K", "K", "-1", "+1", " 1", "1 ", "1k", "1KB", "1KiB", "1G", "0x100", "1.5M",
          "18446744073709551616", "18446744073709551617", "17592186044416M",
          "18014398509481984K"}) {
        EXPECT_EQ(parse_slot_size(text), std::nullopt) << text;
    }
}

}  // namespace
}  // namespace swug
