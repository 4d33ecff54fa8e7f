// The upgrade image format: a 128-byte little-endian header, the software image, and an optional
// MCU OTA image. This module is where the C++ code finds the offsets, the magic and the limits;
// the writer, the reader and the tests all take them from here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "swug_verify.h"

namespace swug {

// The values come from the verifier's C header, so that the packer, swug_info's checks and the
// devices that take the images share one definition.
constexpr std::size_t header_size = SWUG_VERIFY_HEADER_SIZE;

// 15 characters and the terminating zero byte fill the 16-byte magic field.
constexpr char magic_text[] = SWUG_VERIFY_MAGIC;
constexpr std::size_t magic_size = SWUG_VERIFY_MAGIC_SIZE;
static_assert(sizeof(magic_text) == magic_size, "the magic is 15 characters and a zero byte");

constexpr std::size_t length_offset = SWUG_VERIFY_LENGTH_OFFSET;
constexpr std::size_t sum_offset = SWUG_VERIFY_SUM_OFFSET;
constexpr std::size_t upgrade_boot_offset = SWUG_VERIFY_UPGRADE_BOOT_OFFSET;
constexpr std::size_t mcu_ota_flag_offset = SWUG_VERIFY_MCU_OTA_FLAG_OFFSET;
constexpr std::size_t mcu_addr_offset = SWUG_VERIFY_MCU_ADDR_OFFSET;
constexpr std::size_t mcu_len_offset = SWUG_VERIFY_MCU_LEN_OFFSET;
constexpr std::size_t mcu_sum_offset = SWUG_VERIFY_MCU_SUM_OFFSET;

// The bytes between the named fields that must stay zero: [begin, end).
struct byte_range {
    std::size_t begin;
    std::size_t end;
};
constexpr std::array<byte_range, 2> unused_header_ranges{
    {{SWUG_VERIFY_ZERO_BYTES_1_BEGIN, SWUG_VERIFY_ZERO_BYTES_1_END},
     {SWUG_VERIFY_ZERO_BYTES_2_BEGIN, SWUG_VERIFY_ZERO_BYTES_2_END}}};

// Largest MCU OTA image that is appended (96 KiB, inclusive).
constexpr std::uint32_t mcu_ota_max_size = SWUG_VERIFY_MCU_OTA_MAX_SIZE;

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
