// Reading images back: every image is read as far as its verdict needs, and the verdict comes out
// with the names and words of its checks.
#include "info/image_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "expected_image.h"
#include "fake_stream.h"

namespace swug {
namespace {

using testing::bytes;
using testing::upgrade_image;

// Checked as a pipe is unless the size is known beforehand.
image_report check_bytes(const bytes& image, std::int64_t known_size = -1) {
    testing::fake_file source(image);
    copy_buffer buffer;
    image_report report;
    EXPECT_EQ(check_image(source, known_size, buffer, report), 0);
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

const bytes software = testing::some_bytes(3000, 1);
const bytes mcu = testing::some_bytes(700, 2);

// Images as packed are valid, the golden images (tests/golden/VERDICTS) fail the checks listed
// there, and a byte behind an image without an MCU OTA image is read and found.
TEST(CheckImage, EachDamageIsCaughtByItsCheck) {
    std::vector<std::tuple<std::string, bytes, std::vector<std::string>>> rows = {
        {"packed", upgrade_image(""), {}}, {"packed", upgrade_image(software), {}},
        {"packed", upgrade_image(software, mcu), {}}, {"packed", upgrade_image("", ""), {}},
        {"packed", upgrade_image(software, bytes(98304, '\xFF')), {}},
        {"a byte behind", upgrade_image(software) + '\0', {"file_end"}}};
    for (const auto& [file, failed] : testing::golden_verdicts()) {
        rows.emplace_back(file, testing::source_file("tests/golden/" + file), failed);
    }
    for (const auto& [what, image, failed] : rows) {
        SCOPED_TRACE(what + ", " + std::to_string(image.size()) + " bytes");
        const image_report report = check_bytes(image);
        EXPECT_EQ(failed_checks(report), failed);
        if (image.size() >= 128) {
            EXPECT_EQ(testing::le32(report.header.length), image.substr(16, 4));
        }
    }
}

TEST(CheckImage, EveryTruncationIsCaught) {
    const bytes image = upgrade_image(software.substr(0, 300), mcu.substr(0, 50));
    for (std::size_t length = 0; length < image.size(); ++length) {
        const image_report report = check_bytes(image.substr(0, length));
        EXPECT_FALSE(report.valid()) << "cut to " << length;
        EXPECT_EQ(report.size, length);
    }
}

TEST(CheckImage, AFileThatChangesWhileReadIsJudgedByWhatWasThere) {
    // The system's size is taken when the file is opened; the bytes read are what counts.
    const bytes zero_tail = upgrade_image("ten bytes!", bytes("mcu\0\0", 5));
    const bytes with_mcu = upgrade_image("ten bytes!", bytes("mcu"));
    const struct {
        const char* what;
        bytes data;
        std::size_t known_size;
        std::vector<std::string> failed;
    } rows[] = {
        {"shrank by the zero bytes that ended it: never valid",
         zero_tail.substr(0, zero_tail.size() - 2), zero_tail.size(), {"file_end"}},
        {"grew past the size it had", with_mcu, with_mcu.size() - 2, {"size"}},
        {"as large as it was", with_mcu, with_mcu.size(), {}},
    };
    for (const auto& row : rows) {
        const image_report report = check_bytes(row.data, std::int64_t(row.known_size));
        EXPECT_EQ(failed_checks(report), row.failed) << row.what;
        EXPECT_EQ(report.size, row.data.size()) << row.what;
    }
}

TEST(CheckImage, ExpectedValuesNeverNeedMoreThan32Bits) {
    // A length near 4 GiB puts 128 + length beyond what mcu_addr can hold.
    const image_report report =
        check_bytes(upgrade_image("", bytes()).replace(16, 4, testing::le32(0xFFFFFFF0u)));
    const auto mcu_addr = std::find_if(report.checks.begin(), report.checks.end(),
                                       [](const check_result& c) { return c.name == "mcu_addr"; });
    ASSERT_NE(mcu_addr, report.checks.end());
    EXPECT_EQ(mcu_addr->expected, "128 + length, which does not fit 32 bits");
    EXPECT_EQ(mcu_addr->found, "00000080");
}

}  // namespace
}  // namespace swug
