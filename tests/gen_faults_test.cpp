// swug_gen on bad input and failing output: one clear line, exit status 1, every input as it
// was, and no incomplete upgrade image left behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
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

// A run that starts writing a refused image meets a file-size limit at once ("File too large"),
// rather than gigabytes reaching the disk.
run_case with_small_file_limit(run_case row) {
    if (!target_is_windows()) {
        row.wrapper = {"sh", "-c", "ulimit -f 64 && exec \"$0\" \"$@\""};
    }
    return row;
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
         1,
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
        {"an empty output name",
         {{"in.bin", ten}},
         {"in.bin", ""},
         1,
         "can't create the upgrade image : No such file or directory\n"},
        {"the output is a folder named with a trailing /",
         {{"in.bin", ten}, {"up/", ""}},
         {"in.bin", "up/"},
         1,
         "can't create the upgrade image up/: Is a directory\n"},
        {"the output's folder is a file",
         {{"in.bin", ten}},
         {"in.bin", "in.bin/up.bin"},
         1,
         "can't create the upgrade image in.bin/up.bin: Not a directory\n"},
        {"an argument over 299 characters",
         {{"in.bin", ten}},
         {"in.bin", long_name},
         1,
         "path too long, must be at most 299 characters: " + long_name + "\n"},
        {"both arguments over 299 characters: the first is named",
         {},
         {std::string(301, 's'), long_name},
         1,
         "path too long, must be at most 299 characters: " + std::string(301, 's') + "\n"},
        {"a ./ argument that expands past 299 characters",
         {{"in.bin", ten}},
         {"./" + std::string(290, 'x'), "up.bin"},
         1,
         "path too long, must be at most 299 characters: {dir}/" + std::string(290, 'x') + "\n"},
        with_small_file_limit(
            {"a software image over 4 GiB, refused before the old image is touched",
             {{"big.bin", ""}, {"up.bin", "OLD"}},
             {"big.bin", "up.bin"},
             1,
             "the software file big.bin is too big, must be at most 4294967295 bytes\n",
             "",
             {{"big.bin", large_file_text(0x100000000)}},
             "",
             sparse_file("big.bin", 0x100000000)}),
        with_small_file_limit(
            {"an MCU OTA offset past 32 bits, refused before the old image is touched",
             {{"big.bin", ""}, {"mcu_ota.bin", "abc"}, {"up.bin", "OLD"}},
             {"big.bin", "up.bin"},
             1,
             "the software file big.bin is too big, must be at most 4294967167 bytes\n",
             "",
             {{"big.bin", large_file_text(0xFFFFFF80)}},
             "",
             sparse_file("big.bin", 0xFFFFFF80)}),
    };
    if (!target_is_windows()) {
        cases.push_back(
            {"the software image is a folder its user may not read",
             {{"fw/", ""}},
             {"fw", "up.bin"},
             1,
             "can't read the software file fw: Is a directory\n",
             "",
             {},
             "",
             [](const std::string& folder) { fs::permissions(folder + "/fw", fs::perms(0300)); },
             false,
             "",
             61001});
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
        cases.push_back({"a name with a line break and an escape is shown escaped",
                         {},
                         {"a\nb\x1b[31m", "up.bin"},
                         1,
                         "can't find the software file a\\nb\\x1b[31m \n"});
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

std::function<void(const std::string&)> symlink(const std::string& target,
                                                const std::string& name) {
    return [target, name](const std::string& folder) {
        fs::create_symlink(replace_all(target, "{dir}", folder), folder + "/" + name);
    };
}

// Runs that fail, and runs that succeed through links: the output path holds its old content or
// the complete new image, and links stay links.
std::vector<run_case> kept_output_cases() {
    // Reading /proc/self/mem at offset 0 fails, after the new file has been created.
    const std::string read_error =
        "can't read the software file /proc/self/mem: " +
        std::string(target_is_windows() ? "Invalid argument" : "Input/output error") + "\n";
    std::vector<run_case> cases = {
        {"a read error keeps the old image",
         {{"up.bin", "OLD"}},
         {"/proc/self/mem", "up.bin"},
         1,
         read_error},
    };
    if (target_is_windows()) {
        return cases;
    }
    const bytes mcu_ok = ten + "abc";
    cases.push_back({"a read error keeps a linked image and the link",
                     {{"store/release.bin", "OLD"}},
                     {"/proc/self/mem", "link.bin"},
                     1,
                     read_error,
                     "",
                     {{"link.bin", "-> store/release.bin"}},
                     "",
                     symlink("store/release.bin", "link.bin")});
    cases.push_back(
        {"the file a link names is replaced, the link stays",
         {{"in.bin", ten}, {"store/release.bin", "OLD"}},
         {"in.bin", "link.bin"},
         0,
         ten_summary,
         "",
         {{"link.bin", "-> store/release.bin"}, {"store/release.bin", upgrade_image(ten)}},
         "",
         symlink("store/release.bin", "link.bin")});
    cases.push_back({"a dangling link names the new file",
                     {{"in.bin", ten}, {"store/", ""}},
                     {"in.bin", "link.bin"},
                     0,
                     ten_summary,
                     "",
                     {{"link.bin", "-> store/new.bin"}, {"store/new.bin", upgrade_image(ten)}},
                     "",
                     symlink("store/new.bin", "link.bin")});
    cases.push_back({"a hard link to the old image keeps the old content",
                     {{"in.bin", ten}, {"up.bin", "OLD"}},
                     {"in.bin", "up.bin"},
                     0,
                     ten_summary,
                     "",
                     {{"up.bin", upgrade_image(ten)}, {"keep.bin", "OLD"}},
                     "",
                     [](const std::string& folder) {
                         fs::create_hard_link(folder + "/up.bin", folder + "/keep.bin");
                     }});
    cases.push_back({"standard output fails: the summary is lost, so is the new image",
                     {{"in.bin", ten}, {"up.bin", "OLD"}, {"full", device_text(1, 7)}},
                     {"in.bin", "up.bin"},
                     1,
                     "",
                     "can't write to standard output: No space left on device\n",
                     {},
                     "",
                     {},
                     false,
                     "full"});
    cases.push_back({"standard output fails: an error line goes to standard error instead",
                     {{"full", device_text(1, 7)}},
                     {"missing.bin", "up.bin"},
                     1,
                     "",
                     "can't find the software file missing.bin \n"
                     "can't write to standard output: No space left on device\n",
                     {},
                     "",
                     {},
                     false,
                     "full"});
    cases.push_back({"the output is standard output, appended to",
                     {{"in.bin", ten}, {"out.img", "KEEP"}},
                     {"in.bin", "/proc/self/fd/1"},
                     1,
                     "",
                     "the upgrade image /proc/self/fd/1 is the standard output, refusing to write "
                     "the image and the report into one file\n",
                     {},
                     "",
                     {},
                     false,
                     "out.img"});
    cases.push_back({"the output is the standard output's pipe",
                     {{"in.bin", ten}},
                     {"in.bin", "/proc/self/fd/1"},
                     1,
                     "",
                     "the upgrade image /proc/self/fd/1 is the standard output, refusing to write "
                     "the image and the report into one file\n"});
    cases.push_back({"a software image of exactly 4294967295 bytes packs",
                     {{"big.bin", ""}, {"null", device_text(1, 3)}},
                     {"big.bin", "null"},
                     0,
                     "| gen image file checksum=00000000,size=ffffffff |\n",
                     "",
                     {{"big.bin", large_file_text(0xFFFFFFFF)}},
                     "",
                     sparse_file("big.bin", 0xFFFFFFFF)});
    cases.push_back({"a software image of exactly 4294967167 bytes packs with an MCU OTA image",
                     {{"big.bin", ""}, {"mcu_ota.bin", "abc"}, {"null", device_text(1, 3)}},
                     {"big.bin", "null"},
                     0,
                     "| gen image file checksum=00000000,size=ffffff7f , MCU ota "
                     "checksum=00000126,size=00000003 |\n",
                     "",
                     {{"big.bin", large_file_text(0xFFFFFF7F)}},
                     "",
                     sparse_file("big.bin", 0xFFFFFF7F)});
    // Only an MCU OTA image that is carried lowers the limit; a refused one leaves it whole.
    cases.push_back(
        {"a refused mcu_ota.bin leaves the 4294967295-byte limit",
         {{"big.bin", ""}, {"mcu_ota.bin", bytes(98305, 'm')}, {"null", device_text(1, 3)}},
         {"big.bin", "null"},
         0,
         "| MCU ota file is too big, must <96KB |\n"
         "| gen image file checksum=00000000,size=ffffffff |\n",
         "",
         {{"big.bin", large_file_text(0xFFFFFFFF)}},
         "",
         sparse_file("big.bin", 0xFFFFFFFF)});
    // The null device as standard output too is no file that the report would share.
    cases.push_back({"the output is the null device that standard output also is",
                     {{"in.bin", ten}, {"null", device_text(1, 3)}},
                     {"in.bin", "null"},
                     0,
                     "",
                     "",
                     {},
                     "",
                     {},
                     false,
                     "null"});
    cases.push_back({"a link in a subfolder names a file beside it",
                     {{"in.bin", ten}, {"sub/rel.bin", "OLD"}, {"rel.bin", "TOP"}},
                     {"in.bin", "sub/link.bin"},
                     0,
                     ten_summary,
                     "",
                     {{"sub/link.bin", "-> rel.bin"}, {"sub/rel.bin", upgrade_image(ten)}},
                     "",
                     symlink("rel.bin", "sub/link.bin")});
    cases.push_back(
        {"a link to an absolute path names that file",
         {{"in.bin", ten}, {"sub/target.bin", "OLD"}},
         {"in.bin", "link.bin"},
         0,
         ten_summary,
         "",
         {{"link.bin", "-> {dir}/sub/target.bin"}, {"sub/target.bin", upgrade_image(ten)}},
         "",
         symlink("{dir}/sub/target.bin", "link.bin")});
    cases.push_back({"standard output closed by the caller: the image is still written",
                     {{"in.bin", ten}, {"up.bin", "OLD"}},
                     {"in.bin", "up.bin"},
                     0,
                     "",
                     "",
                     {{"up.bin", upgrade_image(ten)}}});
    cases.back().wrapper = {"sh", "-c", "exec \"$0\" \"$@\" >&-"};
    cases.push_back({"a closed pipe on standard output is a write error, not SIGPIPE",
                     {{"in.bin", ten}, {"up.bin", "OLD"}},
                     {"in.bin", "up.bin"},
                     1,
                     "",
                     "can't write to standard output: Broken pipe\n"});
    cases.back().stdout_reader_gone = true;
    cases.push_back({"an mcu_ota.bin whose size can't be told is too big",
                     {{"in.bin", ten}, {"zero", device_text(1, 5)}},
                     {"in.bin", "up.bin"},
                     0,
                     "| MCU ota file is too big, must <96KB |\n" + ten_summary,
                     "",
                     {{"up.bin", upgrade_image(ten)}, {"mcu_ota.bin", "-> zero"}},
                     "",
                     symlink("zero", "mcu_ota.bin")});
    cases.push_back(
        {"an mcu_ota.bin FIFO never blocks the run",
         {{"in.bin", ten}},
         {"in.bin", "up.bin"},
         0,
         "| MCU ota file is too big, must <96KB |\n" + ten_summary,
         "",
         {{"up.bin", upgrade_image(ten)}, {"mcu_ota.bin", "<not a regular file>"}},
         "",
         [](const std::string& folder) { mkfifo((folder + "/mcu_ota.bin").c_str(), 0600); }});
    cases.push_back({"a read error in mcu_ota.bin names it and keeps the old image",
                     {{"in.bin", ten}, {"up.bin", "OLD"}},
                     {"in.bin", "up.bin"},
                     1,
                     "can't read the MCU ota file mcu_ota.bin: Input/output error\n",
                     "",
                     {{"mcu_ota.bin", "-> /proc/self/mem"}},
                     "",
                     symlink("/proc/self/mem", "mcu_ota.bin")});
    // /proc/kallsyms tells a size of 0 and then delivers far more than 96 KiB.
    if (access("/proc/kallsyms", R_OK) == 0) {
        cases.push_back({"an mcu_ota.bin that grows past 96 KiB while it is read",
                         {{"in.bin", ten}, {"up.bin", "OLD"}},
                         {"in.bin", "up.bin"},
                         1,
                         "the MCU ota file mcu_ota.bin grew beyond 98304 bytes while it was read\n",
                         "",
                         {{"mcu_ota.bin", "-> /proc/kallsyms"}},
                         "",
                         symlink("/proc/kallsyms", "mcu_ota.bin")});
    }
    return cases;
}

TEST(SwugGenFaults, TheOutputHoldsItsOldContentOrTheCompleteNewImage) {
    for (const run_case& row : kept_output_cases()) {
        check_run_case(row);
    }
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
    // A terminal of the test's own, whose other end shows what reached it.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    const std::string terminal = ptsname(master);
    // No reader while the run lasts: a FIFO is refused without being opened, which would wait
    // for one. A reader opened afterwards shows that nothing arrived either.
    const struct {
        std::string output;
        std::string reason;
        mode_t kind;
    } cases[] = {
        {folder / "pipe", "Illegal seek", S_IFIFO},
        {terminal, "Illegal seek", S_IFCHR},
    };
    for (const auto& c : cases) {
        const run_result result = run_in(folder.path(), "swug_gen", {"in.bin", c.output});
        EXPECT_EQ(result.ending, exited(1));
        EXPECT_EQ(result.out, "can't write the upgrade image " + c.output + ": " + c.reason + "\n");
        struct stat after {};
        ASSERT_EQ(stat(c.output.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode & S_IFMT, c.kind) << c.output;
        if (c.kind == S_IFCHR) {
            // A mark typed after the run: whatever comes before it came from the run.
            const int slave = open(terminal.c_str(), O_WRONLY | O_NOCTTY);
            ASSERT_EQ(write(slave, "END", 3), 3);
            close(slave);
            std::string seen;
            char chunk[256];
            for (ssize_t got = 1; got > 0 && seen.find("END") == std::string::npos;) {
                got = read(master, chunk, sizeof chunk);
                seen.append(chunk, got > 0 ? static_cast<std::size_t>(got) : 0);
            }
            EXPECT_EQ(seen.size(), 3u) << "bytes reached the terminal";
            continue;
        }
        const int reader = open(c.output.c_str(), O_RDONLY | O_NONBLOCK);
        char arrived[64];
        EXPECT_LE(read(reader, arrived, sizeof arrived), 0) << "bytes reached the FIFO";
        close(reader);
    }
    close(master);
    EXPECT_EQ(read_file(folder / "in.bin"), ten);
}

}  // namespace
}  // namespace swug::testing
