// Runs the built programs as child processes in fresh temporary folders, the way a user would.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace swug::testing {

using bytes = std::string;

// A fresh folder under the system's temporary folder for one case, removed with everything in it
// at the end. The case's files go to path(); the harness keeps its own (the standard error of the
// programs run while this is the newest temp_folder alive) beside it, in harness_path().
class temp_folder {
public:
    temp_folder();
    ~temp_folder();
    temp_folder(const temp_folder&) = delete;
    temp_folder& operator=(const temp_folder&) = delete;

    const std::string& path() const { return path_; }
    const std::string& harness_path() const { return harness_path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    static const temp_folder& newest();

private:
    static std::vector<const temp_folder*> alive_;
    std::string root_;
    std::string path_;
    std::string harness_path_;
};

struct run_options {
    std::string cwd;
    int stdin_fd = -1;                 // -1: an empty pipe, at its end at once
    std::string stdout_path;           // appended to instead of being captured (a file of cwd)
    bool terminal_session = false;     // standard input becomes the controlling terminal
    std::vector<std::string> wrapper;  // a command that runs the program: its words come first
    unsigned user = 0;  // not 0: run as this user and group ID, no other groups (the suite is root)
};

struct run_result {
    int exit_status = -1;  // -1 when the child did not exit normally
    std::string ending;    // "exit status 1", "killed by SIGPIPE", "killed: no end after 60 s"
    std::string out;       // standard output, console line ends turned into "\n"
    std::string err;       // standard error, the same way
};

// The ending of a child that exited normally with status: compare it with run_result::ending, so
// that a crash or a hang shows up as such in a test's failure.
std::string exited(int status);

// Which programs the tests run: the native build by default; SWUG_TARGET_DIR, SWUG_EXE_SUFFIX and
// SWUG_RUNNER (say, "wine") point them at another build.
std::string program_path(const std::string& name);
bool target_is_windows();

// Runs name to its end: its standard output read to the end, its exit waited for. Only while a
// temp_folder is alive, whose harness folder takes the program's standard error.
run_result run_program(const std::string& name, const std::vector<std::string>& args,
                       const run_options& options);

// The same in two steps, for tests that act while the program runs. A child that has not ended
// 60 s after it started is killed, and the test fails.
struct running_program {
    std::string name;
    int pid = -1;
    int out_fd = -1;
    int err_fd = -1;
    std::chrono::steady_clock::time_point deadline;
    bool timed_out = false;  // killed at the deadline
};
running_program spawn_program(const std::string& name, const std::vector<std::string>& args,
                              const run_options& options);
std::string read_some(running_program& program);  // empty at end of output
run_result finish_program(running_program& program, std::string out_so_far);

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
    bool timed_out_ = false;
};

// text with every from replaced by to.
std::string replace_all(std::string text, const std::string& from, const std::string& to);

void write_file(const std::string& path, const bytes& content);
std::optional<bytes> read_file(const std::string& path);
bool exists(const std::string& path);
// Creates the files and folders of given under folder; a name ending in "/" is a folder.
void lay_out(const std::string& folder, const std::map<std::string, bytes>& given);

// All the files and folders below folder, as relative path -> content, to compare a whole folder
// at once. Folders show as "name/" -> "", links as "-> target", other special files as
// "<not a regular file>".
std::vector<std::pair<std::string, bytes>> folder_contents(const std::string& folder);

// Whether this process runs as root, and so may run programs as other users.
bool runs_as_root();

// Owner, group and mode of a file as "1234:5678 0640", not following a link; "" when there is
// nothing there.
std::string metadata_text(const std::string& path);

// The sizes of the new files that the running process pid is writing, smallest first: the files it
// holds open that have no name (O_TMPFILE) or a hidden temporary name (".NAME.swug-XXXXXX").
std::vector<std::uintmax_t> new_file_sizes(int pid);

// Words for run_options::wrapper that make the program's calls fail as failing_calls.c reads
// calls ("tmpfile:95"); empty where that library is not built.
std::vector<std::string> failing_calls(const std::string& calls);

}  // namespace swug::testing
