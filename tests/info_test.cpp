// swug_info run as a user runs it: images packed by swug_gen read back, damaged ones caught,
// parts written out byte for byte, and every misuse answered with exit status 2.
#include <gtest/gtest.h>

#include <random>

#include "run_cases.h"

namespace swug::testing {
namespace {

bytes random_bytes(std::size_t size, std::mt19937& generator) {
    bytes data(size, '\0');
    for (char& c : data) {
        c = static_cast<char>(generator());
    }
    return data;
}

const std::string valid_ten =
    "| image up.bin |\n"
    "| size=0000008a |\n"
    "| magic=ZQ-TR5200 Image |\n"
    "| length=0000000a |\n"
    "| sum=00000037 |\n"
    "| upgrade_boot=00000000 |\n"
    "| mcu_ota_flag=00000000 |\n"
    "| mcu_addr=00000000 |\n"
    "| mcu_len=00000000 |\n"
    "| mcu_sum=00000000 |\n"
    "| check size: ok |\n"
    "| check magic: ok |\n"
    "| check length: ok |\n"
    "| check sum: ok |\n"
    "| check upgrade_boot: ok |\n"
    "| check unused_bytes: ok |\n"
    "| check mcu_ota_flag: ok |\n"
    "| check mcu_fields: ok |\n"
    "| check file_end: ok |\n"
    "| image is valid |\n";

bytes ten_bytes() {
    bytes data;
    for (char c = 1; c <= 10; ++c) {
        data += c;
    }
    return data;
}

TEST(SwugInfo, PackedImagesRoundTrip) {
    std::mt19937 generator(2026);
    const std::pair<std::size_t, std::optional<std::size_t>> sizes[] = {
        {0, std::nullopt}, {1, std::nullopt},    {1023, 0}, {1024, 1}, {1025, 1024},
        {70001, 98304},    {5000, std::nullopt}, {0, 3},
    };
    for (const auto& [software_size, mcu_size] : sizes) {
        SCOPED_TRACE(software_size);
        const bytes software = random_bytes(software_size, generator);
        const std::optional<bytes> mcu =
            mcu_size ? std::optional<bytes>(random_bytes(*mcu_size, generator)) : std::nullopt;
        temp_folder folder;
        ASSERT_EQ(pack_in_folder(folder.path(), software, mcu).ending, exited(0));

        std::vector<std::string> args = {"--sw", "sw.out", "up.bin"};
        if (mcu) {
            args.insert(args.begin(), {"--mcu", "mcu.out"});
        }
        const run_result info = run_in(folder.path(), "swug_info", args);
        EXPECT_EQ(info.ending, exited(0)) << info.out;
        EXPECT_NE(info.out.find("| image is valid |\n"), std::string::npos);
        EXPECT_EQ(read_file(folder / "sw.out"), software);
        if (mcu) {
            EXPECT_EQ(read_file(folder / "mcu.out"), *mcu);
        }
    }
}

const std::string usage = "usage: swug_info [--json] [--sw FILE] [--mcu FILE] IMAGE\n";

std::vector<run_case> report_cases() {
    const bytes ten = ten_bytes();
    bytes bad_sum = upgrade_image(ten);
    bad_sum[20] = 0x38;
    std::string invalid_ten = valid_ten;
    invalid_ten = replace_all(invalid_ten, "| sum=00000037 |", "| sum=00000038 |");
    invalid_ten = replace_all(invalid_ten, "| check sum: ok |",
                              "| check sum: FAILED, expected 00000038, found 00000037 |");
    invalid_ten =
        replace_all(invalid_ten, "| image is valid |", "| image is NOT valid: 1 check failed |");
    // Windows allows no quote in a file name.
    const std::string quoted_name = target_is_windows() ? "short.bin" : "a\"b.bin";
    const std::string quoted_json = target_is_windows() ? "\"short.bin\"" : "\"a\\\"b.bin\"";
    return {
        {"a valid image", {{"up.bin", upgrade_image(ten)}}, {"up.bin"}, 0, valid_ten},
        {"a damaged image", {{"up.bin", bad_sum}}, {"up.bin"}, 1, invalid_ten},
        {"a valid image as JSON",
         {{"up.bin", upgrade_image(ten)}},
         {"--json", "up.bin"},
         0,
         "{\"valid\":true,\"image\":\"up.bin\",\"size\":138,\"magic\":\"ZQ-TR5200 Image\","
         "\"length\":10,\"sum\":55,\"upgrade_boot\":0,\"mcu_ota_flag\":0,\"mcu_addr\":0,"
         "\"mcu_len\":0,\"mcu_sum\":0,\"checks\":[{\"name\":\"size\",\"ok\":true},{\"name\":"
         "\"magic\",\"ok\":true},{\"name\":\"length\",\"ok\":true},{\"name\":\"sum\",\"ok\":true},"
         "{\"name\":\"upgrade_boot\",\"ok\":true},{\"name\":\"unused_bytes\",\"ok\":true},"
         "{\"name\":\"mcu_ota_flag\",\"ok\":true},{\"name\":\"mcu_fields\",\"ok\":true},"
         "{\"name\":\"file_end\",\"ok\":true}],\"problems\":[]}\n"},
        {"a short file as JSON, with a name to escape",
         {{quoted_name, "short"}},
         {"--json", quoted_name},
         1,
         "{\"valid\":false,\"image\":" + quoted_json +
             ",\"size\":5,\"magic\":null,\"length\":null,"
             "\"sum\":null,\"upgrade_boot\":null,\"mcu_ota_flag\":null,\"mcu_addr\":null,"
             "\"mcu_len\":null,\"mcu_sum\":null,\"checks\":[{\"name\":\"size\",\"ok\":false,"
             "\"expected\":\"at least 128 bytes\",\"found\":\"5 bytes\"}],\"problems\":[\"size: "
             "expected at least 128 bytes, found 5 bytes\"]}\n"},
        {"a damaged image is not unpacked",
         {{"up.bin", bad_sum}},
         {"--sw", "sw.out", "up.bin"},
         1,
         invalid_ten,
         "swug_info: not writing the parts of an image that is not valid\n"},
    };
}

std::vector<run_case> misuse_cases() {
    const bytes image = upgrade_image(ten_bytes());
    std::vector<run_case> cases = {
        {"no arguments", {}, {}, 2, "", usage},
        {"an unknown option", {{"up.bin", image}}, {"--bogus", "up.bin"}, 2, "", usage},
        {"--json alone", {}, {"--json"}, 2, "", usage},
        {"two images", {{"up.bin", image}}, {"up.bin", "up.bin"}, 2, "", usage},
        {"--sw without its file", {{"up.bin", image}}, {"up.bin", "--sw"}, 2, "", usage},
        {"--sw given twice",
         {{"up.bin", image}},
         {"--sw", "a", "--sw", "b", "up.bin"},
         2,
         "",
         usage},
        {"a missing image",
         {},
         {"nope.bin"},
         2,
         "",
         "swug_info: can't open the upgrade image nope.bin: No such file or directory\n"},
        {"an image that is a folder",
         {{"up/", ""}},
         {"up"},
         2,
         "",
         "swug_info: can't read the upgrade image up: Is a directory\n"},
        {"--mcu on an image without one",
         {{"up.bin", image}},
         {"--mcu", "mcu.out", "up.bin"},
         2,
         valid_ten,
         "swug_info: up.bin holds no MCU ota image to write to mcu.out\n"},
        {"--sw over the image itself",
         {{"up.bin", image}},
         {"--sw", "up.bin", "up.bin"},
         2,
         valid_ten,
         "swug_info: up.bin is the upgrade image up.bin, refusing to overwrite it\n"},
        {"--sw over the image spelled otherwise",
         {{"up.bin", image}, {"sub/", ""}},
         {"--sw", "sub/../up.bin", "up.bin"},
         2,
         valid_ten,
         "swug_info: sub/../up.bin is the upgrade image up.bin, refusing to overwrite it\n"},
        {"--sw into a missing folder",
         {{"up.bin", image}},
         {"--sw", "no/sw.out", "up.bin"},
         2,
         valid_ten,
         "swug_info: can't create no/sw.out: No such file or directory\n"},
    };
    if (!target_is_windows()) {
        cases.push_back({"--sw onto a full device",
                         {{"up.bin", image}, {"full", device_text(1, 7)}},
                         {"--sw", "full", "up.bin"},
                         2,
                         valid_ten,
                         "swug_info: can't write full: No space left on device\n"});
    }
    return cases;
}

TEST(SwugInfo, Reports) {
    for (const run_case& row : report_cases()) {
        check_run_case(row, "swug_info");
    }
}

TEST(SwugInfo, MisuseIsExitStatusTwoAndWritesNothing) {
    for (const run_case& row : misuse_cases()) {
        check_run_case(row, "swug_info");
    }
}

}  // namespace
}  // namespace swug::testing
