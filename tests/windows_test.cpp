// The Windows console itself, which a transcript can't be: cmd on a terminal that Wine makes the
// console of everything the command runs, the key wait, the console's code pages, CON as an
// output, and Ctrl-C. These run when the tests are pointed at the .exe files under Wine with the
// code page probe (console_code_pages.cpp); the other Windows cases are in tests/e2e/windows.t.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>

#include "expected_image.h"
#include "program_runner.h"

namespace swug::testing {
namespace {

namespace fs = std::filesystem;

// A drive of Wine's prefix ("s:") mapped to a folder for as long as the object lives; a name the
// prefix has already is an error, never replaced.
class mapped_drive {
public:
    mapped_drive(const std::string& name, const std::string& folder) {
        const char* prefix = std::getenv("WINEPREFIX");
        const char* home = std::getenv("HOME");
        link_ = (prefix != nullptr ? std::string(prefix) : std::string(home) + "/.wine") +
                "/dosdevices/" + name;
        fs::create_directory_symlink(folder, link_);
    }
    ~mapped_drive() {
        std::error_code ignored;
        fs::remove(link_, ignored);
    }
    mapped_drive(const mapped_drive&) = delete;
    mapped_drive& operator=(const mapped_drive&) = delete;

private:
    std::string link_;
};

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
    std::map<std::string, bytes> expected = row.written;
    expected.insert(row.given.begin(), row.given.end());
    const std::vector<std::pair<std::string, bytes>> listed(expected.begin(), expected.end());
    EXPECT_EQ(folder_contents(folder.path()), listed);
}

TEST(WindowsConsole, StandardInputThatIsNoConsoleNeverWaitsForAKey) {
    if (!console_programs::ready()) {
        GTEST_SKIP() << "runs the Windows build in a console, with the code page probe";
    }
    const console_programs programs;
    const std::string prompt = "Press any key to exit!";
    const console_case cases[] = {
        {"interactive mode with NUL as standard input",
         {{"data/", ""}, {"data/VRK520_SW.bin", "abc"}, {"out/", ""}},
         "chcp 850 & {swug_gen} < NUL > report.txt & {code_pages} > code_pages.txt",
         0,
         {{"out/VRK520_UPGRADE_SW.bin", upgrade_image("abc")},
          {"report.txt", "| gen image file checksum=00000126,size=00000003 |\r\n" + prompt},
          {"code_pages.txt", code_pages_850}},
         ""},
        {"a wrong count with NUL as standard input",
         {},
         "chcp 850 & {swug_gen} a < NUL > report.txt & {code_pages} > code_pages.txt",
         0,
         {{"report.txt", "Parameter Error [2]\r\n" + prompt}, {"code_pages.txt", code_pages_850}},
         ""},
        {"a wrong count with a file as standard input",
         {{"keys.txt", "xyz"}},
         "{swug_gen} a b c < keys.txt > report.txt",
         1,
         {{"report.txt", "Parameter Error [4]\r\n" + prompt}},
         ""},
        {"a wrong count with a pipe as standard input",
         {{"keys.txt", "xyz"}},
         "type keys.txt | {swug_gen} a > report.txt",
         1,
         {{"report.txt", "Parameter Error [2]\r\n" + prompt}},
         ""},
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
          {"code_pages.txt", code_pages_850}},
         ""});
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
    const std::vector<std::pair<std::string, bytes>> expected = {{"code_pages.txt", code_pages_850},
                                                                 {"up.bin", "OLD"}};
    EXPECT_EQ(folder_contents(folder.path()), expected);
}

}  // namespace
}  // namespace swug::testing
