// swug_info run as a user runs it: images packed by swug_gen read back, damaged ones caught,
// parts written out byte for byte, and every misuse answered with exit status 2.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <stdexcept>
#include <thread>

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

const std::string valid_ten_json =
    "{\"schema\":1,\"valid\":true,\"image\":\"up.bin\",\"size\":138,\"magic\":\"ZQ-TR5200 "
    "Image\","
    "\"length\":10,\"sum\":55,\"upgrade_boot\":0,\"mcu_ota_flag\":0,\"mcu_addr\":0,"
    "\"mcu_len\":0,\"mcu_sum\":0,\"checks\":[{\"name\":\"size\",\"ok\":true},{\"name\":"
    "\"magic\",\"ok\":true},{\"name\":\"length\",\"ok\":true},{\"name\":\"sum\",\"ok\":true},"
    "{\"name\":\"upgrade_boot\",\"ok\":true},{\"name\":\"unused_bytes\",\"ok\":true},"
    "{\"name\":\"mcu_ota_flag\",\"ok\":true},{\"name\":\"mcu_fields\",\"ok\":true},"
    "{\"name\":\"file_end\",\"ok\":true}],\"problems\":[],\"error\":null,"
    "\"software_format\":\"binary\"}\n";

// A wrapper that runs the program, then has a strict parser check that its standard output is
// UTF-8 and JSON (exit status 99 if not); none where python3 is missing.
std::vector<std::string> strict_json_check() {
    if (std::system("python3 -c '' >/dev/null 2>&1") != 0) {
        std::cout << "[ SKIPPED  ] the strict JSON parser: python3 is missing\n";
        return {};
    }
    return {"sh", "-c",
            "\"$0\" \"$@\" >doc.json; status=$?; python3 -c 'import json,sys; "
            "json.loads(sys.stdin.buffer.read().decode(\"utf-8\"))' <doc.json || status=99; "
            "cat doc.json; rm doc.json; exit $status"};
}

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

const std::string valid_ten_abc =
    "| image up.bin |\n"
    "| size=0000008d |\n"
    "| magic=ZQ-TR5200 Image |\n"
    "| length=0000000a |\n"
    "| sum=00000037 |\n"
    "| upgrade_boot=00000000 |\n"
    "| mcu_ota_flag=00000001 |\n"
    "| mcu_addr=0000008a |\n"
    "| mcu_len=00000003 |\n"
    "| mcu_sum=00000126 |\n"
    "| check size: ok |\n"
    "| check magic: ok |\n"
    "| check length: ok |\n"
    "| check sum: ok |\n"
    "| check upgrade_boot: ok |\n"
    "| check unused_bytes: ok |\n"
    "| check mcu_ota_flag: ok |\n"
    "| check mcu_addr: ok |\n"
    "| check mcu_len: ok |\n"
    "| check file_end: ok |\n"
    "| check mcu_sum: ok |\n"
    "| image is valid |\n";

const std::string usage =
    "usage: swug_info [--json] [--slot-size N] [--sw FILE] [--mcu FILE] [--] IMAGE\n";

// image with the byte at offset set to value.
bytes changed(bytes image, std::size_t offset, char value) {
    image.replace(offset, 1, 1, value);
    return image;
}

std::vector<run_case> report_cases() {
    const bytes ten = ten_bytes();
    const bytes bad_sum = changed(upgrade_image(ten), 20, 0x38);
    std::string invalid_ten = valid_ten;
    invalid_ten = replace_all(invalid_ten, "| sum=00000037 |", "| sum=00000038 |");
    invalid_ten = replace_all(invalid_ten, "| check sum: ok |",
                              "| check sum: FAILED, expected 00000038, found 00000037 |");
    invalid_ten =
        replace_all(invalid_ten, "| image is valid |", "| image is NOT valid: 1 check failed |");
    const bytes bad_mcu_image = changed(upgrade_image(ten, bytes("abc")), 20, 0x38);
    std::string invalid_ten_abc =
        replace_all(valid_ten_abc, "| sum=00000037 |", "| sum=00000038 |");
    invalid_ten_abc = replace_all(invalid_ten_abc, "| check sum: ok |",
                                  "| check sum: FAILED, expected 00000038, found 00000037 |");
    invalid_ten_abc = replace_all(invalid_ten_abc, "| image is valid |",
                                  "| image is NOT valid: 1 check failed |");
    // Windows allows no quote in a file name.
    const std::string quoted_name = target_is_windows() ? "short.bin" : "a\"b.bin";
    const std::string quoted_json = target_is_windows() ? "\"short.bin\"" : "\"a\\\"b.bin\"";
    std::vector<run_case> cases = {
        {"a valid image", {{"up.bin", upgrade_image(ten)}}, {"up.bin"}, 0, valid_ten},
        {"a damaged image", {{"up.bin", bad_sum}}, {"up.bin"}, 1, invalid_ten},
        {"a valid image as JSON",
         {{"up.bin", upgrade_image(ten)}},
         {"--json", "up.bin"},
         0,
         valid_ten_json},
        {"a short file as JSON, with a name to escape",
         {{quoted_name, "short"}},
         {"--json", quoted_name},
         1,
         "{\"schema\":1,\"valid\":false,\"image\":" + quoted_json +
             ",\"size\":5,\"magic\":null,\"length\":null,"
             "\"sum\":null,\"upgrade_boot\":null,\"mcu_ota_flag\":null,\"mcu_addr\":null,"
             "\"mcu_len\":null,\"mcu_sum\":null,\"checks\":[{\"name\":\"size\",\"ok\":false,"
             "\"expected\":\"at least 128 bytes\",\"found\":\"5 bytes\"}],\"problems\":[\"size: "
             "expected at least 128 bytes, found 5 bytes\"],\"error\":null,"
             "\"software_format\":null}\n"},
        {"a damaged image is not unpacked",
         {{"up.bin", bad_sum}},
         {"--sw", "sw.out", "up.bin"},
         1,
         invalid_ten,
         "swug_info: not writing the parts of an image that is not valid\n"},
        {"a damaged image is not unpacked, as JSON",
         {{"up.bin", bad_sum}},
         {"--json", "--sw", "sw.out", "up.bin"},
         1,
         replace_all(
             replace_all(
                 replace_all(replace_all(valid_ten_json, "\"valid\":true", "\"valid\":false"),
                             "\"sum\":55", "\"sum\":56"),
                 R"({"name":"sum","ok":true})",
                 R"({"name":"sum","ok":false,"expected":"00000038","found":"00000037"})"),
             R"("problems":[])", R"("problems":["sum: expected 00000038, found 00000037"])"),
         "swug_info: not writing the parts of an image that is not valid\n"},
        {"a damaged image is not unpacked with --mcu alone either",
         {{"up.bin", bad_mcu_image}},
         {"--mcu", "mcu.out", "up.bin"},
         1,
         invalid_ten_abc,
         "swug_info: not writing the parts of an image that is not valid\n"},
        {"a file one byte short of a header shows no fields",
         {{"up.bin", upgrade_image(ten).substr(0, 127)}},
         {"up.bin"},
         1,
         "| image up.bin |\n"
         "| size=0000007f |\n"
         "| check size: FAILED, expected at least 128 bytes, found 127 bytes |\n"
         "| image is NOT valid: 1 check failed |\n"},
        {"trailing data: a file's size comes from the system",
         {{"up.bin", upgrade_image(ten) + "tail!"}},
         {"up.bin"},
         1,
         replace_all(replace_all(replace_all(valid_ten, "| size=0000008a |", "| size=0000008f |"),
                                 "| check file_end: ok |",
                                 "| check file_end: FAILED, expected 138 bytes, found 143 bytes |"),
                     "| image is valid |", "| image is NOT valid: 1 check failed |")},
    };
    // The software image's format, guessed from its first bytes: said, and the image still valid.
    const bytes elf = hex_bytes("7f454c46 010101") + bytes(9, '\0');
    const bytes ihex = ":020000040800F2\n:00000001FF\n";
    const std::string warning =
        " looks like an ELF program, not raw binary; a device takes the raw image that objcopy -O "
        "binary makes\n";
    cases.push_back({"an image of an ELF program, as JSON",
                     {{"up.bin", upgrade_image(elf)}},
                     {"--json", "up.bin"},
                     0,
                     replace_all(replace_all(replace_all(replace_all(valid_ten_json, "\"size\":138",
                                                                     "\"size\":144"),
                                                         "\"length\":10", "\"length\":16"),
                                             "\"sum\":55", "\"sum\":345"),
                                 "\"software_format\":\"binary\"", "\"software_format\":\"elf\""),
                     "swug_info: warning: the software image in up.bin" + warning});
    cases.push_back(
        {"an image of an Intel HEX text",
         {{"up.bin", upgrade_image(ihex)}},
         {"up.bin"},
         0,
         replace_all(replace_all(replace_all(valid_ten, "| size=0000008a |", "| size=0000009c |"),
                                 "| length=0000000a |", "| length=0000001c |"),
                     "| sum=00000037 |", "| sum=0000055b |"),
         "swug_info: warning: the software image in up.bin looks like Intel HEX text, not raw "
         "binary; a device takes the raw image that objcopy -O binary makes\n"});
    if (!target_is_windows()) {
        // An encoded surrogate (U+DFFF), then a lead byte whose next byte is another lead byte.
        const std::string name = "n\xED\xBF\xBF\xC3\xC3.bin";
        cases.push_back({"a name that is no UTF-8, as JSON",
                         {{name, upgrade_image(ten)}},
                         {"--json", name},
                         0,
                         replace_all(valid_ten_json, "\"up.bin\"",
                                     "\"n\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd.bin\"")});
        cases.back().wrapper = strict_json_check();
    }
    return cases;
}

std::vector<run_case> unpack_cases() {
    const bytes ten = ten_bytes();
    const bytes ten_abc = upgrade_image(ten, bytes("abc"));
    return {
        {"the software image",
         {{"up.bin", upgrade_image(ten)}},
         {"--sw", "sw.out", "up.bin"},
         0,
         valid_ten + "| wrote the software image to sw.out, size=0000000a |\n",
         "",
         {{"sw.out", ten}}},
        {"both parts",
         {{"up.bin", ten_abc}},
         {"--mcu", "mcu.out", "--sw", "sw.out", "up.bin"},
         0,
         valid_ten_abc + "| wrote the software image to sw.out, size=0000000a |\n"
                         "| wrote the MCU ota image to mcu.out, size=00000003 |\n",
         "",
         {{"sw.out", ten}, {"mcu.out", "abc"}}},
        {"both parts, with JSON alone on standard output",
         {{"up.bin", ten_abc}},
         {"--json", "--sw", "sw.out", "--mcu", "mcu.out", "up.bin"},
         0,
         R"({"schema":1,"valid":true,"image":"up.bin","size":141,"magic":"ZQ-TR5200 Image","length":10,)"
         R"("sum":55,"upgrade_boot":0,"mcu_ota_flag":1,"mcu_addr":138,"mcu_len":3,"mcu_sum":294,)"
         R"("checks":[{"name":"size","ok":true},{"name":"magic","ok":true},)"
         R"({"name":"length","ok":true},{"name":"sum","ok":true},)"
         R"({"name":"upgrade_boot","ok":true},{"name":"unused_bytes","ok":true},)"
         R"({"name":"mcu_ota_flag","ok":true},{"name":"mcu_addr","ok":true},)"
         R"({"name":"mcu_len","ok":true},{"name":"file_end","ok":true},)"
         R"({"name":"mcu_sum","ok":true}],"problems":[],"error":null,"software_format":"binary"})"
         "\n",
         "",
         {{"sw.out", ten}, {"mcu.out", "abc"}}},
    };
}

// Header fields damaged in ways a reader that looks at single bytes, or stops at the first
// problem, would miss.
std::vector<run_case> damaged_header_cases() {
    const bytes image = upgrade_image(ten_bytes());
    const std::string head =
        "| image up.bin |\n"
        "| size=0000008a |\n";
    const std::string fields_after_flag =
        "| mcu_addr=00000000 |\n"
        "| mcu_len=00000000 |\n"
        "| mcu_sum=00000000 |\n";
    // byte 2 '-' becomes a backslash, the sum grows by one, and the flag becomes 0x100.
    const bytes three_faults = changed(changed(changed(image, 2, '\\'), 20, 0x38), 65, 1);
    const auto one_failure = [](std::string report, const std::string& ok_line,
                                const std::string& failed_line) {
        report = replace_all(report, ok_line, failed_line);
        return replace_all(report, "| image is valid |", "| image is NOT valid: 1 check failed |");
    };
    // 128 + length wraps to mcu_addr in 32 bits; the file is as long as the unwrapped sum says.
    bytes big_mcu_len = upgrade_image(ten_bytes(), bytes("abc"));
    big_mcu_len.replace(72, 4, le32(98305));
    bytes wrapped = upgrade_image("", bytes());
    wrapped.replace(16, 4, le32(0xFFFFFF90u));
    wrapped.replace(68, 4, le32(0x10));
    return {
        {"an upgrade_boot of 0x100",
         {{"up.bin", changed(image, 25, 1)}},
         {"up.bin"},
         1,
         one_failure(
             replace_all(valid_ten, "| upgrade_boot=00000000 |", "| upgrade_boot=00000100 |"),
             "| check upgrade_boot: ok |",
             "| check upgrade_boot: FAILED, expected 00000000, found 00000100 |")},
        {"a length one byte past the end",
         {{"up.bin", changed(image, 16, 11)}},
         {"up.bin"},
         1,
         replace_all(
             replace_all(
                 one_failure(replace_all(valid_ten, "| length=0000000a |", "| length=0000000b |"),
                             "| check length: ok |",
                             "| check length: FAILED, expected at most 10 bytes, found 11 bytes |"),
                 "| check file_end: ok |",
                 "| check file_end: FAILED, expected 139 bytes, found 138 bytes |"),
             "1 check failed", "2 checks failed")},
        {"an MCU OTA length over 96 KiB",
         {{"up.bin", big_mcu_len}},
         {"up.bin"},
         1,
         replace_all(
             replace_all(
                 replace_all(
                     replace_all(valid_ten_abc, "| mcu_len=00000003 |", "| mcu_len=00018001 |"),
                     "| check mcu_len: ok |",
                     "| check mcu_len: FAILED, expected at most 00018000, found 00018001 |"),
                 "| check file_end: ok |",
                 "| check file_end: FAILED, expected 98443 bytes, found 141 bytes |"),
             "| image is valid |", "| image is NOT valid: 2 checks failed |")},
        {"a stray byte at 61 is named with its value",
         {{"up.bin", changed(image, 61, 0x5a)}},
         {"up.bin"},
         1,
         one_failure(valid_ten, "| check unused_bytes: ok |",
                     "| check unused_bytes: FAILED, expected zero, found byte 61 = 0000005a |")},
        {"an mcu_addr that fits only when 32 bits wrap, in a sparse file of 4 GiB",
         {{"up.bin", wrapped}},
         {"up.bin"},
         1,
         "| image up.bin |\n"
         "| size=100000010 |\n"
         "| magic=ZQ-TR5200 Image |\n"
         "| length=ffffff90 |\n"
         "| sum=00000000 |\n"
         "| upgrade_boot=00000000 |\n"
         "| mcu_ota_flag=00000001 |\n"
         "| mcu_addr=00000010 |\n"
         "| mcu_len=00000000 |\n"
         "| mcu_sum=00000000 |\n"
         "| check size: ok |\n"
         "| check magic: ok |\n"
         "| check length: ok |\n"
         "| check sum: ok |\n"
         "| check upgrade_boot: ok |\n"
         "| check unused_bytes: ok |\n"
         "| check mcu_ota_flag: ok |\n"
         "| check mcu_addr: FAILED, expected 128 + length, which does not fit 32 bits, found "
         "00000010 |\n"
         "| check mcu_len: ok |\n"
         "| check file_end: ok |\n"
         "| check mcu_sum: ok |\n"
         "| image is NOT valid: 1 check failed |\n",
         "",
         {{"up.bin", large_file_text(0x100000010)}},
         "",
         [](const std::string& folder) {
             std::filesystem::resize_file(folder + "/up.bin", 0x100000010);
         }},
        {"an MCU OTA flag of 0x100",
         {{"up.bin", changed(image, 65, 1)}},
         {"up.bin"},
         1,
         head +
             "| magic=ZQ-TR5200 Image |\n"
             "| length=0000000a |\n"
             "| sum=00000037 |\n"
             "| upgrade_boot=00000000 |\n"
             "| mcu_ota_flag=00000100 |\n" +
             fields_after_flag +
             "| check size: ok |\n"
             "| check magic: ok |\n"
             "| check length: ok |\n"
             "| check sum: ok |\n"
             "| check upgrade_boot: ok |\n"
             "| check unused_bytes: ok |\n"
             "| check mcu_ota_flag: FAILED, expected 00000000 or 00000001, found 00000100 |\n"
             "| image is NOT valid: 1 check failed |\n"},
        {"flag 0 with an MCU OTA sum",
         {{"up.bin", changed(image, 76, 1)}},
         {"up.bin"},
         1,
         replace_all(
             replace_all(
                 replace_all(valid_ten, "| mcu_sum=00000000 |", "| mcu_sum=00000001 |"),
                 "| check mcu_fields: ok |",
                 "| check mcu_fields: FAILED, expected mcu_addr, mcu_len and mcu_sum 00000000, "
                 "found 00000000, 00000000 and 00000001 |"),
             "| image is valid |", "| image is NOT valid: 1 check failed |")},
        {"three checks fail, and the magic holds a backslash",
         {{"up.bin", three_faults}},
         {"up.bin"},
         1,
         head +
             "| magic=ZQ\\x5cTR5200 Image |\n"
             "| length=0000000a |\n"
             "| sum=00000038 |\n"
             "| upgrade_boot=00000000 |\n"
             "| mcu_ota_flag=00000100 |\n" +
             fields_after_flag +
             "| check size: ok |\n"
             "| check magic: FAILED, expected ZQ-TR5200 Image, found ZQ\\x5cTR5200 Image |\n"
             "| check length: ok |\n"
             "| check sum: FAILED, expected 00000038, found 00000037 |\n"
             "| check upgrade_boot: ok |\n"
             "| check unused_bytes: ok |\n"
             "| check mcu_ota_flag: FAILED, expected 00000000 or 00000001, found 00000100 |\n"
             "| image is NOT valid: 3 checks failed |\n"},
        {"three checks fail, as JSON",
         {{"up.bin", three_faults}},
         {"--json", "up.bin"},
         1,
         R"({"schema":1,"valid":false,"image":"up.bin","size":138,"magic":"ZQ\\x5cTR5200 Image",)"
         R"("length":10,"sum":56,"upgrade_boot":0,"mcu_ota_flag":256,"mcu_addr":0,"mcu_len":0,)"
         R"("mcu_sum":0,"checks":[{"name":"size","ok":true},)"
         R"({"name":"magic","ok":false,"expected":"ZQ-TR5200 Image",)"
         R"("found":"ZQ\\x5cTR5200 Image"},{"name":"length","ok":true},)"
         R"({"name":"sum","ok":false,"expected":"00000038","found":"00000037"},)"
         R"({"name":"upgrade_boot","ok":true},{"name":"unused_bytes","ok":true},)"
         R"({"name":"mcu_ota_flag","ok":false,"expected":"00000000 or 00000001",)"
         R"("found":"00000100"}],"problems":["magic: expected ZQ-TR5200 Image, found )"
         R"(ZQ\\x5cTR5200 Image","sum: expected 00000038, found 00000037",)"
         R"("mcu_ota_flag: expected 00000000 or 00000001, found 00000100"],"error":null,)"
         R"("software_format":"binary"})"
         "\n"},
    };
}

// The document --json prints when a run ends before any report: image as JSON text, the message.
std::string json_error(const std::string& image, const std::string& message) {
    return R"({"schema":1,"valid":false,"image":)" + image +
           R"(,"size":null,"magic":null,"length":null,"sum":null,"upgrade_boot":null,)"
           R"("mcu_ota_flag":null,"mcu_addr":null,"mcu_len":null,"mcu_sum":null,"checks":null,)"
           R"("problems":null,"error":")" +
           message + R"(","software_format":null})" + "\n";
}

// With --json, a run that ends with exit status 2 before its report still prints one document;
// the line on standard error stays as it is.
std::vector<run_case> json_trouble_cases() {
    const bytes image = upgrade_image(ten_bytes());
    std::vector<run_case> cases = {
        {"an unknown option after --json",
         {{"up.bin", image}},
         {"--json", "--bogus", "up.bin"},
         2,
         json_error("null", "unknown option --bogus"),
         "swug_info: unknown option --bogus\n" + usage},
        {"an unknown option before --json",
         {{"up.bin", image}},
         {"--bogus", "--json", "up.bin"},
         2,
         json_error("null", "unknown option --bogus"),
         "swug_info: unknown option --bogus\n" + usage},
        {"--json given twice",
         {{"up.bin", image}},
         {"--json", "--json", "up.bin"},
         2,
         json_error("null", "--json is given twice"),
         "swug_info: --json is given twice\n" + usage},
        {"--mcu without its file, then --json",
         {{"up.bin", image}},
         {"up.bin", "--json", "--mcu"},
         2,
         json_error("null", "--mcu needs a file name"),
         "swug_info: --mcu needs a file name\n" + usage},
        {"a missing image",
         {},
         {"--json", "nope.bin"},
         2,
         json_error(R"("nope.bin")",
                    "can't open the upgrade image nope.bin: No such file or directory"),
         "swug_info: can't open the upgrade image nope.bin: No such file or directory\n"},
        {"an image that is a folder",
         {{"up/", ""}},
         {"--json", "up"},
         2,
         json_error(R"("up")", "can't read the upgrade image up: Is a directory"),
         "swug_info: can't read the upgrade image up: Is a directory\n"},
        // A part that can't be written: the report with the error, still one document.
        {"--mcu on an image without one: the report and the error",
         {{"up.bin", image}},
         {"--json", "--mcu", "mcu.out", "up.bin"},
         2,
         R"({"schema":1,"valid":true,"image":"up.bin","size":138,"magic":"ZQ-TR5200 Image",)"
         R"("length":10,"sum":55,"upgrade_boot":0,"mcu_ota_flag":0,"mcu_addr":0,"mcu_len":0,)"
         R"("mcu_sum":0,"checks":[{"name":"size","ok":true},{"name":"magic","ok":true},)"
         R"({"name":"length","ok":true},{"name":"sum","ok":true},)"
         R"({"name":"upgrade_boot","ok":true},{"name":"unused_bytes","ok":true},)"
         R"({"name":"mcu_ota_flag","ok":true},{"name":"mcu_fields","ok":true},)"
         R"({"name":"file_end","ok":true}],"problems":[],)"
         R"("error":"up.bin holds no MCU ota image to write to mcu.out","software_format":"binary"})"
         "\n",
         "swug_info: up.bin holds no MCU ota image to write to mcu.out\n"},
    };
    if (!target_is_windows()) {
        cases.push_back(
            {"a read error in the image",
             {},
             {"--json", "/proc/self/mem"},
             2,
             json_error(R"("/proc/self/mem")",
                        "can't read the upgrade image /proc/self/mem: Input/output error"),
             "swug_info: can't read the upgrade image /proc/self/mem: Input/output error\n"});
    }
    return cases;
}

std::vector<run_case> misuse_cases() {
    const bytes image = upgrade_image(ten_bytes());
    std::vector<run_case> cases = {
        {"no arguments", {}, {}, 2, "", "swug_info: no image given\n" + usage},
        {"an unknown option",
         {{"up.bin", image}},
         {"--bogus", "up.bin"},
         2,
         "",
         "swug_info: unknown option --bogus\n" + usage},
        {"an unknown option and no image: the first error decides",
         {},
         {"--bogus"},
         2,
         "",
         "swug_info: unknown option --bogus\n" + usage},
        {"--help after an unknown option: the usage error decides",
         {},
         {"--bogus", "--help"},
         2,
         "",
         "swug_info: unknown option --bogus\n" + usage},
        {"--json alone",
         {},
         {"--json"},
         2,
         json_error("null", "no image given"),
         "swug_info: no image given\n" + usage},
        {"two images",
         {{"up.bin", image}},
         {"up.bin", "up.bin"},
         2,
         "",
         "swug_info: one image at a time: up.bin is a second one\n" + usage},
        {"--sw without its file",
         {{"up.bin", image}},
         {"up.bin", "--sw"},
         2,
         "",
         "swug_info: --sw needs a file name\n" + usage},
        {"--sw given twice",
         {{"up.bin", image}},
         {"--sw", "a", "--sw", "b", "up.bin"},
         2,
         "",
         "swug_info: --sw is given twice\n" + usage},
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

// Outputs checked against each other, the image and standard output before any is created, and
// replaced only once complete: a refused or failed run leaves every file as it was.
std::vector<run_case> kept_output_cases() {
    const bytes ten = ten_bytes();
    const bytes image = upgrade_image(ten, bytes("abc"));
    const std::string same = "swug_info: --sw keep.txt and --mcu keep.txt are the same file\n";
    std::vector<run_case> cases = {
        {"--sw and --mcu name one existing file",
         {{"up.bin", image}, {"keep.txt", "KEEP"}},
         {"--sw", "keep.txt", "--mcu", "keep.txt", "up.bin"},
         2,
         valid_ten_abc,
         same},
        {"--sw and --mcu name one new file, spelled two ways",
         {{"up.bin", image}},
         {"--sw", "a.out", "--mcu", "./a.out", "up.bin"},
         2,
         valid_ten_abc,
         "swug_info: --sw a.out and --mcu ./a.out are the same file\n"},
        {"--mcu names the image, --sw an existing file",
         {{"up.bin", image}, {"keep.txt", "KEEP"}},
         {"--sw", "keep.txt", "--mcu", "up.bin", "up.bin"},
         2,
         valid_ten_abc,
         "swug_info: up.bin is the upgrade image up.bin, refusing to overwrite it\n"},
        {"--mcu into a missing folder, --sw an existing file",
         {{"up.bin", image}, {"keep.txt", "KEEP"}},
         {"--sw", "keep.txt", "--mcu", "nodir/m.bin", "up.bin"},
         2,
         valid_ten_abc,
         "swug_info: can't create nodir/m.bin: No such file or directory\n"},
        {"--mcu alone writes the MCU OTA image only",
         {{"up.bin", image}},
         {"--mcu", "mcu.out", "up.bin"},
         0,
         valid_ten_abc + "| wrote the MCU ota image to mcu.out, size=00000003 |\n",
         "",
         {{"mcu.out", "abc"}}},
        {"both parts replace existing files",
         {{"up.bin", image}, {"sw.out", "OLD"}, {"mcu.out", "OLD"}},
         {"--sw", "sw.out", "--mcu", "mcu.out", "up.bin"},
         0,
         valid_ten_abc + "| wrote the software image to sw.out, size=0000000a |\n" +
             "| wrote the MCU ota image to mcu.out, size=00000003 |\n",
         "",
         {{"sw.out", ten}, {"mcu.out", "abc"}}},
    };
    if (target_is_windows()) {
        return cases;
    }
    cases.push_back({"a linked part's file is replaced, the link stays",
                     {{"up.bin", image}, {"store/sw.bin", "OLD"}},
                     {"--sw", "link.out", "up.bin"},
                     0,
                     valid_ten_abc + "| wrote the software image to link.out, size=0000000a |\n",
                     "",
                     {{"link.out", "-> store/sw.bin"}, {"store/sw.bin", ten}},
                     "",
                     [](const std::string& folder) {
                         std::filesystem::create_symlink("store/sw.bin", folder + "/link.out");
                     }});
    cases.push_back({"--sw and --mcu are hard links of one file",
                     {{"up.bin", image}, {"keep.txt", "KEEP"}},
                     {"--sw", "keep.txt", "--mcu", "link.txt", "up.bin"},
                     2,
                     valid_ten_abc,
                     "swug_info: --sw keep.txt and --mcu link.txt are the same file\n",
                     {{"link.txt", "KEEP"}},
                     "",
                     [](const std::string& folder) {
                         std::filesystem::create_hard_link(folder + "/keep.txt",
                                                           folder + "/link.txt");
                     }});
    cases.push_back({"--sw onto a full device fails with its name, and no --mcu file is left",
                     {{"up.bin", image}, {"full", device_text(1, 7)}},
                     {"--sw", "full", "--mcu", "mcu.out", "up.bin"},
                     2,
                     valid_ten_abc,
                     "swug_info: can't write full: No space left on device\n"});
    cases.push_back({"an image read from a pipe is refused for unpacking before any file exists",
                     {{"up.bin", image}},
                     {"--sw", "sw.out", "--mcu", "mcu.out", "piped.bin"},
                     2,
                     replace_all(valid_ten_abc, "| image up.bin |", "| image piped.bin |"),
                     "swug_info: can't read the upgrade image piped.bin: Illegal seek\n",
                     {{"piped.bin", "-> /proc/self/fd/0"}}});
    // The pipe by a name of the case's own folder, so that nothing of /dev is ever named.
    cases.back().prepare = [](const std::string& folder) {
        std::filesystem::create_symlink("/proc/self/fd/0", folder + "/piped.bin");
    };
    cases.back().wrapper = {"sh", "-c", "cat up.bin | \"$0\" \"$@\""};
    cases.push_back({"an image named with a line break and an escape shows them escaped",
                     {{"x.bin\n| image is valid |\x1b[2J", image}},
                     {"x.bin\n| image is valid |\x1b[2J"},
                     0,
                     replace_all(valid_ten_abc, "| image up.bin |",
                                 "| image x.bin\\n| image is valid |\\x1b[2J |")});
    cases.push_back({"a read-only part's file is refused before any file is written",
                     {{"up.bin", image}, {"sw.out", "OLD"}},
                     {"--mcu", "mcu.out", "--sw", "sw.out", "up.bin"},
                     2,
                     valid_ten_abc,
                     "swug_info: can't write sw.out: it is read-only\n",
                     {},
                     "",
                     [](const std::string& folder) {
                         if (chown((folder + "/sw.out").c_str(), 61001, 61001) != 0 ||
                             chmod((folder + "/sw.out").c_str(), 0444) != 0) {
                             throw std::runtime_error("can't give sw.out away");
                         }
                     }});
    cases.back().user = 61001;
    cases.push_back(
        {"a part in a folder that allows no new files is written over",
         {{"up.bin", image}, {"parts/sw.out", "OLD"}},
         {"--sw", "parts/sw.out", "up.bin"},
         0,
         valid_ten_abc + "| wrote the software image to parts/sw.out, size=0000000a |\n",
         "swug_info: parts/sw.out was written over in place, not replaced in one step: "
         "its folder allows no new files\n",
         {{"parts/sw.out", ten}},
         "",
         [](const std::string& folder) {
             if (chown((folder + "/parts/sw.out").c_str(), 61001, 61001) != 0 ||
                 chmod((folder + "/parts").c_str(), 0755) != 0) {
                 throw std::runtime_error("can't give parts/sw.out away");
             }
         }});
    cases.back().user = 61001;
    cases.push_back({"--sw names the standard output's pipe",
                     {{"up.bin", image}},
                     {"--sw", "/proc/self/fd/1", "up.bin"},
                     2,
                     valid_ten_abc,
                     "swug_info: /proc/self/fd/1 is the standard output, refusing to write a part "
                     "and the report into one file\n"});
    cases.push_back({"standard output fails: no part replaces its file",
                     {{"up.bin", image}, {"sw.out", "OLD"}, {"full", device_text(1, 7)}},
                     {"--sw", "sw.out", "up.bin"},
                     2,
                     "",
                     "swug_info: can't write to standard output: No space left on device\n",
                     {},
                     "",
                     {},
                     false,
                     "full"});
    // A report longer than the output buffer fails inside the write, not the flush.
    std::string deep;
    for (int i = 0; i < 15; ++i) {
        deep += std::string(250, static_cast<char>('a' + i)) + "/";
    }
    cases.push_back({"standard output fails in the middle of a long report",
                     {{deep + "up.bin", image}, {"full", device_text(1, 7)}},
                     {deep + "up.bin"},
                     2,
                     "",
                     "swug_info: can't write to standard output: No space left on device\n",
                     {},
                     "",
                     {},
                     false,
                     "full"});
    cases.push_back({"standard output fails without unpacking",
                     {{"up.bin", image}, {"full", device_text(1, 7)}},
                     {"up.bin"},
                     2,
                     "",
                     "swug_info: can't write to standard output: No space left on device\n",
                     {},
                     "",
                     {},
                     false,
                     "full"});
    cases.push_back(
        {"a read error in the image",
         {},
         {"/proc/self/mem"},
         2,
         "",
         "swug_info: can't read the upgrade image /proc/self/mem: Input/output error\n"});
    cases.push_back({"an endless device ends one byte past the expected end",
                     {{"zero", device_text(1, 5)}},
                     {"zero"},
                     1,
                     "| image zero |\n| size=00000081 |\n| magic=" +
                         replace_all(std::string(15 * 4, ' '), "    ", "\\x00") +
                         " |\n| length=00000000 |\n| sum=00000000 |\n| upgrade_boot=00000000 |\n"
                         "| mcu_ota_flag=00000000 |\n| mcu_addr=00000000 |\n| mcu_len=00000000 |\n"
                         "| mcu_sum=00000000 |\n| check size: ok |\n| check magic: FAILED, "
                         "expected ZQ-TR5200 Image, found " +
                         replace_all(std::string(15 * 4, ' '), "    ", "\\x00") +
                         " |\n| check length: ok |\n| check sum: ok |\n"
                         "| check upgrade_boot: ok |\n| check unused_bytes: ok |\n"
                         "| check mcu_ota_flag: ok |\n| check mcu_fields: ok |\n"
                         "| check file_end: FAILED, expected 128 bytes, found more than 128 bytes "
                         "|\n| image is NOT valid: 2 checks failed |\n"});
    return cases;
}

std::vector<run_case> option_cases() {
    const bytes image = upgrade_image(ten_bytes());
    const bytes version_file = source_file("VERSION");
    const std::string version = version_file.substr(0, version_file.find('\n'));
    const std::string help =
        usage +
        "Checks an upgrade image field by field and can write its parts out again.\n"
        "\n"
        "  --json      print the report as one JSON object\n"
        "  --slot-size N\n"
        "              the size check fails when the image is larger than N bytes, or N KiB or\n"
        "              MiB with the suffix K or M (256K, 1M): the device's slot for it\n"
        "  --sw FILE   write the software image of a valid image to FILE\n"
        "  --mcu FILE  write the MCU OTA image of a valid image to FILE\n"
        "  --          end of the options: the next word is the image\n"
        "  -h, --help  print this help and exit\n"
        "  --version   print the version and exit\n"
        "\n"
        "Exit status: 0 the image is valid, 1 it fails a check, 2 wrong usage or a file that\n"
        "can't be read or written.\n";
    return {
        {"--version", {}, {"--version"}, 0, "swug_info " + version + "\n"},
        {"--help", {}, {"--help"}, 0, help},
        {"-h after an image", {{"up.bin", image}}, {"up.bin", "-h"}, 0, help},
        {"-?", {}, {"-?"}, 0, help},
        {"/?, as Windows programs spell it", {}, {"/?"}, 0, help},
        {"-- ends the options",
         {{"-up.bin", image}},
         {"--", "-up.bin"},
         0,
         replace_all(valid_ten, "| image up.bin |", "| image -up.bin |")},
        {"an image named -", {{"-", image}}, {"-"}, 0, replace_all(valid_ten, "up.bin", "-")},
        {"after --, -h is an image",
         {},
         {"--", "-h"},
         2,
         "",
         "swug_info: can't open the upgrade image -h: No such file or directory\n"},
    };
}

// --slot-size: the image of ten bytes has 138; a slot one byte smaller holds neither the image
// nor its software image behind the header.
std::vector<run_case> slot_size_cases() {
    const bytes image = upgrade_image(ten_bytes());
    const std::string too_small =
        replace_all(replace_all(replace_all(valid_ten, "| check size: ok |",
                                            "| check size: FAILED, expected at most 137 bytes, "
                                            "found 138 bytes |"),
                                "| check length: ok |",
                                "| check length: FAILED, expected at most 9 bytes, found 10 "
                                "bytes |"),
                    "| image is valid |", "| image is NOT valid: 2 checks failed |");
    const std::string bad_size =
        " is not a slot size: give bytes, or KiB or MiB with K or M, such as 262144, 256K or 1M\n";
    return {
        {"a slot of the image's size",
         {{"up.bin", image}},
         {"--slot-size", "138", "up.bin"},
         0,
         valid_ten},
        {"a slot one byte smaller",
         {{"up.bin", image}},
         {"--slot-size", "137", "up.bin"},
         1,
         too_small},
        {"a slot one byte smaller, as JSON",
         {{"up.bin", image}},
         {"--json", "--slot-size", "137", "up.bin"},
         1,
         replace_all(
             replace_all(
                 replace_all(
                     replace_all(valid_ten_json, "\"valid\":true", "\"valid\":false"),
                     R"({"name":"size","ok":true})",
                     R"({"name":"size","ok":false,"expected":"at most 137 bytes","found":"138 bytes"})"),
                 R"({"name":"length","ok":true})",
                 R"({"name":"length","ok":false,"expected":"at most 9 bytes","found":"10 bytes"})"),
             R"("problems":[])",
             R"("problems":["size: expected at most 137 bytes, found 138 bytes",)"
             R"("length: expected at most 9 bytes, found 10 bytes"])")},
        {"a slot of 4K", {{"up.bin", image}}, {"up.bin", "--slot-size", "4K"}, 0, valid_ten},
        {"a slot of 0 bytes is no size",
         {{"up.bin", image}},
         {"--slot-size", "0", "up.bin"},
         2,
         "",
         "swug_info: 0" + bad_size + usage},
        {"a size past 64 bits is no size",
         {{"up.bin", image}},
         {"--slot-size", "18014398509481984M", "up.bin"},
         2,
         "",
         "swug_info: 18014398509481984M" + bad_size + usage},
        {"a lower-case suffix is no size",
         {{"up.bin", image}},
         {"--slot-size", "4k", "up.bin"},
         2,
         "",
         "swug_info: 4k" + bad_size + usage},
        {"--slot-size without its size",
         {{"up.bin", image}},
         {"up.bin", "--slot-size"},
         2,
         "",
         "swug_info: --slot-size needs a size\n" + usage},
    };
}

// The frozen corpus: every later release must judge these images the same way.
struct golden_row {
    const char* file;  // in tests/golden/
    std::vector<std::string> failed;
};

const golden_row golden_rows[] = {
    {"VRK520_UPGRADE_SW.bin", {}},
    {"VRK520_UPGRADE_SW_mcu.bin", {}},
    {"file_end_trailing_byte.bin", {"file_end"}},
    {"length_past_end.bin", {"length", "file_end"}},
    {"magic_wrong_byte.bin", {"magic"}},
    {"mcu_addr_off_by_one.bin", {"mcu_addr"}},
    {"mcu_fields_sum_without_flag.bin", {"mcu_fields"}},
    {"mcu_len_98305.bin", {"mcu_len"}},
    {"mcu_ota_flag_2.bin", {"mcu_ota_flag"}},
    {"mcu_sum_wrong.bin", {"mcu_sum"}},
    {"size_header_cut.bin", {"size"}},
    {"sum_wrong.bin", {"sum"}},
    {"unused_bytes_byte_80.bin", {"unused_bytes"}},
    {"upgrade_boot_1.bin", {"upgrade_boot"}},
    {"valid_empty_mcu.bin", {}},
    {"valid_empty_software.bin", {}},
    {"valid_mcu_98304.bin", {}},
    {"valid_with_mcu.bin", {}},
    {"valid_without_mcu.bin", {}},
};

TEST(SwugInfo, TheGoldenImagesKeepTheirVerdicts) {
    std::vector<std::string> listed;
    for (const golden_row& row : golden_rows) {
        SCOPED_TRACE(row.file);
        listed.push_back(row.file);
        temp_folder folder;
        write_file(folder / row.file, source_file(std::string("tests/golden/") + row.file));
        const run_result info = run_in(folder.path(), "swug_info", {row.file});
        EXPECT_EQ(info.ending, exited(row.failed.empty() ? 0 : 1));
        std::vector<std::string> failed;
        const std::string mark = "| check ";
        for (std::size_t at = info.out.find(mark); at != std::string::npos;
             at = info.out.find(mark, at + 1)) {
            const std::size_t colon = info.out.find(':', at);
            if (info.out.compare(colon, 8, ": FAILED") == 0) {
                failed.push_back(info.out.substr(at + mark.size(), colon - at - mark.size()));
            }
        }
        EXPECT_EQ(failed, row.failed);
    }
    // A new golden image gets its row, so that its verdict is frozen too.
    EXPECT_EQ(source_folder_names("tests/golden"), listed);
}

TEST(SwugInfo, OutputsHoldTheirOldContentOrTheCompletePart) {
    for (const run_case& row : kept_output_cases()) {
        check_run_case(row, "swug_info");
    }
}

TEST(SwugInfo, TwoPartsInOneFolderReachedTwoWaysAreOneFile) {
    if (target_is_windows() || !runs_as_root() || std::system("unshare --mount true") != 0) {
        GTEST_SKIP() << "a private mount namespace needs root on a POSIX system";
    }
    // view/ shows real/ by a bind mount, only inside the run's own mount namespace.
    const bytes image = upgrade_image(ten_bytes(), bytes("abc"));
    temp_folder folder;
    lay_out(folder.path(), {{"up.bin", image}, {"real/", ""}, {"view/", ""}});
    run_options options;
    options.cwd = folder.path();
    options.wrapper = {"unshare",
                       "--mount",
                       "--propagation",
                       "private",
                       "sh",
                       "-c",
                       "mount --bind real view && exec \"$0\" \"$@\""};
    const run_result result = run_program(
        "swug_info", {"--sw", "real/part.bin", "--mcu", "view/part.bin", "up.bin"}, options);
    EXPECT_EQ(result.ending, exited(2));
    EXPECT_EQ(result.err,
              "swug_info: --sw real/part.bin and --mcu view/part.bin are the same file\n");
    const std::vector<std::pair<std::string, bytes>> untouched = {
        {"real/", ""}, {"up.bin", image}, {"view/", ""}};
    EXPECT_EQ(folder_contents(folder.path()), untouched);
}

// A FIFO with a reader attached that reads only when told to, so that a run writing to it blocks
// once the pipe is full.
class fifo_reader {
public:
    explicit fifo_reader(const std::string& path) {
        if (mkfifo(path.c_str(), 0600) != 0 ||
            (fd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK)) < 0) {
            throw std::runtime_error("can't make the FIFO " + path);
        }
    }
    ~fifo_reader() { close(fd_); }
    fifo_reader(const fifo_reader&) = delete;
    fifo_reader& operator=(const fifo_reader&) = delete;

    bool holds_data() const {
        int count = 0;
        return ioctl(fd_, FIONREAD, &count) == 0 && count > 0;
    }
    // Everything up to the end, when the last writer closes it.
    bytes read_to_end() {
        fcntl(fd_, F_SETFL, 0);
        bytes data;
        char chunk[65536];
        for (ssize_t got = 0; (got = read(fd_, chunk, sizeof chunk)) > 0;) {
            data.append(chunk, static_cast<std::size_t>(got));
        }
        return data;
    }

private:
    int fd_ = -1;
};

// Polls until ready() holds; false after ten seconds.
bool wait_until(const std::function<bool()>& ready) {
    for (int tries = 0; tries < 2000; ++tries) {
        if (ready()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// The sizes of the hidden files of outputs being written, by the output each is for.
std::map<std::string, std::size_t> temporary_sizes(const temp_folder& folder) {
    std::map<std::string, std::size_t> found;
    for (const auto& [name, content] : folder_contents(folder.path())) {
        if (const std::size_t mark = name.find(".swug-");
            name[0] == '.' && mark != std::string::npos) {
            found[name.substr(1, mark - 1)] = content.size();
        }
    }
    return found;
}

TEST(SwugInfo, ASignalWhileBothPartsAreWrittenLeavesNoTemporaryFile) {
    if (target_is_windows()) {
        GTEST_SKIP() << "POSIX signals and FIFOs";
    }
    // With --json the document follows the parts' copies; a full FIFO as standard output holds the
    // run there, with both new files complete and not yet in place.
    const bytes image = upgrade_image(ten_bytes(), bytes("abc"));
    temp_folder folder;
    lay_out(folder.path(), {{"up.bin", image}, {"sw.out", "OLD"}});
    fifo_reader report(folder / "report.fifo");
    const int filler = open((folder / "report.fifo").c_str(), O_WRONLY | O_NONBLOCK);
    const bytes block(4096, 'f');
    while (write(filler, block.data(), block.size()) > 0) {
    }
    run_options options;
    options.cwd = folder.path();
    options.stdout_path = folder / "report.fifo";
    running_program run = spawn_program(
        "swug_info", {"--json", "--sw", "sw.out", "--mcu", "mcu.out", "up.bin"}, options);
    const std::map<std::string, std::size_t> complete = {{"mcu.out", 3}, {"sw.out", 10}};
    EXPECT_TRUE(wait_until([&] { return temporary_sizes(folder) == complete; }))
        << ::testing::PrintToString(temporary_sizes(folder));
    kill(run.pid, SIGTERM);
    EXPECT_EQ(finish_program(run, "").ending, "killed by SIGTERM");
    close(filler);
    const std::vector<std::pair<std::string, bytes>> untouched = {
        {"report.fifo", "<not a regular file>"}, {"sw.out", "OLD"}, {"up.bin", image}};
    EXPECT_EQ(folder_contents(folder.path()), untouched);
}

TEST(SwugInfo, FifosAreReadAndWrittenInPlace) {
    if (target_is_windows()) {
        GTEST_SKIP() << "POSIX FIFOs";
    }
    const bytes image = upgrade_image(ten_bytes());
    temp_folder folder;
    write_file(folder / "up.bin", image);
    run_options options;
    options.cwd = folder.path();
    {
        fifo_reader reader(folder / "sw.fifo");
        const run_result result = run_program("swug_info", {"--sw", "sw.fifo", "up.bin"}, options);
        EXPECT_EQ(result.ending, exited(0));
        EXPECT_EQ(result.out,
                  valid_ten + "| wrote the software image to sw.fifo, size=0000000a |\n");
        EXPECT_EQ(reader.read_to_end(), ten_bytes());
    }
    // An image on a FIFO whose writer comes only once the run waits for one.
    ASSERT_EQ(mkfifo((folder / "up.fifo").c_str(), 0600), 0);
    running_program run = spawn_program("swug_info", {"up.fifo"}, options);
    const std::string proc = "/proc/" + std::to_string(run.pid);
    wait_until([&] {
        const std::string stat = read_file(proc + "/stat").value_or("");
        return read_file(proc + "/wchan") == "wait_for_partner" ||
               stat.compare(stat.rfind(')') + 1, 3, " Z ") == 0;
    });
    const int writer = open((folder / "up.fifo").c_str(), O_WRONLY | O_NONBLOCK);
    EXPECT_GE(writer, 0) << "the run no longer waits to read the FIFO";
    if (writer >= 0) {
        EXPECT_EQ(write(writer, image.data(), image.size()), static_cast<ssize_t>(image.size()));
        close(writer);
    }
    const run_result result = finish_program(run, "");
    EXPECT_EQ(result.ending, exited(0));
    EXPECT_EQ(result.out, replace_all(valid_ten, "| image up.bin |", "| image up.fifo |"));
    const std::vector<std::pair<std::string, bytes>> after = {{"sw.fifo", "<not a regular file>"},
                                                              {"up.bin", image},
                                                              {"up.fifo", "<not a regular file>"}};
    EXPECT_EQ(folder_contents(folder.path()), after);
}

TEST(SwugInfo, AnImageCutShortWhileItIsUnpackedLeavesNoPart) {
    if (target_is_windows()) {
        GTEST_SKIP() << "POSIX FIFOs";
    }
    // The software image goes to a FIFO and waits there once the pipe is full; meanwhile the image
    // is cut inside the zero bytes both parts are made of, so that only the count can tell.
    const bytes image = upgrade_image(bytes(300000, '\0'), bytes(1000, '\0'));
    temp_folder folder;
    write_file(folder / "up.bin", image);
    fifo_reader reader(folder / "sw.fifo");
    run_options options;
    options.cwd = folder.path();
    running_program run =
        spawn_program("swug_info", {"--sw", "sw.fifo", "--mcu", "mcu.out", "up.bin"}, options);
    ASSERT_TRUE(wait_until([&] { return reader.holds_data(); }));
    std::filesystem::resize_file(folder / "up.bin", 128 + 280000);
    reader.read_to_end();
    const run_result result = finish_program(run, "");
    EXPECT_EQ(result.ending, exited(2));
    EXPECT_EQ(result.out,
              "| image up.bin |\n"
              "| size=00049848 |\n"
              "| magic=ZQ-TR5200 Image |\n"
              "| length=000493e0 |\n"
              "| sum=00000000 |\n"
              "| upgrade_boot=00000000 |\n"
              "| mcu_ota_flag=00000001 |\n"
              "| mcu_addr=00049460 |\n"
              "| mcu_len=000003e8 |\n"
              "| mcu_sum=00000000 |\n"
              "| check size: ok |\n"
              "| check magic: ok |\n"
              "| check length: ok |\n"
              "| check sum: ok |\n"
              "| check upgrade_boot: ok |\n"
              "| check unused_bytes: ok |\n"
              "| check mcu_ota_flag: ok |\n"
              "| check mcu_addr: ok |\n"
              "| check mcu_len: ok |\n"
              "| check file_end: ok |\n"
              "| check mcu_sum: ok |\n"
              "| image is valid |\n");
    EXPECT_EQ(result.err, "swug_info: the upgrade image up.bin changed while it was read\n");
    const std::vector<std::pair<std::string, bytes>> after = {
        {"sw.fifo", "<not a regular file>"}, {"up.bin", image.substr(0, 128 + 280000)}};
    EXPECT_EQ(folder_contents(folder.path()), after);
}

TEST(SwugInfo, ASlotSizeJudgesTheImagesSize) {
    for (const run_case& row : slot_size_cases()) {
        check_run_case(row, "swug_info");
    }
}

TEST(SwugInfo, Options) {
    for (const run_case& row : option_cases()) {
        check_run_case(row, "swug_info");
    }
}

TEST(SwugInfo, Reports) {
    for (const run_case& row : report_cases()) {
        check_run_case(row, "swug_info");
    }
}

TEST(SwugInfo, UnpacksAndSaysWhatItWrote) {
    for (const run_case& row : unpack_cases()) {
        check_run_case(row, "swug_info");
    }
}

TEST(SwugInfo, DamagedHeaders) {
    for (const run_case& row : damaged_header_cases()) {
        check_run_case(row, "swug_info");
    }
}

TEST(SwugInfo, WithJsonTroubleIsOneDocumentToo) {
    for (const run_case& row : json_trouble_cases()) {
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
