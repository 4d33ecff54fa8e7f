// The packing step driven with files that fail: every fault is reported with its reason, never
// as success, and a clean run writes the exact image in page-aligned writes.
#include <gtest/gtest.h>

#include <optional>

#include "fake_stream.h"
#include "image_pack.h"
#include "expected_image.h"

namespace swug::testing {
namespace {

struct pack_case {
    const char* name;
    std::size_t software_size;
    std::optional<std::size_t> mcu_size;
    std::uint64_t software_fails_at;
    std::uint64_t mcu_fails_at;
    std::uint64_t image_fails_at;
    bool header_write_fails;
    failure_kind failure;
    int reason;
    std::size_t most_per_read = 1 << 30;
};

constexpr auto never = std::numeric_limits<std::uint64_t>::max();

bytes pattern(std::size_t size, char offset) {
    bytes data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<char>(i * 31 + static_cast<std::size_t>(offset));
    }
    return data;
}

pack_outcome pack(fake_file& software, fake_file* mcu, fake_file& image) {
    copy_buffer buffer;
    return pack_upgrade_image(software, mcu, image, buffer);
}

TEST(PackUpgradeImage, ReportsEveryReadAndWriteFault) {
    using p = failure_kind;
    const pack_case cases[] = {
        {"clean run", 5000, 300, never, never, never, false, p::none, 0},
        {"clean run over several buffers", 700000, 98304, never, never, never, false, p::none, 0},
        {"short reads", 700000, 5000, never, never, never, false, p::none, 0, 1000},
        {"software unreadable at once",
         5000,
         {},
         0,
         never,
         never,
         false,
         p::software_unreadable,
         EIO},
        {"software fails midway", 5000, {}, 1500, never, never, false, p::software_unreadable, EIO},
        {"software fails past a buffer",
         600000,
         {},
         300000,
         never,
         never,
         false,
         p::software_unreadable,
         EIO},
        {"software fails right at its end",
         2048,
         {},
         2048,
         never,
         never,
         false,
         p::software_unreadable,
         EIO},
        {"MCU OTA fails midway", 100, 3000, never, 1024, never, false, p::mcu_unreadable, EIO},
        {"image full at its first write",
         5000,
         {},
         never,
         never,
         64,
         false,
         p::cannot_write,
         ENOSPC},
        {"image full inside the software image",
         600000,
         {},
         never,
         never,
         300000,
         false,
         p::cannot_write,
         ENOSPC},
        {"image full inside the MCU OTA image", 262000, 50000, never, never, 270000, false,
         p::cannot_write, ENOSPC},
        {"image full at the last byte", 100, 3, never, never, 230, false, p::cannot_write, ENOSPC},
        {"the header can't be written",
         100,
         {},
         never,
         never,
         never,
         true,
         p::cannot_write,
         ESPIPE},
    };
    for (const pack_case& c : cases) {
        SCOPED_TRACE(c.name);
        fake_file software(pattern(c.software_size, 1));
        software.fail_at = c.software_fails_at;
        software.most_per_read = c.most_per_read;
        fake_file mcu(pattern(c.mcu_size.value_or(0), 7));
        mcu.fail_at = c.mcu_fails_at;
        mcu.most_per_read = c.most_per_read;
        fake_file image;
        image.fail_at = c.image_fails_at;
        image.error = ENOSPC;
        image.fail_write_at = c.header_write_fails;

        const pack_outcome outcome = pack(software, c.mcu_size ? &mcu : nullptr, image);
        EXPECT_EQ(outcome.failed.kind, c.failure);
        EXPECT_EQ(outcome.failed.error, c.reason);
        if (c.failure == failure_kind::none) {
            const std::optional<bytes> mcu_part =
                c.mcu_size ? std::optional<bytes>(mcu.data) : std::nullopt;
            EXPECT_EQ(image.data, upgrade_image(software.data, mcu_part));
            // The placeholder travels with the first bytes, so every write starts on a page.
            for (const std::uint64_t offset : image.write_offsets) {
                EXPECT_EQ(offset % 4096, 0u) << offset;
            }
        }
    }
}

TEST(PackUpgradeImage, NeverWrapsTheLengthField) {
    // Zero-filled inputs one byte past what the 32-bit fields can describe.
    const struct {
        const char* name;
        std::uint64_t software_size;
        bool with_mcu;
    } cases[] = {
        {"length beyond 32 bits", 4294967296u, false},
        {"MCU OTA offset beyond 32 bits", 4294967168u, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake_file software;
        software.zeros = c.software_size;
        fake_file mcu("abc");
        fake_file image;
        image.keep_writes = false;
        EXPECT_EQ(pack(software, c.with_mcu ? &mcu : nullptr, image).failed.kind,
                  failure_kind::software_too_big);
    }
}

TEST(PackUpgradeImage, AnMcuOtaFileThatGrowsPastTheLimitIsRefused) {
    fake_file software("0123456789");
    fake_file mcu(bytes(98305, 'm'));
    fake_file image;
    EXPECT_EQ(pack(software, &mcu, image).failed.kind, failure_kind::mcu_grew);
}

}  // namespace
}  // namespace swug::testing
