// What only the Windows build meets: drive letters, names beyond the console's code page, and
// text-mode bytes that must stay binary. These run when the tests are pointed at the .exe files
// (SWUG_EXE_SUFFIX=.exe under Wine); the names run on every build.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "run_cases.h"

namespace swug::testing {
namespace {

namespace fs = std::filesystem;

// A Wine drive letter mapped to a folder for as long as the object lives.
class mapped_drive {
public:
    mapped_drive(const std::string& letter, const std::string& folder) {
        const char* prefix = std::getenv("WINEPREFIX");
        const char* home = std::getenv("HOME");
        link_ = (prefix != nullptr ? std::string(prefix) : std::string(home) + "/.wine") +
                "/dosdevices/" + letter + ":";
        fs::remove(link_);
        fs::create_directory_symlink(folder, link_);
    }
    ~mapped_drive() {
        std::error_code ignored;
        fs::remove(link_, ignored);
    }

private:
    std::string link_;
};

// Bytes that a text-mode stream would change: line feeds, carriage returns, Ctrl-Z.
bytes console_bytes(std::size_t size) {
    const char pattern[] = {'\n', '\r', '\x1A', '\r', '\n', '\n', '\x1A', 'a', '\r', '\0'};
    bytes data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = pattern[i % sizeof pattern];
    }
    return data;
}

// Folders and files named in German, Japanese and with an emoji, in both run modes: every name is
// found, written and shown as it is.
std::vector<run_case> unicode_name_cases() {
    const std::string folder =
        "J\xC3\xB6rg/\xE3\x83\x95\xE3\x82\xA1\xE3\x83\xBC\xE3\x83\xA0/\xF0\x9F\x98\x80";
    const bytes software = "\x01\x02\x03";
    const std::string summary = "| gen image file checksum=00000006,size=00000003 |\n";
    const std::string mcu_summary =
        "| gen image file checksum=00000006,size=00000003 , MCU ota "
        "checksum=00000126,size=00000003 "
        "|\n";
    return {
        {"command mode",
         {{folder + "/fw \xC3\xBC.bin", software}},
         {"./fw \xC3\xBC.bin", "./\xE5\x87\xBA\xE5\x8A\x9B \xF0\x9F\x93\xA6.bin"},
         0,
         summary,
         "",
         {{folder + "/\xE5\x87\xBA\xE5\x8A\x9B \xF0\x9F\x93\xA6.bin", upgrade_image(software)}},
         folder},
        {"a missing file is named as it is",
         {{folder + "/", ""}},
         {"./n\xC3\xB6pe.bin", "./up.bin"},
         1,
         "can't find the software file {dir}/n\xC3\xB6pe.bin \n",
         "",
         {},
         folder},
        {"interactive mode with an MCU OTA image",
         {{folder + "/data/VRK520_SW.bin", software},
          {folder + "/out/", ""},
          {folder + "/mcu_ota.bin", "abc"}},
         {},
         0,
         mcu_summary + "Press any key to exit!",
         "",
         {{folder + "/out/VRK520_UPGRADE_SW.bin", upgrade_image(software, bytes("abc"))}},
         folder},
    };
}

TEST(Windows, NamesBeyondTheConsolesCodePage) {
    for (const run_case& row : unicode_name_cases()) {
        check_run_case(row);
    }
}

TEST(Windows, TheNullDeviceIsWrittenInPlace) {
    if (!target_is_windows()) {
        GTEST_SKIP() << "runs against the Windows build";
    }
    check_run_case({"swug_gen into NUL",
                    {{"in.bin", "abc"}},
                    {"in.bin", "NUL"},
                    0,
                    "| gen image file checksum=00000126,size=00000003 |\n"});
    std::string report =
        "| image up.bin |\n| size=00000083 |\n| magic=ZQ-TR5200 Image |\n"
        "| length=00000003 |\n| sum=00000126 |\n";
    for (const char* field : {"upgrade_boot", "mcu_ota_flag", "mcu_addr", "mcu_len", "mcu_sum"}) {
        report += "| " + std::string(field) + "=00000000 |\n";
    }
    for (const char* check : {"size", "magic", "length", "sum", "upgrade_boot", "unused_bytes",
                              "mcu_ota_flag", "mcu_fields", "file_end"}) {
        report += "| check " + std::string(check) + ": ok |\n";
    }
    check_run_case(
        {"swug_info unpacks into NUL",
         {{"up.bin", upgrade_image("abc")}},
         {"--sw", "NUL", "up.bin"},
         0,
         report + "| image is valid |\n| wrote the software image to NUL, size=00000003 |\n"},
        "swug_info");
}

TEST(Windows, ADrivesRootExpandsWithTwoSlashes) {
    if (!target_is_windows()) {
        GTEST_SKIP() << "runs against the Windows build";
    }
    temp_folder folder;
    const mapped_drive drive("q", folder.path());
    write_file(folder / "in.bin", "abc");
    const run_result missing = run_in(folder.path(), "swug_gen", {"./nope.bin", "./up.bin"});
    EXPECT_EQ(missing.ending, exited(1));
    EXPECT_EQ(missing.out, "can't find the software file Q://nope.bin \n");

    const run_result packed = run_in(folder.path(), "swug_gen", {"./in.bin", "./up.bin"});
    EXPECT_EQ(packed.ending, exited(0));
    EXPECT_EQ(read_file(folder / "up.bin"), upgrade_image("abc"));
}

TEST(Windows, ImagesEqualTheNativeBuildsByteForByte) {
    if (!target_is_windows()) {
        GTEST_SKIP() << "compares the Windows build with this one";
    }
    const std::pair<bytes, std::optional<bytes>> inputs[] = {
        {console_bytes(5000), console_bytes(777)},
        {console_bytes(1024), std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [software, mcu] : inputs) {
        std::string images[2];
        std::string reports[2];
        for (const bool native : {false, true}) {
            temp_folder folder;
            const run_result result = pack_in_folder(folder.path(), software, mcu, native);
            EXPECT_EQ(result.ending, exited(0));
            images[native] = read_file(folder / "up.bin").value_or("missing");
            reports[native] = result.out;
        }
        EXPECT_EQ(images[0], upgrade_image(software, mcu));
        EXPECT_EQ(images[0], images[1]);
        EXPECT_EQ(reports[0], reports[1]);
    }
}

}  // namespace
}  // namespace swug::testing
