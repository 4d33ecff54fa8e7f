// What only the Windows build meets and a transcript can't set up: drives and network shares
// mapped in Wine's prefix, 8.3 names, text-mode bytes that must stay binary, files that other
// processes hold open, file attributes, and the console itself (the key wait, its code pages, CON
// as an output, Ctrl-C). These run when the tests are pointed at the .exe files
// (SWUG_EXE_SUFFIX=.exe under Wine); names, the path limit, NUL and drive-relative names are
// cases of tests/e2e/windows.t.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

#include "run_cases.h"

namespace swug::testing {
namespace {

namespace fs = std::filesystem;

// A name of Wine's device folder mapped to a folder for as long as the object lives: a drive
// ("q:" is Q:), or a network share ("unc/server/share" is \\server\share).
class mapped_drive {
public:
    mapped_drive(const std::string& name, const std::string& folder) {
        const char* prefix = std::getenv("WINEPREFIX");
        const char* home = std::getenv("HOME");
        link_ = (prefix != nullptr ? std::string(prefix) : std::string(home) + "/.wine") +
                "/dosdevices/" + name;
        fs::create_directories(fs::path(link_).parent_path());
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

TEST(Windows, ADrivesRootExpandsWithTwoSlashes) {
    if (!target_is_windows()) {
        GTEST_SKIP() << "runs against the Windows build";
    }
    temp_folder folder;
    const mapped_drive drive("q:", folder.path());
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

// The file holder (tests/file_holder.cpp), when the Wine tests have it.
std::string file_holder() {
    const char* path = std::getenv("SWUG_FILE_HOLDER");
    return path != nullptr ? path : "";
}

bool holder_ready() {
    return target_is_windows() && !file_holder().empty() && exists(file_holder());
}

// A row's wrapper that runs its program with the holder's steps done around it: "hold:-:up.bin"
// holds up.bin open, shared with nobody, while the program runs; "show:up.bin" prints
// "up.bin: FLAGS" after the program's own output.
std::vector<std::string> with_holder(const std::vector<std::string>& steps) {
    const char* runner = std::getenv("SWUG_RUNNER");
    std::vector<std::string> words = {runner != nullptr ? runner : "wine", file_holder()};
    words.insert(words.end(), steps.begin(), steps.end());
    return words;
}

// What swug_info reports for up.bin holding the software image "abc" and the MCU OTA image
// "xyz", written literally.
const std::string report_abc_xyz =
    "| image up.bin |\n"
    "| size=00000086 |\n"
    "| magic=ZQ-TR5200 Image |\n"
    "| length=00000003 |\n"
    "| sum=00000126 |\n"
    "| upgrade_boot=00000000 |\n"
    "| mcu_ota_flag=00000001 |\n"
    "| mcu_addr=00000083 |\n"
    "| mcu_len=00000003 |\n"
    "| mcu_sum=0000016b |\n"
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

// A row for one of the programs, run with the file holder's steps around it, when it has any.
struct program_case {
    std::string program;
    std::vector<std::string> steps;
    run_case row;
};

void check_program_case(const program_case& c) {
    run_case row = c.row;
    if (!c.steps.empty()) {
        row.wrapper = with_holder(c.steps);
    }
    check_run_case(row, c.program);
}

// Files that another process has open, as a flashing tool, a viewer or another build step has
// them, and read-only ones: what can't be written is refused before the work starts, so that no
// summary line comes before the refusal; what may be written but not replaced is written over;
// an input that can't be read says why.
std::vector<program_case> held_file_cases() {
    const std::string summary = "| gen image file checksum=00000126,size=00000003 |\n";
    const bytes image = upgrade_image("abc");
    const bytes both = upgrade_image("abc", bytes("xyz"));
    const std::string wrote_sw = "| wrote the software image to sw.out, size=00000003 |\n";
    std::vector<program_case> cases = {
        {"swug_gen",
         {"hold:-:up.bin"},
         {"an image held open unshared is refused before the work starts",
          {{"in.bin", "abc"}, {"up.bin", "OLD"}},
          {"in.bin", "up.bin"},
          1,
          "can't write the upgrade image up.bin: it is in use by another process\n"}},
        {"swug_gen",
         {"hold:r:up.bin"},
         {"an image held open by a reader that lets nobody write is refused too",
          {{"in.bin", "abc"}, {"up.bin", "OLD"}},
          {"in.bin", "up.bin"},
          1,
          "can't write the upgrade image up.bin: it is in use by another process\n"}},
        {"swug_gen",
         {"hold:rw:up.bin"},
         {"an image that may be written but not replaced is written over",
          {{"in.bin", "abc"}, {"up.bin", "OLDOLDOLDOLD"}},
          {"in.bin", "up.bin"},
          0,
          summary,
          "the upgrade image up.bin was written over in place, not replaced in one step: another "
          "process has it open\n",
          {{"up.bin", image}}}},
        {"swug_gen",
         {"hold:rwd:up.bin"},
         {"an image held open by one who lets it be replaced is replaced",
          {{"in.bin", "abc"}, {"up.bin", "OLD"}},
          {"in.bin", "up.bin"},
          0,
          summary,
          "",
          {{"up.bin", image}}}},
        {"swug_gen",
         {"attrib:r:up.bin", "show:up.bin"},
         {"a read-only image is refused before the work starts, and stays read-only",
          {{"in.bin", "abc"}, {"up.bin", "OLD"}},
          {"in.bin", "up.bin"},
          1,
          "can't write the upgrade image up.bin: it is read-only\nup.bin: ra\n"}},
        {"swug_gen",
         {"hold:-:in.bin"},
         {"a software image held open unshared says why it can't be read",
          {{"in.bin", "abc"}},
          {"in.bin", "up.bin"},
          1,
          "can't read the software file in.bin: it is in use by another process\n"}},
        {"swug_gen",
         {"hold:-:mcu_ota.bin"},
         {"an mcu_ota.bin held open unshared is left out, and said so",
          {{"in.bin", "abc"}, {"mcu_ota.bin", "xyz"}},
          {"in.bin", "up.bin"},
          0,
          summary,
          "can't open the MCU ota file mcu_ota.bin: it is in use by another process; the upgrade "
          "image is made without it\n",
          {{"up.bin", image}}}},
        {"swug_info",
         {"hold:-:sw.out"},
         {"a part's file held open unshared is refused before any file is written",
          {{"up.bin", both}, {"sw.out", "OLD"}},
          {"--mcu", "mcu.out", "--sw", "sw.out", "up.bin"},
          2,
          report_abc_xyz,
          "swug_info: can't write sw.out: it is in use by another process\n"}},
        {"swug_info",
         {"attrib:r:sw.out"},
         {"a read-only part's file is refused before any file is written",
          {{"up.bin", both}, {"sw.out", "OLD"}},
          {"--mcu", "mcu.out", "--sw", "sw.out", "up.bin"},
          2,
          report_abc_xyz,
          "swug_info: can't write sw.out: it is read-only\n"}},
        {"swug_info",
         {"hold:rw:sw.out"},
         {"a part's file that may be written but not replaced is written over",
          {{"up.bin", both}, {"sw.out", "OLDOLD"}},
          {"--sw", "sw.out", "up.bin"},
          0,
          report_abc_xyz + wrote_sw,
          "swug_info: sw.out was written over in place, not replaced in one step: another "
          "process has it open\n",
          {{"sw.out", "abc"}}}},
        {"swug_info",
         {"hold:-:up.bin"},
         {"an upgrade image held open unshared says why it can't be opened",
          {{"up.bin", both}},
          {"up.bin"},
          2,
          "",
          "swug_info: can't open the upgrade image up.bin: it is in use by another process\n"}},
    };
    return cases;
}

TEST(Windows, FilesThatOtherProcessesHoldOrThatAreReadOnly) {
    if (!holder_ready()) {
        GTEST_SKIP() << "runs the Windows build with the file holder";
    }
    for (const program_case& c : held_file_cases()) {
        check_program_case(c);
    }
}

// Attributes, as a plain write keeps them: a replaced image keeps the old one's (hidden, system),
// and a new one is not hidden, though its temporary file was until it took the name.
TEST(Windows, AReplacementKeepsTheAttributesAndANewImageIsNotHidden) {
    if (!holder_ready()) {
        GTEST_SKIP() << "runs the Windows build with the file holder";
    }
    const std::string summary = "| gen image file checksum=00000126,size=00000003 |\n";
    const bytes image = upgrade_image("abc");
    const program_case cases[] = {
        {"swug_gen",
         {"show:new.bin"},
         {"a new image",
          {{"in.bin", "abc"}},
          {"in.bin", "new.bin"},
          0,
          summary + "new.bin: a\n",
          "",
          {{"new.bin", image}}}},
        {"swug_gen",
         {"attrib:h:up.bin", "show:up.bin"},
         {"a hidden image stays hidden",
          {{"in.bin", "abc"}, {"up.bin", "OLD"}},
          {"in.bin", "up.bin"},
          0,
          summary + "up.bin: ha\n",
          "",
          {{"up.bin", image}}}},
        {"swug_gen",
         {"attrib:hs:up.bin", "show:up.bin"},
         {"a hidden system file stays both",
          {{"in.bin", "abc"}, {"up.bin", "OLD"}},
          {"in.bin", "up.bin"},
          0,
          summary + "up.bin: hsa\n",
          "",
          {{"up.bin", image}}}},
        {"swug_gen",
         {"attrib:-:up.bin", "show:up.bin"},
         {"an image without attributes is not hidden by its replacement",
          {{"in.bin", "abc"}, {"up.bin", "OLD"}},
          {"in.bin", "up.bin"},
          0,
          summary + "up.bin: a\n",
          "",
          {{"up.bin", image}}}},
    };
    for (const program_case& c : cases) {
        check_program_case(c);
    }
}

// One file however it is named: without case, without trailing dots and blanks, and by its 8.3
// name (Wine's for "long part name.bin" is LONG~N3Y.BIN), also while it does not exist yet.
TEST(Windows, OneFileUnderItsNamesIsOneDestination) {
    if (!target_is_windows()) {
        GTEST_SKIP() << "runs against the Windows build";
    }
    const bytes both = upgrade_image("abc", bytes("xyz"));
    const std::string wrote =
        "| wrote the software image to long part name.bin, size=00000003 "
        "|\n| wrote the MCU ota image to LONG~N3Y.BIN, size=00000003 |\n";
    const program_case cases[] = {
        {"swug_info",
         {},
         {"two new parts that differ in case",
          {{"up.bin", both}},
          {"--sw", "part.bin", "--mcu", "PART.BIN", "up.bin"},
          2,
          report_abc_xyz,
          "swug_info: --sw part.bin and --mcu PART.BIN are the same file\n"}},
        {"swug_info",
         {},
         {"two new parts, one with a trailing dot and blank",
          {{"up.bin", both}},
          {"--sw", "p2.bin", "--mcu", "p2.bin. ", "up.bin"},
          2,
          report_abc_xyz,
          "swug_info: --sw p2.bin and --mcu p2.bin.  are the same file\n"}},
        {"swug_info",
         {},
         {"an existing part's file by its long and its 8.3 name",
          {{"up.bin", both}, {"long part name.bin", "OLD"}},
          {"--sw", "long part name.bin", "--mcu", "LONG~N3Y.BIN", "up.bin"},
          2,
          report_abc_xyz,
          "swug_info: --sw long part name.bin and --mcu LONG~N3Y.BIN are the same file\n"}},
        // The second name becomes the first file's 8.3 name only once that file exists: the first
        // part is then in place, and the second never takes its file.
        {"swug_info",
         {},
         {"a new part named as the other new part's file will be named in 8.3",
          {{"up.bin", both}},
          {"--sw", "long part name.bin", "--mcu", "LONG~N3Y.BIN", "up.bin"},
          2,
          report_abc_xyz + wrote,
          "swug_info: can't write LONG~N3Y.BIN: File exists\n",
          {{"long part name.bin", "abc"}}}},
        {"swug_gen",
         {},
         {"the software image by its 8.3 name is the output by its long name",
          {{"long part name.bin", "abc"}},
          {"LONG~N3Y.BIN", "long part name.bin"},
          1,
          "the upgrade image long part name.bin is the software file LONG~N3Y.BIN, refusing to "
          "overwrite it\n"}},
    };
    for (const program_case& c : cases) {
        check_program_case(c);
    }
}

// A network share, \\swug-test\share: its root is a folder as any other, found with the
// separator that it needs.
TEST(Windows, ANetworkSharesRootIsAFolder) {
    if (!target_is_windows()) {
        GTEST_SKIP() << "runs against the Windows build";
    }
    const std::string share = "\\\\swug-test\\share\\";
    const std::string summary = "| gen image file checksum=00000126,size=00000003 |\n";
    const run_case cases[] = {
        {"an image in the share's root",
         {{"in.bin", "abc"}},
         {share + "in.bin", share + "up.bin"},
         0,
         summary,
         "",
         {{"up.bin", upgrade_image("abc")}}},
        {"an existing image in the share's root is replaced",
         {{"in.bin", "abc"}, {"up.bin", "OLD"}},
         {"in.bin", share + "up.bin"},
         0,
         summary,
         "",
         {{"up.bin", upgrade_image("abc")}}},
        {"the share's root as the output",
         {{"in.bin", "abc"}},
         {"in.bin", share},
         1,
         "can't create the upgrade image " + share + ": Is a directory\n"},
    };
    for (const run_case& row : cases) {
        run_case mapped = row;
        std::unique_ptr<mapped_drive> drive;
        mapped.prepare = [&drive](const std::string& folder) {
            drive = std::make_unique<mapped_drive>("unc/swug-test/share", folder);
        };
        check_run_case(mapped);
    }
}

// Sets a folder's immutable flag for as long as the object lives: its files may be written, but
// no file may be added to it, renamed in it or removed from it, root's neither.
class immutable_folder {
public:
    explicit immutable_folder(const std::string& path) : fd_(open(path.c_str(), O_RDONLY)) {
        int flags = 0;
        set_ = ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0 &&
               (flags |= FS_IMMUTABLE_FL, ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0);
    }
    ~immutable_folder() {
        int flags = 0;
        if (set_ && ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
            flags &= ~FS_IMMUTABLE_FL;
            ioctl(fd_, FS_IOC_SETFLAGS, &flags);
        }
        close(fd_);
    }
    immutable_folder(const immutable_folder&) = delete;
    immutable_folder& operator=(const immutable_folder&) = delete;
    bool is_set() const { return set_; }

private:
    int fd_;
    bool set_ = false;
};

// A folder that allows no new files, with a file in it that may be written, as an upload folder
// with a file put there for the purpose: the image is built in a nameless file of the system's
// temporary folder, then written over the file.
TEST(Windows, AFolderThatAllowsNoNewFilesGetsItsImageWrittenOver) {
    if (!target_is_windows() || !runs_as_root()) {
        GTEST_SKIP() << "runs against the Windows build, as root, who may set a folder immutable";
    }
    temp_folder folder;
    lay_out(folder.path(), {{"in.bin", "abc"}, {"upload/up.bin", "OLDOLDOLDOLDOLDOLDOLDOLD"}});
    run_result result;
    {
        const immutable_folder flag(folder / "upload");
        if (!flag.is_set()) {
            GTEST_SKIP() << "the file system has no immutable flag";
        }
        result = run_in(folder.path(), "swug_gen", {"in.bin", "upload\\up.bin"});
    }
    EXPECT_EQ(result.ending, exited(0));
    EXPECT_EQ(result.out, "| gen image file checksum=00000126,size=00000003 |\n");
    EXPECT_EQ(result.err,
              "the upgrade image upload\\up.bin was written over in place, not replaced in one "
              "step: its folder allows no new files\n");
    run_case expected;
    expected.given = {{"in.bin", "abc"}, {"upload/up.bin", "OLD"}};
    expected.written = {{"upload/up.bin", upgrade_image("abc")}};
    check_folder(expected, folder.path());
}

// The programs as cmd finds them in a console, under names without blanks: the Windows build's
// folder as drive S:, the code page probe's as T:.
class console_programs {
public:
    console_programs()
        : programs_("s:", fs::path(program_path("swug_gen")).parent_path().string()),
          probe_("t:", fs::path(probe()).parent_path().string()) {}

    // The console's code pages, as the probe prints them.
    static std::string probe() {
        const char* path = std::getenv("SWUG_CODE_PAGE_PROBE");
        return path != nullptr ? path : "";
    }
    static bool ready() { return target_is_windows() && !probe().empty() && exists(probe()); }

    // command with {swug_gen}, {swug_info} and {code_pages} made the programs' paths.
    static std::string command(const std::string& text) {
        std::string command = replace_all(text, "{swug_gen}", "S:\\swug_gen.exe");
        command = replace_all(command, "{swug_info}", "S:\\swug_info.exe");
        return replace_all(command, "{code_pages}", "T:\\" + fs::path(probe()).filename().string());
    }

private:
    mapped_drive programs_;
    mapped_drive probe_;
};

// What "{code_pages}" prints for a console whose code pages are both 850.
const std::string code_pages_850 = "input 850, output 850\r\n";

// Runs that cmd starts in a console: the command's last step ends as exit_status, and the folder
// holds given, changed by written, and nothing else. Text that goes to a file keeps the console's
// "\r\n"; the console's screen must not show hidden_text.
struct console_case {
    std::string name;
    std::map<std::string, bytes> given;
    std::string command;
    int exit_status = 0;
    std::map<std::string, bytes> written;
    std::string hidden_text;
};

void check_console_case(const console_case& row) {
    SCOPED_TRACE(row.name);
    temp_folder folder;
    lay_out(folder.path(), row.given);
    console_session console(folder.path(), console_programs::command(row.command));
    const run_result result = console.finish();
    EXPECT_EQ(result.ending, exited(row.exit_status));
    if (!row.hidden_text.empty()) {
        EXPECT_EQ(result.out.find(row.hidden_text), std::string::npos) << result.out;
    }
    run_case expected;
    expected.given = row.given;
    expected.written = row.written;
    check_folder(expected, folder.path());
}

TEST(WindowsConsole, StandardInputThatIsNoConsoleNeverWaitsForAKey) {
    if (!console_programs::ready()) {
        GTEST_SKIP() << "runs the Windows build in a console, with the code page probe";
    }
    const console_programs programs;
    const std::string prompt = "Press any key to exit!";
    const console_case cases[] = {
        {"interactive mode with NUL as standard input",
         {{"data/VRK520_SW.bin", "abc"}, {"out/", ""}},
         "chcp 850 & {swug_gen} < NUL > report.txt & {code_pages} > code_pages.txt",
         0,
         {{"out/VRK520_UPGRADE_SW.bin", upgrade_image("abc")},
          {"report.txt", "| gen image file checksum=00000126,size=00000003 |\r\n" + prompt},
          {"code_pages.txt", code_pages_850}}},
        {"a wrong count with NUL as standard input",
         {},
         "chcp 850 & {swug_gen} a < NUL > report.txt & {code_pages} > code_pages.txt",
         0,
         {{"report.txt", "Parameter Error [2]\r\n" + prompt}, {"code_pages.txt", code_pages_850}}},
        {"a wrong count with a file as standard input",
         {{"keys.txt", "xyz"}},
         "{swug_gen} a b c < keys.txt > report.txt",
         1,
         {{"report.txt", "Parameter Error [4]\r\n" + prompt}}},
        {"a wrong count with a pipe as standard input",
         {{"keys.txt", "xyz"}},
         "type keys.txt | {swug_gen} a > report.txt",
         1,
         {{"report.txt", "Parameter Error [2]\r\n" + prompt}}},
    };
    for (const console_case& row : cases) {
        check_console_case(row);
    }
}

TEST(WindowsConsole, TheConsoleIsRefusedAsAnOutputBeforeAByteReachesIt) {
    if (!console_programs::ready()) {
        GTEST_SKIP() << "runs the Windows build in a console, with the code page probe";
    }
    const console_programs programs;
    std::vector<console_case> cases;
    for (const std::string name : {"CON", "conout$", "CONIN$", "\\\\.\\CON"}) {
        cases.push_back(
            {"the output is " + name,
             {{"in.bin", "abc"}},
             "{swug_gen} in.bin " + name + " > report.txt",
             1,
             {{"report.txt", "can't write the upgrade image " + name + ": Illegal seek\r\n"}},
             "ZQ-TR5200"});
    }
    // The console's code pages come back after a failed run too.
    cases.push_back(
        {"the code pages after a refusal",
         {{"in.bin", "abc"}},
         "chcp 850 & {swug_gen} in.bin CON > report.txt & {code_pages} > code_pages.txt",
         0,
         {{"report.txt", "can't write the upgrade image CON: Illegal seek\r\n"},
          {"code_pages.txt", code_pages_850}},
         "ZQ-TR5200"});
    cases.push_back(
        {"swug_info gives the code pages back",
         {},
         "chcp 850 & {swug_info} nope.bin 2> report.txt & {code_pages} > code_pages.txt",
         0,
         {{"report.txt",
           "swug_info: can't open the upgrade image nope.bin: No such file "
           "or directory\r\n"},
          {"code_pages.txt", code_pages_850}}});
    for (const console_case& row : cases) {
        check_console_case(row);
    }
}

TEST(WindowsConsole, AConsoleAsStandardInputWaitsForOneKey) {
    if (!console_programs::ready()) {
        GTEST_SKIP() << "runs the Windows build in a console, with the code page probe";
    }
    const console_programs programs;
    temp_folder folder;
    console_session console(
        folder.path(),
        console_programs::command("chcp 850 & {swug_gen} a & {code_pages} > code_pages.txt"));
    ASSERT_TRUE(console.wait_until([&console] {
        return console.screen().find("exit!") != std::string::npos;
    })) << console.screen();
    // Still waiting a moment later: the next step has not run.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_FALSE(exists(folder / "code_pages.txt"));
    console.type("x");
    const run_result result = console.finish();
    EXPECT_EQ(result.ending, exited(0));
    EXPECT_EQ(read_file(folder / "code_pages.txt"), code_pages_850);
}

TEST(WindowsConsole, CtrlCRemovesTheNewFileAndGivesTheCodePagesBack) {
    if (!console_programs::ready()) {
        GTEST_SKIP() << "runs the Windows build in a console, with the code page probe";
    }
    const console_programs programs;
    temp_folder folder;
    write_file(folder / "up.bin", "OLD");
    // The software image is the console's input, which waits for a line nobody types.
    console_session console(folder.path(),
                            console_programs::command("chcp 850 & {swug_gen} CONIN$ up.bin & "
                                                      "{code_pages} > code_pages.txt"));
    const auto new_file_exists = [&folder] {
        for (const auto& [name, content] : folder_contents(folder.path())) {
            if (name.rfind(".up.bin.swug-", 0) == 0) {
                return true;
            }
        }
        return false;
    };
    ASSERT_TRUE(console.wait_until(new_file_exists)) << console.screen();
    EXPECT_TRUE(console.interrupt("swug_gen"));
    const run_result result = console.finish();
    EXPECT_EQ(result.ending, exited(0));
    run_case expected;
    expected.given = {{"up.bin", "OLD"}};
    expected.written = {{"code_pages.txt", code_pages_850}};
    check_folder(expected, folder.path());
}

}  // namespace
}  // namespace swug::testing
