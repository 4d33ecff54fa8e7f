#include "image_format.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

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

TEST(CheckSum32, FullChunkOfOddLengthsMatchesPlainSum) {
    // Lengths around vector widths catch a wide loop that drops or repeats its tail.
    std::vector<std::uint8_t> data(1024);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(255 - i * 7);
    }
    for (std::int32_t length : {1, 7, 15, 16, 17, 31, 33, 63, 65, 1023, 1024}) {
        const std::uint32_t expected = std::accumulate(data.begin(), data.begin() + length, 0u);
        EXPECT_EQ(check_sum32(data.data(), length), expected) << "length " << length;
    }
}

TEST(CheckSum32, AFullChunkOfFFNeitherOverflowsNorLosesBytes) {
    const std::vector<std::uint8_t> ones(1024, 0xFF);
    EXPECT_EQ(check_sum32(ones.data(), static_cast<std::int32_t>(1024)), 1024u * 255u);
}

TEST(CheckSum32, RunningTotalWrapsModulo2To32) {
    const std::uint8_t two[] = {1, 1};
    std::uint32_t total = 0xFFFFFFFFu;
    total += check_sum32(two, 2);
    EXPECT_EQ(total, 1u);
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
    const std::vector<std::pair<std::size_t, std::vector<std::uint8_t>>> expected = {
        {16, {0x01, 0x02, 0x03, 0x04}},
        {20, {0x05, 0x06, 0x07, 0x08}},
        {24, {0, 0, 0, 0}},
        {64, {0x01, 0, 0, 0}},
        {68, {0x09, 0x0A, 0x0B, 0x0C}},
        {72, {0x00, 0x80, 0x01, 0x00}},
        {76, {0xCC, 0xDD, 0xEE, 0xFF}},
    };
    for (const auto& [offset, field] : expected) {
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + offset, bytes.begin() + offset + 4),
                  field)
            << "offset " << offset;
    }
    for (const byte_range& unused : unused_header_ranges) {
        for (std::size_t i = unused.begin; i < unused.end; ++i) {
            EXPECT_EQ(bytes[i], 0) << "byte " << i;
        }
    }
    const swug_header decoded = decode_header(bytes);
    EXPECT_EQ(decoded.length, fields.length);
    EXPECT_EQ(decoded.mcu_addr, fields.mcu_addr);
    EXPECT_EQ(decoded.mcu_sum, fields.mcu_sum);
    EXPECT_TRUE(magic_matches(bytes));
}

}  // namespace
}  // namespace swug
