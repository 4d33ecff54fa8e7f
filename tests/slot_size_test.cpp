#include "info/slot_size.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

namespace swug {
namespace {

TEST(SlotSize, BytesKibibytesAndMebibytes) {
    EXPECT_EQ(parse_slot_size("1"), 1u);
    EXPECT_EQ(parse_slot_size("262144"), 262144u);
    EXPECT_EQ(parse_slot_size("256K"), 262144u);
    EXPECT_EQ(parse_slot_size("1M"), 1048576u);
    EXPECT_EQ(parse_slot_size("007"), 7u);
    EXPECT_EQ(parse_slot_size("18446744073709551615"), UINT64_MAX);
    EXPECT_EQ(parse_slot_size("17592186044415M"), UINT64_MAX - 1048575);
}

TEST(SlotSize, AnythingElseIsNoSize) {
    for (const char* text :
         {"", "0", "0K", "K", "-1", "+1", " 1", "1 ", "1k", "1KB", "1KiB", "1G", "0x100", "1.5M",
          "18446744073709551616", "17592186044416M", "18014398509481984K"}) {
        EXPECT_EQ(parse_slot_size(text), std::nullopt) << text;
    }
}

}  // namespace
}  // namespace swug
