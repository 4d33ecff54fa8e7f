// Runs the built programs as child processes in fresh temporary folders, the way a user would:
// on a terminal of the test's own, or under Wine in a console.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace swug::testing {

using bytes = std::string;

// A fresh folder under the system's temporary folder for one case, removed with everything in it
// at the end.
class temp_folder {
public:
    temp_folder();
    ~temp_folder();
    temp_folder(const temp_folder&) = delete;
    temp_folder& operator=(const temp_folder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

struct run_options {
    std::string cwd;
    int stdin_fd = -1;              // -1: an empty pipe, at its end at once
    bool terminal_session = false;  // standard input becomes the controlling terminal
};

struct run_result {
    std::string ending;  // "exit status 1", "killed by SIGTERM", "killed: no end after 60 s"
    std::string out;     // standard output, or the console's screen
};

// The ending of a child that exited normally with status: compare it with run_result::ending, so
// that a crash or a hang shows up as such in a test's failure.
std::string exited(int status);

// Which programs the tests run: the native build by default; SWUG_TARGET_DIR, SWUG_EXE_SUFFIX and
// SWUG_RUNNER (say, "wine") point them at another build.
std::string program_path(const std::string& name);
bool target_is_windows();

// Runs the native program name in a process group of its own, standard error left to the test's.
// A child that has not ended 60 s after it started is killed, and the test fails.
struct running_program {
    int pid = -1;
    int out_fd = -1;
    std::chrono::steady_clock::time_point deadline;
};
running_program spawn_program(const std::string& name, const std::vector<std::string>& args,
                              const run_options& options);
std::string read_some(running_program& program);  // empty at end of output
run_result finish_program(running_program& program, std::string out_so_far);
run_result run_program(const std::string& name, const std::vector<std::string>& args,
                       const run_options& options);

// Under Wine: "cmd /c command" in the folder cwd, on a terminal of its own that Wine makes the
// console of everything the command runs (standard input, output and error alike), as a console
// window would be. Everything it started is killed 60 s after the start, or with the object.
class console_session {
public:
    console_session(const std::string& cwd, const std::string& command);
    ~console_session();
    console_session(const console_session&) = delete;
    console_session& operator=(const console_session&) = delete;

    // Reads the terminal until ready() holds; false when the run ended or its time ran out first.
    bool wait_until(const std::function<bool()>& ready);
    // What reached the terminal so far, without control sequences and carriage returns. The
    // console draws some blanks as cursor moves, so those blanks are missing too.
    std::string screen() const;
    // Types keys on the terminal.
    void type(const std::string& keys);
    // Sends SIGINT, which Wine turns into a console Ctrl-C, to the running Windows program name
    // ("swug_gen") of this session; false when it is not running.
    bool interrupt(const std::string& name);
    // Reads the terminal to the end of the run: how cmd ended, and the screen as out.
    run_result finish();

private:
    bool read_more(int timeout_ms);
    int pid_ = -1;
    int master_ = -1;
    std::string raw_;
    std::chrono::steady_clock::time_point deadline_;
};

// text with every from replaced by to.
std::string replace_all(std::string text, const std::string& from, const std::string& to);

void write_file(const std::string& path, const bytes& content);
std::optional<bytes> read_file(const std::string& path);
bool exists(const std::string& path);
// Creates the files and folders of given under folder; a name ending in "/" is a folder.
void lay_out(const std::string& folder, const std::map<std::string, bytes>& given);

// All the files and folders below folder, as relative path -> content, to compare a whole folder
// at once. Folders show as "name/" -> "", other files that are not regular as "<not a regular
// file>".
std::vector<std::pair<std::string, bytes>> folder_contents(const std::string& folder);

}  // namespace swug::testing
