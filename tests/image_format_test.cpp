#include "image_format.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "expected_image.h"

namespace swug {
namespace {

TEST(CheckSum32, SumsBytesAsUnsignedValues) {
    const std::uint8_t abc[] = {0x61, 0x62, 0x63};
    EXPECT_EQ(check_sum32(abc, 3), 0x126u);
    const std::uint8_t high[] = {0xFF, 0x80};
    EXPECT_EQ(check_sum32(high, 2), 0x17Fu);
}

TEST(CheckSum32, EmptyOrNegativeLengthIsZero) {
    const std::uint8_t abc[] = {0x61, 0x62, 0x63};
    EXPECT_EQ(check_sum32(abc, 0), 0u);
    EXPECT_EQ(check_sum32(abc, -5), 0u);
    EXPECT_EQ(check_sum32(nullptr, 0), 0u);
}

TEST(CheckSum32, OddLengthsUpToAFullBufferMatchThePlainSum) {
    // Lengths around the widths of the wide loops (16, 32 and 128 bytes at a time) catch one that
    // drops or repeats its tail.
    std::vector<std::uint8_t> data(262144);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(255 - i * 7);
    }
    for (std::int32_t length :
         {1, 7, 15, 16, 17, 31, 33, 63, 65, 127, 128, 129, 255, 257, 1023, 1024, 262143, 262144}) {
        const std::uint32_t expected = std::accumulate(data.begin(), data.begin() + length, 0u);
        EXPECT_EQ(check_sum32(data.data(), length), expected) << "length " << length;
    }
}

TEST(CheckSum32, AFullBufferOfFFNeitherOverflowsNorLosesBytes) {
    const std::vector<std::uint8_t> ones(262144, 0xFF);
    EXPECT_EQ(check_sum32(ones.data(), 1024), 261120u);
    EXPECT_EQ(check_sum32(ones.data(), 262144), 66846720u);
}

TEST(CheckSum32, WrapsModulo2To32) {
    // 16843009 bytes of 0xFF add up to 0xFFFFFFFF exactly; one byte more wraps.
    std::vector<std::uint8_t> data(16843010, 0xFF);
    EXPECT_EQ(check_sum32(data.data(), 16843009), 0xFFFFFFFFu);
    EXPECT_EQ(check_sum32(data.data(), 16843010), 0xFEu);
    data.back() = 0x01;
    EXPECT_EQ(check_sum32(data.data(), 16843010), 0u);
}

TEST(Header, TenByteExampleHasTheDocumentedBytes) {
    swug_header fields;
    fields.length = 10;
    fields.sum = 55;
    const header_bytes bytes = encode_header(fields);

    header_bytes expected{};
    const char magic[16] = {'Z', 'Q', '-', 'T', 'R', '5', '2', '0',
                            '0', ' ', 'I', 'm', 'a', 'g', 'e', '\0'};
    std::copy(magic, magic + 16, expected.begin());
    expected[16] = 0x0A;
    expected[20] = 0x37;
    EXPECT_EQ(bytes, expected);
}

TEST(Header, FieldsAreLittleEndianAtTheirOffsets) {
    swug_header fields;
    fields.length = 0x04030201;
    fields.sum = 0x08070605;
    fields.upgrade_boot = 0;
    fields.mcu_ota_flag = 1;
    fields.mcu_addr = 0x0C0B0A09;
    fields.mcu_len = 0x00018000;
    fields.mcu_sum = 0xFFEEDDCC;
    const header_bytes bytes = encode_header(fields);
    const std::string expected = testing::hex_bytes(
        "5a512d54 52353230 3020496d 61676500"
        "01020304 05060708 00000000 00000000"
        "00000000 00000000 00000000 00000000"
        "00000000 00000000 00000000 00000000"
        "01000000 090a0b0c 00800100 ccddeeff"
        "00000000 00000000 00000000 00000000"
        "00000000 00000000 00000000 00000000"
        "00000000 00000000 00000000 00000000");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected);
    const swug_header decoded = decode_header(bytes);
    EXPECT_EQ(decoded.length, 0x04030201u);
    EXPECT_EQ(decoded.sum, 0x08070605u);
    EXPECT_EQ(decoded.upgrade_boot, 0u);
    EXPECT_EQ(decoded.mcu_ota_flag, 1u);
    EXPECT_EQ(decoded.mcu_addr, 0x0C0B0A09u);
    EXPECT_EQ(decoded.mcu_len, 0x00018000u);
    EXPECT_EQ(decoded.mcu_sum, 0xFFEEDDCCu);
    EXPECT_TRUE(magic_matches(bytes));
}

}  // namespace
}  // namespace swug
