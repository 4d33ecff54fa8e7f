// The packing step driven with files that fail: every fault is reported with its reason, never
// as success, and a clean run writes the exact image in page-aligned writes.
#include <gtest/gtest.h>

#include <optional>

#include "expected_image.h"
#include "fake_stream.h"
#include "image_pack.h"

namespace swug::testing {
namespace {

constexpr auto never = std::numeric_limits<std::uint64_t>::max();

pack_outcome pack(fake_file& software, fake_file* mcu, fake_file& image) {
    copy_buffer buffer;
    return pack_upgrade_image(software, mcu, image, buffer);
}

// Each row: the sizes of the parts, where the software, MCU OTA and image files fail, and the
// failure with its reason; the image fails with ENOSPC, or ESPIPE when it can't go back to the
// header, the parts with EIO.
TEST(PackUpgradeImage, ReportsEveryReadAndWriteFault) {
    using p = failure_kind;
    const struct {
        const char* name;
        std::size_t software_size;
        std::optional<std::size_t> mcu_size;
        std::uint64_t software_fails_at, mcu_fails_at, image_fails_at;
        failure_kind failure;
        int reason;
        std::size_t most_per_read = 0;
    } cases[] = {
        {"clean run", 5000, 300, never, never, never, p::none, 0},
        {"clean run over several buffers", 700000, 98304, never, never, never, p::none, 0},
        {"short reads", 700000, 5000, never, never, never, p::none, 0, 1000},
        {"software unreadable at once", 5000, {}, 0, never, never, p::software_unreadable, EIO},
        {"software fails midway", 5000, {}, 1500, never, never, p::software_unreadable, EIO},
        {"software fails past a buffer", 600000, {}, 300000, never, never, p::software_unreadable,
         EIO},
        {"software fails at its end", 2048, {}, 2048, never, never, p::software_unreadable, EIO},
        {"MCU OTA fails midway", 100, 3000, never, 1024, never, p::mcu_unreadable, EIO},
        {"image full at its first write", 5000, {}, never, never, 64, p::cannot_write, ENOSPC},
        {"image full in the software", 600000, {}, never, never, 300000, p::cannot_write, ENOSPC},
        {"image full in the MCU OTA", 262000, 50000, never, never, 270000, p::cannot_write, ENOSPC},
        {"image full at the last byte", 100, 3, never, never, 230, p::cannot_write, ENOSPC},
        {"the header can't be written", 100, {}, never, never, never, p::cannot_write, ESPIPE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake_file software(some_bytes(c.software_size, 1), c.most_per_read);
        fake_file mcu(some_bytes(c.mcu_size.value_or(0), 7), c.most_per_read);
        fake_file image;
        software.fail_at = c.software_fails_at;
        mcu.fail_at = c.mcu_fails_at;
        image.fail_at = c.image_fails_at;
        image.error = ENOSPC;
        image.fail_write_at = c.reason == ESPIPE;
        const pack_outcome outcome = pack(software, c.mcu_size ? &mcu : nullptr, image);
        EXPECT_EQ(outcome.failed.kind, c.failure);
        EXPECT_EQ(outcome.failed.error, c.reason);
        if (c.failure == failure_kind::none) {
            EXPECT_EQ(image.data,
                      upgrade_image(software.data, c.mcu_size ? mcu.data : std::optional<bytes>()));
            // The placeholder travels with the first bytes, so every write starts on a page.
            for (const std::uint64_t offset : image.write_offsets) {
                EXPECT_EQ(offset % 4096, 0u) << offset;
            }
        }
    }
}

TEST(PackUpgradeImage, RefusesWhatTheFieldsCanNotHold) {
    // Zero-filled inputs one byte past what the 32-bit fields can describe, and an MCU OTA file
    // that grows past the limit after it was measured.
    const struct {
        const char* name;
        std::uint64_t software_size;
        std::optional<bytes> mcu;
        failure_kind failure;
    } cases[] = {
        {"length beyond 32 bits", 4294967296u, {}, failure_kind::software_too_big},
        {"MCU OTA offset beyond 32 bits", 4294967168u, "abc", failure_kind::software_too_big},
        {"an MCU OTA image over the limit", 10, bytes(98305, 'm'), failure_kind::mcu_grew},
    };
    for (const auto& c : cases) {
        fake_file software, mcu(c.mcu.value_or("")), image;
        software.zeros = c.software_size;
        image.keep_writes = false;
        EXPECT_EQ(pack(software, c.mcu ? &mcu : nullptr, image).failed.kind, c.failure) << c.name;
    }
}

}  // namespace
}  // namespace swug::testing
