// Reading images back: every kind of damage is caught by the check that names it.
#include "info/image_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "expected_image.h"
#include "fake_stream.h"

namespace swug {
namespace {

using testing::bytes;

// Checked as a pipe is: the size is not known beforehand.
image_report check_bytes(const bytes& image) {
    testing::fake_file source(image);
    copy_buffer buffer;
    image_report report;
    EXPECT_EQ(check_image(source, -1, buffer, report), 0);
    return report;
}

std::vector<std::string> failed_checks(const image_report& report) {
    std::vector<std::string> names;
    for (const check_result& c : report.checks) {
        if (!c.ok) {
            names.push_back(c.name);
        }
    }
    return names;
}

bytes random_bytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    bytes data(size, '\0');
    for (char& c : data) {
        c = static_cast<char>(generator());
    }
    return data;
}

void add_to_le32(bytes& image, std::size_t offset, std::uint32_t delta) {
    for (std::size_t i = 0; i < 4; ++i) {
        const std::uint32_t byte = static_cast<std::uint8_t>(image[offset + i]) + (delta & 0xFF);
        image[offset + i] = static_cast<char>(byte);
        delta = (delta >> 8) + (byte >> 8);
    }
}

const bytes software = random_bytes(3000, 1);
const bytes mcu = random_bytes(700, 2);

TEST(CheckImage, ImagesAsPackedAreValid) {
    for (const auto& [sw, mcu_part] :
         std::vector<std::pair<bytes, std::optional<bytes>>>{{"", std::nullopt},
                                                             {software, std::nullopt},
                                                             {software, mcu},
                                                             {"", ""},
                                                             {software, bytes(98304, '\xFF')}}) {
        const image_report report = check_bytes(testing::upgrade_image(sw, mcu_part));
        EXPECT_TRUE(report.valid()) << ::testing::PrintToString(report.problems());
        EXPECT_EQ(report.header.length, sw.size());
    }
}

TEST(CheckImage, EachDamageIsCaughtByItsCheck) {
    const bytes with_mcu = testing::upgrade_image(software, mcu);
    const bytes without_mcu = testing::upgrade_image(software);
    const std::size_t software_at = 128;
    const std::size_t mcu_at = 128 + software.size();
    struct damage {
        const char* what;
        const bytes* image;
        std::function<void(bytes&)> change;
        std::vector<std::string> caught_by;
    };
    const std::vector<damage> damages = {
        {"magic first byte", &with_mcu, [](bytes& b) { b[0] = 'z'; }, {"magic"}},
        {"magic zero byte", &with_mcu, [](bytes& b) { b[15] = ' '; }, {"magic"}},
        {"length one less",
         &without_mcu,
         [](bytes& b) { add_to_le32(b, 16, -1u); },
         {"sum", "file_end"}},
        {"length one more",
         &without_mcu,
         [](bytes& b) { add_to_le32(b, 16, 1); },
         {"length", "file_end"}},
        {"sum", &with_mcu, [](bytes& b) { add_to_le32(b, 20, 1); }, {"sum"}},
        {"upgrade_boot", &with_mcu, [](bytes& b) { b[24] = 1; }, {"upgrade_boot"}},
        {"unused byte 28", &with_mcu, [](bytes& b) { b[28] = 1; }, {"unused_bytes"}},
        {"unused byte 127", &with_mcu, [](bytes& b) { b[127] = 1; }, {"unused_bytes"}},
        {"mcu_ota_flag 2", &with_mcu, [](bytes& b) { b[64] = 2; }, {"mcu_ota_flag"}},
        {"mcu_ota_flag cleared",
         &with_mcu,
         [](bytes& b) { b[64] = 0; },
         {"mcu_fields", "file_end"}},
        {"mcu_ota_flag set without MCU image",
         &without_mcu,
         [](bytes& b) { b[64] = 1; },
         {"mcu_addr"}},
        {"mcu_addr", &with_mcu, [](bytes& b) { add_to_le32(b, 68, 1); }, {"mcu_addr"}},
        {"mcu_len one more", &with_mcu, [](bytes& b) { add_to_le32(b, 72, 1); }, {"file_end"}},
        {"mcu_len over 96 KiB",
         &with_mcu,
         [](bytes& b) { add_to_le32(b, 72, 98304); },
         {"mcu_len", "file_end"}},
        {"mcu_sum", &with_mcu, [](bytes& b) { add_to_le32(b, 76, 1); }, {"mcu_sum"}},
        {"software byte", &with_mcu, [&](bytes& b) { b[software_at + 1234] ^= 0x10; }, {"sum"}},
        {"MCU OTA byte", &with_mcu, [&](bytes& b) { b[mcu_at + 699] ^= 0x01; }, {"mcu_sum"}},
        {"a byte appended", &with_mcu, [](bytes& b) { b += '\0'; }, {"file_end"}},
        {"a byte appended without MCU", &without_mcu, [](bytes& b) { b += '\0'; }, {"file_end"}},
    };
    for (const damage& d : damages) {
        bytes image = *d.image;
        d.change(image);
        const std::vector<std::string> failed = failed_checks(check_bytes(image));
        EXPECT_EQ(failed, d.caught_by) << d.what;
    }
}

TEST(CheckImage, EveryTruncationIsCaught) {
    const bytes image = testing::upgrade_image(software.substr(0, 300), mcu.substr(0, 50));
    for (std::size_t length = 0; length < image.size(); ++length) {
        const image_report report = check_bytes(image.substr(0, length));
        EXPECT_FALSE(report.valid()) << "cut to " << length;
        EXPECT_EQ(report.size, length);
    }
}

TEST(CheckImage, AFileThatChangesWhileReadIsJudgedByWhatWasThere) {
    // The system's size is taken when the file is opened; the bytes read are what counts.
    const bytes zero_tail = testing::upgrade_image("ten bytes!", bytes("mcu\0\0", 5));
    const bytes with_mcu = testing::upgrade_image("ten bytes!", bytes("mcu"));
    struct row {
        const char* what;
        bytes data;
        std::int64_t known_size;
        std::vector<std::string> failed;
        std::uint64_t size;
    };
    const row rows[] = {
        {"shrank by the zero bytes that ended it: never valid",
         zero_tail.substr(0, zero_tail.size() - 2),
         static_cast<std::int64_t>(zero_tail.size()),
         {"file_end"},
         zero_tail.size() - 2},
        {"grew past the size it had",
         with_mcu,
         static_cast<std::int64_t>(with_mcu.size()) - 2,
         {"size"},
         with_mcu.size()},
        {"as large as it was",
         with_mcu,
         static_cast<std::int64_t>(with_mcu.size()),
         {},
         with_mcu.size()},
    };
    for (const row& r : rows) {
        testing::fake_file source(r.data);
        copy_buffer buffer;
        image_report report;
        ASSERT_EQ(check_image(source, r.known_size, buffer, report), 0);
        EXPECT_EQ(failed_checks(report), r.failed) << r.what;
        EXPECT_EQ(report.size, r.size) << r.what;
    }
}

TEST(CheckImage, ExpectedValuesNeverNeedMoreThan32Bits) {
    // A length near 4 GiB puts 128 + length beyond what mcu_addr can hold.
    bytes header = testing::upgrade_image("", bytes());
    header.replace(16, 4, testing::le32(0xFFFFFFF0u));
    const image_report report = check_bytes(header);
    const auto mcu_addr = std::find_if(report.checks.begin(), report.checks.end(),
                                       [](const check_result& c) { return c.name == "mcu_addr"; });
    ASSERT_NE(mcu_addr, report.checks.end());
    EXPECT_EQ(mcu_addr->expected, "128 + length, which does not fit 32 bits");
    EXPECT_EQ(mcu_addr->found, "00000080");
}

}  // namespace
}  // namespace swug
