// What only the Windows build meets: drive letters, names beyond the console's code page, the
// path limit in UTF-16 code units, text-mode bytes that must stay binary, and the console itself
// (the key wait, its code pages, CON as an output, Ctrl-C). These run when the tests are pointed
// at the .exe files (SWUG_EXE_SUFFIX=.exe under Wine); the names and the limit run on every build.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

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

std::string repeated(const std::string& text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) {
        result += text;
    }
    return result;
}

// The 299-character limit counts what the system counts: UTF-16 code units on Windows, where a
// Japanese letter is one and an emoji two, and bytes elsewhere, where they are three and four.
// Folder names stay below the 255 bytes that the file systems under the tests allow.
std::vector<run_case> path_length_cases() {
    const std::string letter = "\xE3\x83\x95";
    const std::string emoji = "\xF0\x9F\x98\x80";
    const std::string japanese = repeated(letter, 80) + "/" + repeated(letter, 80) + "/" +
                                 repeated(letter, 80) + "/";  // 243 characters
    const std::string japanese_299 = japanese + repeated(letter, 52) + ".bin";
    const std::string japanese_300 = japanese + repeated(letter, 53) + ".bin";
    const std::string emojis = repeated(emoji, 60) + "/" + repeated(emoji, 60) + "/";  // 242
    const std::string emoji_299 = emojis + repeated(emoji, 26) + "x.bin";
    const std::string emoji_300 = emojis + repeated(emoji, 26) + "xy.bin";
    // 126 characters, 378 bytes: a working folder deeper than 299 bytes.
    const std::string deep_folder = repeated(letter, 60) + "/" + repeated(letter, 65);
    const bool windows = target_is_windows();
    const auto too_long = [](const std::string& path) {
        return "path too long, must be at most 299 characters: " + path + "\n";
    };
    const std::string summary = "| gen image file checksum=00000126,size=00000003 |\n";
    const bytes image = upgrade_image("abc");
    return {
        {"299 Japanese letters",
         {{"in.bin", "abc"}, {japanese, ""}},
         {"in.bin", japanese_299},
         windows ? 0 : 1,
         windows ? summary : too_long(japanese_299),
         "",
         windows ? std::map<std::string, bytes>{{japanese_299, image}}
                 : std::map<std::string, bytes>{}},
        {"300 Japanese letters",
         {{"in.bin", "abc"}, {japanese, ""}},
         {"in.bin", japanese_300},
         1,
         too_long(japanese_300)},
        {"an emoji counts twice: 299",
         {{"in.bin", "abc"}, {emojis, ""}},
         {"in.bin", emoji_299},
         windows ? 0 : 1,
         windows ? summary : too_long(emoji_299),
         "",
         windows ? std::map<std::string, bytes>{{emoji_299, image}}
                 : std::map<std::string, bytes>{}},
        {"an emoji counts twice: 300",
         {{"in.bin", "abc"}, {emojis, ""}},
         {"in.bin", emoji_300},
         1,
         too_long(emoji_300)},
        {"./ in a working folder of 126 Japanese letters",
         {{deep_folder + "/in.bin", "abc"}},
         {"./in.bin", "./up.bin"},
         windows ? 0 : 1,
         windows ? summary
                 : "can't expand ./in.bin: the working directory is longer than 299 characters\n",
         "",
         windows ? std::map<std::string, bytes>{{deep_folder + "/up.bin", image}}
                 : std::map<std::string, bytes>{},
         deep_folder},
    };
}

TEST(Windows, ThePathLimitCountsCharactersAsTheSystemCountsThem) {
    for (const run_case& row : path_length_cases()) {
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

TEST(Windows, AFolderNamedWithATrailingBackslashIsRefusedAsAnOutput) {
    if (!target_is_windows()) {
        GTEST_SKIP() << "runs against the Windows build";
    }
    check_run_case({"up\\",
                    {{"in.bin", "abc"}, {"up/", ""}},
                    {"in.bin", "up\\"},
                    1,
                    "can't create the upgrade image up\\: Is a directory\n"});
}

TEST(Windows, ADriveRelativeOutputGoesToTheDrivesCurrentFolder) {
    if (!target_is_windows()) {
        GTEST_SKIP() << "runs against the Windows build";
    }
    // Under Wine the working folder is on drive Z:, so Z:name is a name in it.
    check_run_case({"Z:up.bin",
                    {{"in.bin", "abc"}},
                    {"in.bin", "Z:up.bin"},
                    0,
                    "| gen image file checksum=00000126,size=00000003 |\n",
                    "",
                    {{"up.bin", upgrade_image("abc")}}});
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

// The programs as cmd finds them in a console, under names without blanks: the Windows build's
// folder as drive S:, the code page probe's as T:.
class console_programs {
public:
    console_programs()
        : programs_("s", fs::path(program_path("swug_gen")).parent_path().string()),
          probe_("t", fs::path(probe()).parent_path().string()) {}

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
         0,
         {{"report.txt", "Parameter Error [4]\r\n" + prompt}}},
        {"a wrong count with a pipe as standard input",
         {{"keys.txt", "xyz"}},
         "type keys.txt | {swug_gen} a > report.txt",
         0,
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
