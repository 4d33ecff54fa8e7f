// swug_gen on bad input and failing output: one clear line, exit status 1, every input as it
// was, and no incomplete upgrade image left behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "run_cases.h"

namespace swug::testing {
namespace {

namespace fs = std::filesystem;

const bytes ten = "0123456789";
const std::string ten_summary = "| gen image file checksum=0000020d,size=0000000a |\n";

std::function<void(const std::string&)> sparse_file(const std::string& name, std::uintmax_t size) {
    return [name, size](const std::string& folder) { fs::resize_file(folder + "/" + name, size); };
}

std::vector<run_case> same_file_cases() {
    std::vector<run_case> cases = {
        {"the output is the software image",
         {{"in.bin", ten}},
         {"in.bin", "in.bin"},
         1,
         "the upgrade image in.bin is the software file in.bin, refusing to overwrite it\n"},
        {"the output is the software image spelled with ./",
         {{"in.bin", ten}},
         {"./in.bin", "in.bin"},
         1,
         "the upgrade image in.bin is the software file {dir}/in.bin, refusing to overwrite it\n"},
        {"the output is mcu_ota.bin",
         {{"in.bin", ten}, {"mcu_ota.bin", "abc"}},
         {"in.bin", "./mcu_ota.bin"},
         1,
         "the upgrade image {dir}/mcu_ota.bin is the MCU ota file mcu_ota.bin, refusing to "
         "overwrite it\n"},
        {"the output is an mcu_ota.bin that is too big to carry",
         {{"in.bin", ten}, {"mcu_ota.bin", bytes(98305, 'm')}},
         {"in.bin", "mcu_ota.bin"},
         1,
         "the upgrade image mcu_ota.bin is the MCU ota file mcu_ota.bin, refusing to overwrite "
         "it\n"},
        {"the default run refuses and still prompts",
         {{"data/VRK520_SW.bin", ten}, {"out/", ""}},
         {},
         0,
         "the upgrade image out/VRK520_UPGRADE_SW.bin is the software file data/VRK520_SW.bin, "
         "refusing to overwrite it\nPress any key to exit!",
         "",
         {{"out/VRK520_UPGRADE_SW.bin", ten}},
         "",
         [](const std::string& folder) {
             fs::create_hard_link(folder + "/data/VRK520_SW.bin",
                                  folder + "/out/VRK520_UPGRADE_SW.bin");
         }},
    };
    if (!target_is_windows()) {
        cases.push_back({"the output is a hard link to the software image",
                         {{"in.bin", ten}},
                         {"in.bin", "hard.bin"},
                         1,
                         "the upgrade image hard.bin is the software file in.bin, refusing to "
                         "overwrite it\n",
                         "",
                         {{"hard.bin", ten}},
                         "",
                         [](const std::string& folder) {
                             fs::create_hard_link(folder + "/in.bin", folder + "/hard.bin");
                         }});
        cases.push_back({"the output is a symbolic link to mcu_ota.bin",
                         {{"in.bin", ten}, {"mcu_ota.bin", "abc"}},
                         {"in.bin", "link.bin"},
                         1,
                         "the upgrade image link.bin is the MCU ota file mcu_ota.bin, refusing "
                         "to overwrite it\n",
                         "",
                         {{"link.bin", "-> mcu_ota.bin"}},
                         "",
                         [](const std::string& folder) {
                             fs::create_symlink("mcu_ota.bin", folder + "/link.bin");
                         }});
    }
    return cases;
}

std::vector<run_case> bad_input_cases() {
    const std::string long_name(300, 'n');
    const std::string deep =
        std::string(100, 'd') + "/" + std::string(100, 'e') + "/" + std::string(100, 'f');
    std::vector<run_case> cases = {
        {"the software image is a folder",
         {{"fw/", ""}},
         {"fw", "up.bin"},
         1,
         "can't read the software file fw: Is a directory\n"},
        {"an mcu_ota.bin folder counts as absent",
         {{"in.bin", ten}, {"mcu_ota.bin/", ""}},
         {"in.bin", "up.bin"},
         0,
         ten_summary,
         "",
         {{"up.bin", upgrade_image(ten)}}},
        {"an argument over 299 characters",
         {{"in.bin", ten}},
         {"in.bin", long_name},
         1,
         "path too long, must be at most 299 characters: " + long_name + "\n"},
        {"a ./ argument that expands past 299 characters",
         {{"in.bin", ten}},
         {"./" + std::string(290, 'x'), "up.bin"},
         1,
         "path too long, must be at most 299 characters: {dir}/" + std::string(290, 'x') + "\n"},
        {"a software image over 4 GiB",
         {{"big.bin", ""}},
         {"big.bin", "up.bin"},
         1,
         "the software file big.bin is too big, must be at most 4294967295 bytes\n",
         "",
         {{"big.bin", large_file_text(0x100000000)}},
         "",
         sparse_file("big.bin", 0x100000000)},
        {"an MCU OTA offset past 32 bits",
         {{"big.bin", ""}, {"mcu_ota.bin", "abc"}},
         {"big.bin", "up.bin"},
         1,
         "the software file big.bin is too big, must be at most 4294967167 bytes\n",
         "",
         {{"big.bin", large_file_text(0xFFFFFF80)}},
         "",
         sparse_file("big.bin", 0xFFFFFF80)},
    };
    if (!target_is_windows()) {
        cases.push_back({"./ without a working directory",
                         {{"in.bin", ten}, {"gone/", ""}},
                         {"./in.bin", "./up.bin"},
                         1,
                         "can't expand ./in.bin: can't get the working directory: No such file or "
                         "directory\n",
                         "",
                         {},
                         "gone",
                         {},
                         true});
        cases.push_back({"./ in a working directory over 299 characters",
                         {{deep + "/in.bin", ten}},
                         {"./in.bin", "up.bin"},
                         1,
                         "can't expand ./in.bin: the working directory is longer than 299 "
                         "characters\n",
                         "",
                         {},
                         deep});
        cases.push_back({"plain names in a working directory over 299 characters",
                         {{deep + "/in.bin", ten}},
                         {"in.bin", "up.bin"},
                         0,
                         ten_summary,
                         "",
                         {{deep + "/up.bin", upgrade_image(ten)}},
                         deep});
        // Reading /proc/self/mem at offset 0 fails with EIO once the output exists.
        cases.push_back({"a read error leaves no upgrade image behind",
                         {},
                         {"/proc/self/mem", "up.bin"},
                         1,
                         "can't read the software file /proc/self/mem: Input/output error\n"});
        // A private full device: a faulty program can neither damage nor unlink the machine's own.
        cases.push_back({"the output is a full device, which is kept",
                         {{"in.bin", ten}, {"full", device_text(1, 7)}},
                         {"in.bin", "full"},
                         1,
                         "can't write the upgrade image full: No space left on device\n"});
        cases.push_back({"the output is a folder",
                         {{"in.bin", ten}, {"up/", ""}},
                         {"in.bin", "up"},
                         1,
                         "can't create the upgrade image up: Is a directory\n"});
    }
    return cases;
}

TEST(SwugGenFaults, OutputIsOneOfTheInputs) {
    for (const run_case& row : same_file_cases()) {
        check_run_case(row);
    }
}

TEST(SwugGenFaults, BadInput) {
    for (const run_case& row : bad_input_cases()) {
        check_run_case(row);
    }
}

TEST(SwugGenFaults, OutputsThatAreNoFilesAreReportedAndNeverRemoved) {
    if (target_is_windows()) {
        GTEST_SKIP() << "POSIX devices and FIFOs";
    }
    temp_folder folder;
    write_file(folder / "in.bin", ten);
    ASSERT_EQ(mkfifo((folder / "pipe").c_str(), 0600), 0);
    // A reader keeps the writer's open from blocking; nothing must ever arrive.
    const int reader = open((folder / "pipe").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const struct {
        std::string output;
        std::string reason;
        mode_t kind;
    } cases[] = {
        {folder / "pipe", "Illegal seek", S_IFIFO},
    };
    for (const auto& c : cases) {
        const run_result result = run_in(folder.path(), "swug_gen", {"in.bin", c.output});
        EXPECT_EQ(result.exit_status, 1);
        EXPECT_EQ(result.out, "can't write the upgrade image " + c.output + ": " + c.reason + "\n");
        struct stat after {};
        ASSERT_EQ(stat(c.output.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode & S_IFMT, c.kind) << c.output;
    }
    EXPECT_EQ(read_file(folder / "in.bin"), ten);
    close(reader);
}

}  // namespace
}  // namespace swug::testing
