// The upgrade image format: a 128-byte little-endian header, the software image, and an optional
// MCU OTA image. This module is the one place that knows the offsets, the magic and the limits;
// the writer, the reader and the tests all take them from here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace swug {

constexpr std::size_t header_size = 128;

// 15 characters and the terminating zero byte fill the 16-byte magic field.
constexpr char magic_text[] = "ZQ-TR5200 Image";
constexpr std::size_t magic_size = 16;
static_assert(sizeof(magic_text) == magic_size, "the magic is 15 characters and a zero byte");

constexpr std::size_t length_offset = 16;
constexpr std::size_t sum_offset = 20;
constexpr std::size_t upgrade_boot_offset = 24;
constexpr std::size_t mcu_ota_flag_offset = 64;
constexpr std::size_t mcu_addr_offset = 68;
constexpr std::size_t mcu_len_offset = 72;
constexpr std::size_t mcu_sum_offset = 76;

// The bytes between the named fields that must stay zero: [begin, end).
struct byte_range {
    std::size_t begin;
    std::size_t end;
};
constexpr std::array<byte_range, 2> unused_header_ranges{{{28, 64}, {80, 128}}};

// Largest MCU OTA image that is appended (96 KiB, inclusive).
constexpr std::uint32_t mcu_ota_max_size = 98304;

// Largest value a 32-bit header field can hold.
constexpr std::uint64_t field_max = 0xFFFFFFFFu;

// Longest software image a header can describe: its length must fit 32 bits, and so must the MCU
// OTA image's offset, 128 + length, when one follows.
constexpr std::uint64_t software_length_limit(bool with_mcu) {
    return with_mcu ? field_max - header_size : field_max;
}

using header_bytes = std::array<std::uint8_t, header_size>;

// The values of a header's named fields; the magic and the zero bytes are implied.
struct swug_header {
    std::uint32_t length = 0;
    std::uint32_t sum = 0;
    std::uint32_t upgrade_boot = 0;
    std::uint32_t mcu_ota_flag = 0;
    std::uint32_t mcu_addr = 0;
    std::uint32_t mcu_len = 0;
    std::uint32_t mcu_sum = 0;
};

// Byte-sum of data[0..length-1], each byte taken as 0..255; 0 for a length of 0 or less.
// Callers add the result into their own running total, which wraps modulo 2^32.
std::uint32_t check_sum32(const std::uint8_t* data, std::int32_t length);

void store_le32(header_bytes& bytes, std::size_t offset, std::uint32_t value);
std::uint32_t load_le32(const header_bytes& bytes, std::size_t offset);

// The 128 header bytes: magic, every field little-endian, zeros everywhere else.
header_bytes encode_header(const swug_header& fields);

// The named fields of 128 header bytes, without judging them.
swug_header decode_header(const header_bytes& bytes);

bool magic_matches(const header_bytes& bytes);

}  // namespace swug
