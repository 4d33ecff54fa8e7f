// The streaming verifier: one verdict however the image is cut, the early verdict before any
// byte is summed, the numbers of each check, and the parts as they stream past.
#include "swug_verify.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "expected_image.h"

namespace swug {
namespace {

using testing::bytes;
using testing::le32;
using testing::upgrade_image;

constexpr std::uint64_t no_limit = SWUG_VERIFY_NO_LIMIT;
constexpr std::uint64_t unknown = SWUG_VERIFY_UNKNOWN_SIZE;
constexpr std::size_t at_once = SIZE_MAX;  // a chunk size

// 128 header bytes, three 64-bit counts, four 32-bit ones and the sum function: 176 bytes here and
// on a 32-bit device, where the 64-bit counts are aligned to 8 bytes too.
static_assert(sizeof(swug_verify) <= 192, "the verifier's state must stay small");

const std::uint8_t* data_of(const bytes& image) {
    return reinterpret_cast<const std::uint8_t*>(image.data());
}

// Feeds image in chunks of chunk bytes (0: of 0 to 300 bytes at random).
swug_verify_result judge(const bytes& image, std::size_t chunk, std::uint64_t capacity = no_limit,
                         std::uint64_t known_size = unknown) {
    static std::mt19937 generator(18);
    swug_verify v;
    swug_verify_start(&v, capacity, known_size);
    for (std::size_t at = 0, count = 0; at < image.size(); at += count) {
        count = chunk != 0 ? chunk : std::uniform_int_distribution<std::size_t>(0, 300)(generator);
        count = std::min(count, image.size() - at);
        swug_verify_feed(&v, data_of(image) + at, count);
    }
    swug_verify_result result;
    std::memset(&result, 0xA5, sizeof result);  // nothing may be left as it was
    EXPECT_EQ(swug_verify_finish(&v, &result), result.valid);
    return result;
}

std::vector<std::string> failed_names(const swug_verify_result& result) {
    static const char* const names[] = SWUG_VERIFY_CHECK_NAMES;
    std::vector<std::string> failed;
    for (unsigned check = 0; check < SWUG_CHECK_COUNT; ++check) {
        if ((result.failed & (1u << check)) != 0) {
            failed.push_back(names[check]);
        }
    }
    return failed;
}

bool same_result(const swug_verify_result& a, const swug_verify_result& b) {
    return a.valid == b.valid && a.ran == b.ran && a.failed == b.failed &&
           std::memcmp(a.expected, b.expected, sizeof a.expected) == 0 &&
           std::memcmp(a.found, b.found, sizeof a.found) == 0;
}

// image with the bytes at offset replaced by value.
bytes with(bytes image, std::size_t offset, const bytes& value) {
    return image.replace(offset, value.size(), value);
}

const bytes ten = "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a";
const bytes plain = upgrade_image(ten);                   // 138 bytes, sum 0x37
const bytes with_mcu = upgrade_image(ten, bytes("abc"));  // 141 bytes, MCU OTA image at 138

struct verdict_row {
    std::string what;
    bytes image;
    std::vector<std::string> failed;
    std::uint64_t capacity = no_limit, known_size = unknown;
};

// Each row is judged whole, in chunks of 1, 7, 128 and 4096 bytes and of random sizes, with the
// size unknown and, where the row gives none, known as the image's own: one verdict, with the
// same numbers. The golden images (tests/golden/VERDICTS) are rows too.
TEST(SwugVerify, OneVerdictHoweverTheImageIsCut) {
    std::vector<verdict_row> rows = {
        {"no bytes at all", "", {"size"}},
        {"a magic without its zero byte", with(plain, 15, " "), {"magic"}},
        {"a software image short of one byte", plain.substr(0, 137), {"length", "sum", "file_end"}},
        {"length one less", with(plain, 16, le32(9)), {"sum", "file_end"}},
        {"upgrade_boot 0x100", with(plain, 24, le32(0x100)), {"upgrade_boot"}},
        {"flag 0 behind an MCU OTA image", with(with_mcu, 64, le32(0)), {"mcu_fields", "file_end"}},
        {"flag 1 without an MCU OTA image", with(plain, 64, le32(1)), {"mcu_addr"}},
        {"mcu_len one more", with(with_mcu, 72, le32(4)), {"file_end"}},
        {"mcu_len over the limit", with(with_mcu, 72, le32(98305)), {"mcu_len", "file_end"}},
        {"an MCU OTA image short of one byte", with_mcu.substr(0, 140), {"file_end", "mcu_sum"}},
        {"a byte trailing", plain + "!", {"file_end"}},
        {"an image exactly the slot's size", plain, {}, 138},
        {"an image one byte over the slot", plain, {"size", "length"}, 137},
        {"a software image over the slot", plain, {"size", "length"}, 130},
        {"a slot that can't hold a header", plain, {"size", "length"}, 100},
        {"a known size one byte short", plain, {"size", "length"}, no_limit, 137},
        {"a known size one byte long", plain, {"file_end"}, no_limit, 139},
        {"a known size that cuts the header", plain, {"size", "length"}, no_limit, 100},
    };
    for (const std::size_t at : {28, 60, 61, 62, 63, 127}) {
        rows.push_back({"a stray byte at " + std::to_string(at), with(plain, at, "\1"),
                        {"unused_bytes"}});
    }
    for (const auto& [file, failed] : testing::golden_verdicts()) {
        rows.push_back({file, testing::source_file("tests/golden/" + file), failed});
    }
    for (const verdict_row& row : rows) {
        SCOPED_TRACE(row.what);
        const swug_verify_result whole = judge(row.image, at_once, row.capacity, row.known_size);
        EXPECT_EQ(failed_names(whole), row.failed);
        EXPECT_EQ(whole.valid, row.failed.empty());
        for (const std::size_t chunk : {1, 7, 128, 4096, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                        0, 0, 0, 0, 0, 0}) {  // 0: a round of random sizes
            EXPECT_TRUE(same_result(judge(row.image, chunk, row.capacity, row.known_size), whole))
                << "chunks of " << chunk;
        }
        if (row.known_size == unknown) {
            // The size known beforehand changes no verdict on a whole file.
            EXPECT_EQ(failed_names(judge(row.image, 7, row.capacity, row.image.size())),
                      row.failed);
        }
    }
}

// A check passes when its two numbers are the same.
TEST(SwugVerify, EachCheckThatRunsHoldsItsNumbers) {
    const struct {
        bytes image;
        swug_verify_check check;
        std::uint64_t expected, found, known_size = unknown;
    } rows[] = {
        {plain.substr(0, 5), SWUG_CHECK_SIZE, 128, 5},  // at least a header, what came
        {plain, SWUG_CHECK_SIZE, 1000, 1000, 1000},     // a known size stands for the unread rest
        {with(plain, 3, "x"), SWUG_CHECK_MAGIC, 16, 3},  // the bytes that match
        {with(plain, 16, le32(11)), SWUG_CHECK_LENGTH, 10, 11},  // the room there is
        {with(plain, 20, le32(0x38)), SWUG_CHECK_SUM, 0x38, 0x37},  // the field, the bytes' sum
        {with(with(plain, 100, "\1"), 40, "\1"), SWUG_CHECK_UNUSED_BYTES, 128, 40},  // the first
        {with(plain, 68, le32(0x10) + le32(1)), SWUG_CHECK_MCU_FIELDS, 0, 0x11},  // or'ed together
        // Behind a length near 4 GiB, mcu_addr needs 33 bits.
        {with(with(with_mcu, 16, le32(0xFFFFFFF0u)), 68, le32(0x70)), SWUG_CHECK_MCU_ADDR,
         0x100000070ull, 0x70},
        {upgrade_image("", bytes(98305, '\0')), SWUG_CHECK_MCU_LEN, 98304, 98305},
        {with_mcu + "xy", SWUG_CHECK_FILE_END, 141, 143},
        {with(with_mcu, 140, "d"), SWUG_CHECK_MCU_SUM, 0x126, 0x127},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.check);
        const swug_verify_result result = judge(row.image, 7, no_limit, row.known_size);
        ASSERT_NE(result.ran & (1u << row.check), 0u);
        EXPECT_EQ((result.failed & (1u << row.check)) == 0, row.expected == row.found);
        EXPECT_EQ(result.expected[row.check], row.expected);
        EXPECT_EQ(result.found[row.check], row.found);
    }
    // Checks that do not apply do not run, and hold no numbers.
    EXPECT_EQ(judge("short", at_once).ran, 1u << SWUG_CHECK_SIZE);
    const swug_verify_result flag_two = judge(with(plain, 64, le32(2)), at_once);
    EXPECT_EQ(flag_two.ran, (1u << (SWUG_CHECK_MCU_OTA_FLAG + 1)) - 1);
    for (unsigned check = SWUG_CHECK_MCU_FIELDS; check < SWUG_CHECK_COUNT; ++check) {
        EXPECT_EQ(flag_two.expected[check] | flag_two.found[check], 0u) << check;
    }
}

// A sum function that counts the bytes it was given.
std::size_t bytes_summed = 0;
extern "C" std::uint32_t counting_sum(const std::uint8_t* data, std::size_t size) {
    bytes_summed += size;
    return testing::byte_sum(testing::bytes_of(data, size));
}

TEST(SwugVerify, TheVerdictIsKnownAsSoonAsTheBytesDecideItWithTheHostsSum) {
    const struct {
        const char* what;
        bytes image;
        std::size_t rejected_from;  // bytes fed when the verdict is known; image.size() + 1: never
        bool valid = false;         // the verdict once the whole image is in
        std::uint64_t capacity = no_limit, known_size = unknown;
    } rows[] = {
        {"a valid image, never", with_mcu, with_mcu.size() + 1, true},
        {"a wrong magic, at the header", with(with_mcu, 0, "z"), 128},
        {"a stray byte, at the header", with(with_mcu, 100, "\1"), 128},
        // A length of 1 GiB in a slot of 64 KiB: decided by the header, before a byte is summed.
        {"a length beyond the slot, at the header", with(plain, 16, le32(1u << 30)), 128, false,
         65536},
        {"an MCU OTA image over 96 KiB, at the header", with(with_mcu, 72, le32(98305)), 128},
        {"parts beyond the known size, at the header", with_mcu, 128, false, no_limit, 140},
        {"parts short of the known size, at the header", with_mcu, 128, false, no_limit, 142},
        {"a slot too small for a header, at once", plain, 0, false, 100},
        {"a header alone in a slot of its size, never", upgrade_image(""), 129, true, 128},
        {"a wrong sum, once the software image is in", with(with_mcu, 20, le32(0)), 138},
        {"a wrong MCU OTA sum, once it is in", with(with_mcu, 76, le32(0)), 141},
        {"a trailing byte, when it comes", with_mcu + "!", 142},
        {"a short image, never before its end", with_mcu.substr(0, 139), 140},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        swug_verify v;
        swug_verify_start(&v, row.capacity, row.known_size);
        swug_verify_use_sum(&v, counting_sum);
        bytes_summed = 0;
        for (std::size_t fed = 0; fed <= row.image.size(); ++fed) {
            EXPECT_EQ(swug_verify_rejected(&v), fed >= row.rejected_from) << "after " << fed;
            EXPECT_FALSE(fed == 128 && row.rejected_from == 128 && bytes_summed != 0);
            if (fed < row.image.size()) {
                swug_verify_feed(&v, data_of(row.image) + fed, 1);
            }
        }
        // The host's sum was given the parts alone and gives the built-in sum's verdict.
        swug_verify_result result;
        EXPECT_EQ(swug_verify_finish(&v, &result), row.valid);
        EXPECT_TRUE(same_result(result, judge(row.image, at_once, row.capacity, row.known_size)));
        EXPECT_TRUE(!row.valid || bytes_summed == row.image.size() - 128);
    }
}

TEST(SwugVerify, NextNamesThePartEachByteBelongsTo) {
    using step = std::tuple<std::size_t, swug_verify_part, std::uint32_t>;  // fed, part, left
    const std::pair<bytes, std::vector<step>> rows[] = {
        {with_mcu,
         {{0, SWUG_PART_HEADER, 128}, {127, SWUG_PART_HEADER, 1}, {128, SWUG_PART_SOFTWARE, 10},
          {137, SWUG_PART_SOFTWARE, 1}, {138, SWUG_PART_MCU, 3}, {141, SWUG_PART_NONE, 0},
          {142, SWUG_PART_NONE, 0}}},
        // Empty parts are skipped; flag 0 has no MCU OTA part at all, nor has a flag of 2.
        {upgrade_image("", bytes()), {{128, SWUG_PART_NONE, 0}}},
        {upgrade_image("", bytes("m")), {{128, SWUG_PART_MCU, 1}, {129, SWUG_PART_NONE, 0}}},
        {plain, {{137, SWUG_PART_SOFTWARE, 1}, {138, SWUG_PART_NONE, 0}}},
        {with(with_mcu, 64, le32(2)), {{138, SWUG_PART_NONE, 0}}},
    };
    for (const auto& [image, steps] : rows) {
        const bytes fed_image = image + "!";
        for (const auto& [fed, part, left] : steps) {
            swug_verify v;
            swug_verify_start(&v, no_limit, unknown);
            swug_verify_feed(&v, data_of(fed_image), fed);
            std::uint32_t found = 99;
            EXPECT_EQ(swug_verify_next(&v, &found), part) << "after " << fed;
            EXPECT_EQ(found, left) << "after " << fed;
        }
    }
}

TEST(SwugVerify, FinishChangesNothingAndFeedingGoesOn) {
    swug_verify v;
    swug_verify_start(&v, no_limit, unknown);
    swug_verify_feed(&v, data_of(with_mcu), 139);
    swug_verify_result early, late;
    EXPECT_FALSE(swug_verify_finish(&v, &early));
    swug_verify_feed(&v, data_of(with_mcu) + 139, with_mcu.size() - 139);
    EXPECT_TRUE(swug_verify_finish(&v, &late));
    EXPECT_TRUE(swug_verify_finish(&v, &early));
    EXPECT_TRUE(same_result(early, late));
    // Starting again judges a new image from its first byte.
    swug_verify_start(&v, no_limit, unknown);
    swug_verify_feed(&v, data_of(plain), plain.size());
    EXPECT_TRUE(swug_verify_finish(&v, &late));
    EXPECT_EQ(late.found[SWUG_CHECK_SIZE], plain.size());
}

}  // namespace
}  // namespace swug
