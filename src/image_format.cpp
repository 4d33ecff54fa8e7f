#include "image_format.h"

#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define SWUG_HAS_AVX2_PATH 1
#endif

namespace swug {

namespace {

#ifdef SWUG_HAS_AVX2_PATH
// AVX2 sums 32 bytes per instruction. It is chosen at run time, so the build stays portable.
__attribute__((target("avx2"))) std::uint32_t sum_avx2(const std::uint8_t* data, std::size_t count,
                                                       std::size_t& at) {
    const __m256i zero = _mm256_setzero_si256();
    // Four running totals, so that one block's sum need not wait for the one before.
    __m256i lanes[4] = {zero, zero, zero, zero};
    for (; count - at >= 128; at += 128) {
        for (std::size_t i = 0; i < 4; ++i) {
            const __m256i block =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + at + 32 * i));
            lanes[i] = _mm256_add_epi64(lanes[i], _mm256_sad_epu8(block, zero));
        }
    }
    const __m256i total = _mm256_add_epi64(_mm256_add_epi64(lanes[0], lanes[1]),
                                           _mm256_add_epi64(lanes[2], lanes[3]));
    std::uint64_t quarters[4];
    std::memcpy(quarters, &total, sizeof quarters);
    return static_cast<std::uint32_t>(quarters[0] + quarters[1] + quarters[2] + quarters[3]);
}

const bool has_avx2 = __builtin_cpu_supports("avx2");
#endif

}  // namespace

std::uint32_t check_sum32(const std::uint8_t* data, std::int32_t length) {
    if (data == nullptr || length <= 0) {
        return 0;
    }
    const auto count = static_cast<std::size_t>(length);
    std::size_t at = 0;
    std::uint32_t total = 0;
#ifdef SWUG_HAS_AVX2_PATH
    if (has_avx2) {
        total += sum_avx2(data, count, at);
    }
#endif
#if defined(__SSE2__) || defined(_M_X64)
    // SSE2 belongs to every x86-64 CPU: one instruction sums 16 bytes into two 64-bit lanes.
    const __m128i zero = _mm_setzero_si128();
    __m128i lanes = zero;
    for (; count - at >= 16; at += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
        lanes = _mm_add_epi64(lanes, _mm_sad_epu8(block, zero));
    }
    std::uint64_t halves[2];
    std::memcpy(halves, &lanes, sizeof halves);
    total += static_cast<std::uint32_t>(halves[0] + halves[1]);
#endif
    for (; at < count; ++at) {
        total += data[at];
    }
    return total;
}

void store_le32(header_bytes& bytes, std::size_t offset, std::uint32_t value) {
    (void)bytes.at(offset + 3);  // one range check covers all four bytes
    bytes[offset] = static_cast<std::uint8_t>(value);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
    bytes[offset + 2] = static_cast<std::uint8_t>(value >> 16);
    bytes[offset + 3] = static_cast<std::uint8_t>(value >> 24);
}

std::uint32_t load_le32(const header_bytes& bytes, std::size_t offset) {
    (void)bytes.at(offset + 3);
    return static_cast<std::uint32_t>(bytes[offset]) |
           static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

header_bytes encode_header(const swug_header& fields) {
    header_bytes bytes{};
    std::memcpy(bytes.data(), magic_text, magic_size);
    store_le32(bytes, length_offset, fields.length);
    store_le32(bytes, sum_offset, fields.sum);
    store_le32(bytes, upgrade_boot_offset, fields.upgrade_boot);
    store_le32(bytes, mcu_ota_flag_offset, fields.mcu_ota_flag);
    store_le32(bytes, mcu_addr_offset, fields.mcu_addr);
    store_le32(bytes, mcu_len_offset, fields.mcu_len);
    store_le32(bytes, mcu_sum_offset, fields.mcu_sum);
    return bytes;
}

swug_header decode_header(const header_bytes& bytes) {
    swug_header fields;
    fields.length = load_le32(bytes, length_offset);
    fields.sum = load_le32(bytes, sum_offset);
    fields.upgrade_boot = load_le32(bytes, upgrade_boot_offset);
    fields.mcu_ota_flag = load_le32(bytes, mcu_ota_flag_offset);
    fields.mcu_addr = load_le32(bytes, mcu_addr_offset);
    fields.mcu_len = load_le32(bytes, mcu_len_offset);
    fields.mcu_sum = load_le32(bytes, mcu_sum_offset);
    return fields;
}

bool magic_matches(const header_bytes& bytes) {
    return std::memcmp(bytes.data(), magic_text, magic_size) == 0;
}

}  // namespace swug
