#include "image_format.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "expected_image.h"

namespace swug {
namespace {

TEST(CheckSum32, SumsBytesAsUnsignedValuesModulo2To32) {
    // 16843009 bytes of 0xFF add up to 0xFFFFFFFF exactly; one byte more wraps.
    std::vector<std::uint8_t> ff(16843010, 0xFF);
    const std::pair<std::uint32_t, std::uint32_t> cases[] = {
        {check_sum32(ff.data(), 2), 0x1FE}, {check_sum32(ff.data(), 0), 0},
        {check_sum32(ff.data(), -5), 0},    {check_sum32(nullptr, 0), 0},
        {check_sum32(ff.data(), 1024), 261120}, {check_sum32(ff.data(), 262144), 66846720},
        {check_sum32(ff.data(), 16843009), 0xFFFFFFFF}, {check_sum32(ff.data(), 16843010), 0xFE},
    };
    for (const auto& [sum, expected] : cases) {
        EXPECT_EQ(sum, expected);
    }
    ff.back() = 0x01;
    EXPECT_EQ(check_sum32(ff.data(), 16843010), 0u);
    // Lengths around the widths of the wide loops (16, 32 and 128 bytes at a time) catch one that
    // drops or repeats its tail.
    for (std::size_t i = 0; i < 262144; ++i) {
        ff[i] = static_cast<std::uint8_t>(255 - i * 7);
    }
    for (std::int32_t length :
         {1, 7, 15, 16, 17, 31, 33, 63, 65, 127, 128, 129, 255, 257, 1023, 1024, 262143, 262144}) {
        const std::uint32_t expected = std::accumulate(ff.begin(), ff.begin() + length, 0u);
        EXPECT_EQ(check_sum32(ff.data(), length), expected) << "length " << length;
    }
}

TEST(Header, FieldsAreLittleEndianAtTheirOffsets) {
    swug_header fields;
    fields.length = 10;
    fields.sum = 55;
    const header_bytes ten = encode_header(fields);  // the other fields are zero by default
    EXPECT_EQ(std::string(ten.begin(), ten.end()),
              testing::upgrade_image("\1\2\3\4\5\6\7\10\11\12").substr(0, 128));
    fields = {0x04030201, 0x08070605, 0, 1, 0x0C0B0A09, 0x00018000, 0xFFEEDDCC};
    const header_bytes bytes = encode_header(fields);
    const std::string expected =
        std::string("ZQ-TR5200 Image\0\1\2\3\4\5\6\7\10", 24) + std::string(40, '\0') +
        std::string("\1\0\0\0\x09\x0a\x0b\x0c\x00\x80\x01\x00\xcc\xdd\xee\xff", 16);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected + std::string(48, '\0'));
    EXPECT_EQ(encode_header(decode_header(bytes)), bytes);
    EXPECT_TRUE(magic_matches(bytes));
}

}  // namespace
}  // namespace swug
