// The builder's writing stage driven with streams that fail: every fault is reported with its
// reason, never as success.
#include <gtest/gtest.h>

#include <optional>

#include "fake_stream.h"
#include "image_builder.h"
#include "run_cases.h"

namespace swug::testing {
namespace {

struct pack_case {
    const char* name;
    std::size_t software_size;
    std::optional<std::size_t> mcu_size;
    std::uint64_t software_fails_at;
    std::uint64_t mcu_fails_at;
    std::uint64_t image_fails_at;
    bool image_seek_fails;
    pack_failure failure;
    int reason;
};

constexpr auto never = std::numeric_limits<std::uint64_t>::max();

bytes pattern(std::size_t size, char offset) {
    bytes data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<char>(i * 31 + static_cast<std::size_t>(offset));
    }
    return data;
}

// Packs through streams over the fake files; mcu may be null.
pack_outcome pack(fake_file& software, fake_file* mcu, fake_file& image) {
    std::FILE* sw_stream = open_fake(software, "rb");
    std::FILE* mcu_stream = mcu != nullptr ? open_fake(*mcu, "rb") : nullptr;
    std::FILE* image_stream = open_fake(image, "wb");
    const pack_outcome outcome = pack_upgrade_image(sw_stream, mcu_stream, image_stream);
    std::fclose(sw_stream);
    if (mcu_stream != nullptr) {
        std::fclose(mcu_stream);
    }
    std::fclose(image_stream);
    return outcome;
}

TEST(PackUpgradeImage, ReportsEveryReadWriteAndSeekFault) {
    const pack_case cases[] = {
        {"clean run", 5000, 300, never, never, never, false, pack_failure::none, 0},
        {"software unreadable at once",
         5000,
         {},
         0,
         never,
         never,
         false,
         pack_failure::software_read,
         EIO},
        {"software fails inside a chunk",
         5000,
         {},
         1500,
         never,
         never,
         false,
         pack_failure::software_read,
         EIO},
        {"software fails on a chunk boundary",
         5000,
         {},
         4096,
         never,
         never,
         false,
         pack_failure::software_read,
         EIO},
        {"software fails right at its end",
         2048,
         {},
         2048,
         never,
         never,
         false,
         pack_failure::software_read,
         EIO},
        {"MCU OTA fails midway", 100, 3000, never, 1024, never, false, pack_failure::mcu_read, EIO},
        {"image full before the software image",
         5000,
         {},
         never,
         never,
         64,
         false,
         pack_failure::image_write,
         ENOSPC},
        {"image full inside the software image",
         50000,
         {},
         never,
         never,
         20000,
         false,
         pack_failure::image_write,
         ENOSPC},
        {"image full inside the MCU OTA image", 100, 50000, never, never, 9000, false,
         pack_failure::image_write, ENOSPC},
        {"image full at the last byte", 100, 3, never, never, 230, false, pack_failure::image_write,
         ENOSPC},
        {"image can't be positioned",
         100,
         {},
         never,
         never,
         never,
         true,
         pack_failure::image_write,
         ESPIPE},
    };
    for (const pack_case& c : cases) {
        SCOPED_TRACE(c.name);
        fake_file software{pattern(c.software_size, 1)};
        software.fail_at = c.software_fails_at;
        fake_file mcu{pattern(c.mcu_size.value_or(0), 7)};
        mcu.fail_at = c.mcu_fails_at;
        fake_file image;
        image.fail_at = c.image_fails_at;
        image.error = ENOSPC;
        image.fail_seek = c.image_seek_fails;

        const pack_outcome outcome = pack(software, c.mcu_size ? &mcu : nullptr, image);
        EXPECT_EQ(outcome.failure, c.failure);
        EXPECT_EQ(outcome.reason, c.reason);
        if (c.failure == pack_failure::none) {
            const std::optional<bytes> mcu_part =
                c.mcu_size ? std::optional<bytes>(mcu.data) : std::nullopt;
            EXPECT_EQ(image.data, upgrade_image(software.data, mcu_part));
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
        {"length beyond 32 bits", field_max + 1, false},
        {"MCU OTA offset beyond 32 bits", field_max - header_size + 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake_file software;
        software.zeros = c.software_size;
        fake_file mcu{"abc"};
        fake_file image;
        image.keep_writes = false;
        EXPECT_EQ(pack(software, c.with_mcu ? &mcu : nullptr, image).failure,
                  pack_failure::software_too_big);
    }
}

TEST(PackUpgradeImage, AnMcuOtaFileThatGrowsPastTheLimitIsRefused) {
    fake_file software{"0123456789"};
    fake_file mcu{bytes(mcu_ota_max_size + 1, 'm')};
    fake_file image;
    EXPECT_EQ(pack(software, &mcu, image).failure, pack_failure::mcu_too_big);
}

}  // namespace
}  // namespace swug::testing
