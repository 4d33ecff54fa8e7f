// swug_gen run as a user runs it: both modes, the MCU OTA rule, paths, and every file afterwards.
#include <gtest/gtest.h>

#include "run_cases.h"

namespace swug::testing {
namespace {

const std::string prompt = "Press any key to exit!";
// The one line on standard error after "Parameter Error [N]".
const std::string usage =
    "usage: swug_gen SOFTWARE_IMAGE UPGRADE_IMAGE (the firmware file, the upgrade image to "
    "write); see man swug_gen\n";
const std::string ten_summary = "| gen image file checksum=00000037,size=0000000a |\n";

bytes ten_bytes() {
    bytes data;
    for (char c = 1; c <= 10; ++c) {
        data += c;
    }
    return data;
}

// A few headers byte for byte, as xxd shows them: the magic "ZQ-TR5200 Image" and a zero byte,
// then length and sum; with an MCU OTA image, the flag, its offset, length and sum from byte 64.
const bytes magic = hex_bytes("5a512d54 52353230 3020496d 61676500");
const bytes empty_header = magic + bytes(112, '\0');
const bytes ten_header = magic + hex_bytes("0a000000 37000000") + bytes(104, '\0');
const bytes ten_abc_header = magic + hex_bytes("0a000000 37000000") + bytes(40, '\0') +
                             hex_bytes("01000000 8a000000 03000000 26010000") + bytes(48, '\0');
const bytes ten_empty_mcu_header = magic + hex_bytes("0a000000 37000000") + bytes(40, '\0') +
                                   hex_bytes("01000000 8a000000 00000000 00000000") +
                                   bytes(48, '\0');

// size bytes of (i * step + offset) mod 256.
bytes pattern(std::size_t size, unsigned step, unsigned offset) {
    bytes data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<char>((i * step + offset) & 0xFF);
    }
    return data;
}

std::vector<run_case> packing_cases() {
    const bytes ten = ten_bytes();
    const bytes mcu_max = pattern(98304, 13, 5);
    const bytes all_ff(17000000, '\xFF');
    const bytes example_software = source_file("examples/data/VRK520_SW.bin");
    return {
        {"default run packs data into out",
         {{"data/VRK520_SW.bin", ten}, {"out/", ""}},
         {},
         0,
         ten_summary + prompt,
         "",
         {{"out/VRK520_UPGRADE_SW.bin", ten_header + ten}}},
        {"default run without the software image",
         {{"out/", ""}},
         {},
         1,
         "can't find the software file data/VRK520_SW.bin \n" + prompt,
         "",
         {}},
        {"default run without the out folder",
         {{"data/VRK520_SW.bin", ten}},
         {},
         1,
         "can't create the upgrade image out/VRK520_UPGRADE_SW.bin: No such file or directory\n" +
             prompt,
         "",
         {}},
        {"empty software image",
         {{"in.bin", ""}},
         {"in.bin", "up.bin"},
         0,
         "| gen image file checksum=00000000,size=00000000 |\n",
         "",
         {{"up.bin", empty_header}}},
        {"exactly one chunk",
         {{"in.bin", pattern(1024, 7, 3)}},
         {"in.bin", "up.bin"},
         0,
         "| gen image file checksum=0001fe00,size=00000400 |\n",
         "",
         {{"up.bin", upgrade_image(pattern(1024, 7, 3))}}},
        {"running sum wraps past 2^32",
         {{"in.bin", all_ff}},
         {"in.bin", "up.bin"},
         0,
         "| gen image file checksum=0262d9c0,size=01036640 |\n",
         "",
         {{"up.bin", upgrade_image(all_ff)}}},
        {"MCU OTA abc behind ten bytes",
         {{"in.bin", ten}, {"mcu_ota.bin", "abc"}},
         {"in.bin", "up.bin"},
         0,
         "| gen image file checksum=00000037,size=0000000a , MCU ota "
         "checksum=00000126,size=00000003 "
         "|\n",
         "",
         {{"up.bin", ten_abc_header + ten + "abc"}}},
        {"empty MCU OTA file is carried",
         {{"in.bin", ten}, {"mcu_ota.bin", ""}},
         {"in.bin", "up.bin"},
         0,
         "| gen image file checksum=00000037,size=0000000a , MCU ota "
         "checksum=00000000,size=00000000 "
         "|\n",
         "",
         {{"up.bin", ten_empty_mcu_header + ten}}},
        {"MCU OTA of exactly 96 KiB",
         {{"in.bin", ten}, {"mcu_ota.bin", mcu_max}},
         {"in.bin", "up.bin"},
         0,
         "| gen image file checksum=00000037,size=0000000a , MCU ota "
         "checksum=00bf4000,size=00018000 "
         "|\n",
         "",
         {{"up.bin", upgrade_image(ten, mcu_max)}}},
        {"MCU OTA one byte over 96 KiB is refused and not announced",
         {{"in.bin", ten}, {"mcu_ota.bin", mcu_max + "x"}},
         {"in.bin", "up.bin"},
         0,
         "| MCU ota file is too big, must <96KB |\n" + ten_summary,
         "",
         {{"up.bin", ten_header + ten}}},
        {"MCU OTA beside the software image is not used",
         {{"fw/in.bin", ten}, {"fw/mcu_ota.bin", "abc"}},
         {"fw/in.bin", "up.bin"},
         0,
         ten_summary,
         "",
         {{"up.bin", ten_header + ten}}},
        {"MCU OTA comes from the current folder",
         {{"run/mcu_ota.bin", "abc"}, {"fw/in.bin", ten}},
         {"../fw/in.bin", "up.bin"},
         0,
         "| gen image file checksum=00000037,size=0000000a , MCU ota "
         "checksum=00000126,size=00000003 "
         "|\n",
         "",
         {{"run/up.bin", ten_abc_header + ten + "abc"}},
         "run"},
        {"line ends and Ctrl-Z pass through unchanged",
         {{"in.bin", "\n\r\x1A\r\n\n\x1A"}, {"mcu_ota.bin", "\r\n\x1A"}},
         {"in.bin", "up.bin"},
         0,
         "| gen image file checksum=0000006c,size=00000007 , MCU ota "
         "checksum=00000031,size=00000003 "
         "|\n",
         "",
         {{"up.bin", upgrade_image("\n\r\x1A\r\n\n\x1A", bytes("\r\n\x1A"))}}},
        {"MCU OTA in the default run",
         {{"data/VRK520_SW.bin", ten}, {"out/", ""}, {"mcu_ota.bin", "abc"}},
         {},
         0,
         "| gen image file checksum=00000037,size=0000000a , MCU ota "
         "checksum=00000126,size=00000003 "
         "|\n" +
             prompt,
         "",
         {{"out/VRK520_UPGRADE_SW.bin", ten_abc_header + ten + "abc"}}},
        {"the examples folder packs to its golden image",
         {{"data/VRK520_SW.bin", example_software}, {"out/", ""}},
         {},
         0,
         "| gen image file checksum=000bcd83,size=00001800 |\n" + prompt,
         "",
         {{"out/VRK520_UPGRADE_SW.bin", source_file("tests/golden/VRK520_UPGRADE_SW.bin")}}},
        {"the examples folder with its MCU OTA image packs to its golden image",
         {{"data/VRK520_SW.bin", example_software},
          {"out/", ""},
          {"mcu_ota.bin", source_file("examples/mcu_ota.bin")}},
         {},
         0,
         "| gen image file checksum=000bcd83,size=00001800 , MCU ota "
         "checksum=0001826b,size=00000300 |\n" +
             prompt,
         "",
         {{"out/VRK520_UPGRADE_SW.bin", source_file("tests/golden/VRK520_UPGRADE_SW_mcu.bin")}}},
    };
}

std::vector<run_case> path_cases() {
    const bytes ten = ten_bytes();
    std::vector<run_case> cases = {
        {"dot-slash arguments are expanded",
         {{"in.bin", ten}, {"out/", ""}},
         {"./in.bin", "./out/up.bin"},
         0,
         ten_summary,
         "",
         {{"out/up.bin", ten_header + ten}}},
        {"a missing dot-slash file is shown expanded",
         {},
         {"./nope.bin", "./up.bin"},
         1,
         "can't find the software file {dir}/nope.bin \n",
         "",
         {}},
        {"a plain relative name is used unchanged",
         {},
         {"nope.bin", "up.bin"},
         1,
         "can't find the software file nope.bin \n",
         "",
         {}},
        {"parent-relative paths are used unchanged",
         {{"run/", ""}, {"in.bin", ten}},
         {"../in.bin", "../up.bin"},
         0,
         ten_summary,
         "",
         {{"up.bin", ten_header + ten}},
         "run"},
        {"an existing larger output is replaced completely",
         {{"in.bin", ten}, {"up.bin", bytes(5000, 'o')}},
         {"in.bin", "up.bin"},
         0,
         ten_summary,
         "",
         {{"up.bin", ten_header + ten}}},
        {"one argument", {}, {"a"}, 1, "Parameter Error [2]\n" + prompt, usage, {}},
        {"-h is one argument like any other",
         {},
         {"-h"},
         1,
         "Parameter Error [2]\n" + prompt,
         usage,
         {}},
        {"a file named - is a software image, not standard input",
         {{"-", ten}},
         {"-", "up.bin"},
         0,
         ten_summary,
         "",
         {{"up.bin", ten_header + ten}}},
        {"-- is a file name, not the end of options",
         {{"-", ten}},
         {"--", "-"},
         1,
         "can't find the software file -- \n",
         "",
         {}},
        // The temporary file's name, ".NAME.swug-XXXXXX", is cut to fit the 255 bytes of a name.
        {"a 250-byte output name",
         {{"in.bin", ten}},
         {"in.bin", std::string(250, 'u')},
         0,
         ten_summary,
         "",
         {{std::string(250, 'u'), ten_header + ten}}},
        {"three arguments", {}, {"a", "b", "c"}, 1, "Parameter Error [4]\n" + prompt, usage, {}},
        {"four arguments, the first two of them files",
         {{"in.bin", ten}},
         {"in.bin", "up.bin", "c", "d"},
         1,
         "Parameter Error [5]\n" + prompt,
         usage,
         {}},
        {"the output's folder is missing",
         {{"in.bin", ten}},
         {"in.bin", "out/up.bin"},
         1,
         "can't create the upgrade image out/up.bin: No such file or directory\n",
         "",
         {}},
    };
    if (target_is_windows()) {
        cases.push_back({"dot-backslash is a Windows relative path",
                         {{"fw.bin", ten}},
                         {".\\fw.bin", "up.bin"},
                         0,
                         ten_summary,
                         "",
                         {{"up.bin", ten_header + ten}}});
    } else {
        // On POSIX systems a backslash is part of a name, in arguments and working folders alike.
        cases.push_back({"dot-backslash is a file name, not expanded",
                         {{".\\fw.bin", ten}},
                         {".\\fw.bin", "up.bin"},
                         0,
                         ten_summary,
                         "",
                         {{"up.bin", ten_header + ten}}});
        cases.push_back({"a working folder with a backslash in its name",
                         {{"a\\b/in.bin", ten}},
                         {"./in.bin", "./up.bin"},
                         0,
                         ten_summary,
                         "",
                         {{"a\\b/up.bin", ten_header + ten}},
                         "a\\b"});
    }
    return cases;
}

// --help and --version answer only as the one argument, without prompt or key wait; two
// arguments are two paths whatever they look like.
std::vector<run_case> help_cases() {
    const bytes version_file = source_file("VERSION");
    const std::string version = version_file.substr(0, version_file.find('\n'));
    const std::string help =
        "usage: swug_gen SOFTWARE_IMAGE UPGRADE_IMAGE\n"
        "       swug_gen\n"
        "Packs a firmware file, the software image, into an upgrade image.\n"
        "\n"
        "Command mode, with two arguments: packs SOFTWARE_IMAGE into UPGRADE_IMAGE. An\n"
        "argument that begins with \"./\" is expanded against the working folder.\n"
        "Interactive mode, without arguments: packs data/VRK520_SW.bin into\n"
        "out/VRK520_UPGRADE_SW.bin, then prints \"Press any key to exit!\" and waits for\n"
        "one key. Either way, an mcu_ota.bin of at most 96 KiB in the current folder is\n"
        "appended as the MCU OTA image.\n"
        "\n"
        "  --help, /?  print this help and exit\n"
        "  --version   print the version and exit\n"
        "\n"
        "Exit status: 0 the upgrade image was written, 1 it was not.\n"
        "More: man swug_gen; on Windows, README.md beside the program.\n";
    const bytes ten = ten_bytes();
    std::vector<run_case> cases = {
        {"--help", {}, {"--help"}, 0, help},
        {"/?, as Windows programs spell it", {}, {"/?"}, 0, help},
        {"--version", {}, {"--version"}, 0, "swug_gen " + version + "\n"},
        {"--help beside another argument is a wrong count",
         {},
         {"--help", "--version", "x"},
         1,
         "Parameter Error [4]\n" + prompt,
         usage},
        {"--help and --version as two paths",
         {{"--help", ten}},
         {"--help", "--version"},
         0,
         ten_summary,
         "",
         {{"--version", ten_header + ten}}},
        {"--version as a missing software image",
         {},
         {"--version", "up.bin"},
         1,
         "can't find the software file --version \n"},
    };
    if (!target_is_windows()) {
        // Help that can't be printed is no success.
        cases.push_back({"--help into a pipe that nobody reads",
                         {},
                         {"--help"},
                         1,
                         "",
                         "can't write to standard output: Broken pipe\n"});
        cases.back().stdout_reader_gone = true;
    }
    return cases;
}

// The tests' own image builder, which the other rows trust, makes the golden images too.
TEST(ExpectedImage, MatchesTheGoldenImages) {
    const bytes software = source_file("examples/data/VRK520_SW.bin");
    EXPECT_EQ(upgrade_image(software), source_file("tests/golden/VRK520_UPGRADE_SW.bin"));
    EXPECT_EQ(upgrade_image(software, source_file("examples/mcu_ota.bin")),
              source_file("tests/golden/VRK520_UPGRADE_SW_mcu.bin"));
    EXPECT_EQ(upgrade_image(ten_bytes(), bytes("abc")), ten_abc_header + ten_bytes() + "abc");
}

TEST(SwugGen, Packing) {
    for (const run_case& row : packing_cases()) {
        check_run_case(row);
    }
}

TEST(SwugGen, PathsAndArguments) {
    for (const run_case& row : path_cases()) {
        check_run_case(row);
    }
}

TEST(SwugGen, HelpAndVersion) {
    for (const run_case& row : help_cases()) {
        check_run_case(row);
    }
}

}  // namespace
}  // namespace swug::testing
