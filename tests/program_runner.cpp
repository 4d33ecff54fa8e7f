#include "program_runner.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace swug::testing {

namespace {

constexpr std::chrono::seconds hang_timeout(60);

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::vector<std::string> split_words(const std::string& text) {
    std::istringstream stream(text);
    return {std::istream_iterator<std::string>(stream), std::istream_iterator<std::string>()};
}

std::string signal_name(int signal) {
    const char* abbreviation = sigabbrev_np(signal);
    return abbreviation != nullptr ? "SIG" + std::string(abbreviation)
                                   : "signal " + std::to_string(signal);
}

// Appends what fd holds now to text; at its end, closes fd and sets it to -1. True at the end.
bool read_available(int& fd, std::string& text) {
    char chunk[4096];
    while (fd >= 0) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got > 0) {
            text.append(chunk, static_cast<std::size_t>(got));
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else if (got < 0 && errno == EAGAIN) {
            return false;
        } else {
            close(fd);
            fd = -1;
            return true;
        }
    }
    return true;
}

// Waits until standard output has data or ends; kills the child and returns false when its
// deadline has passed.
bool wait_for_data(running_program& program) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        program.deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
        kill(-program.pid, SIGKILL);
        program.timed_out = true;
        return false;
    }
    pollfd ready{program.out_fd, POLLIN, 0};
    poll(&ready, 1, static_cast<int>(left.count()) + 1);
    return true;
}

}  // namespace

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
    for (std::string::size_type at = 0; (at = text.find(from, at)) != std::string::npos;
         at += to.size()) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::string exited(int status) {
    return "exit status " + std::to_string(status);
}

std::vector<const temp_folder*> temp_folder::alive_;

temp_folder::temp_folder() {
    std::string pattern = (fs::temp_directory_path() / "swug-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    root_ = pattern;
    path_ = root_ + "/work";
    harness_path_ = root_ + "/harness";
    fs::create_directory(path_);
    fs::create_directory(harness_path_);
    alive_.push_back(this);
}

temp_folder::~temp_folder() {
    alive_.erase(std::find(alive_.begin(), alive_.end(), this));
    std::error_code ignored;
    // Tests may leave read-only folders behind; make them removable first.
    for (const auto& entry : fs::recursive_directory_iterator(root_, ignored)) {
        if (entry.is_directory(ignored) && !entry.is_symlink(ignored)) {
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
    }
    fs::remove_all(root_, ignored);
}

const temp_folder& temp_folder::newest() {
    if (alive_.empty()) {
        throw std::logic_error("programs run only while a temp_folder holds their files");
    }
    return *alive_.back();
}

bool target_is_windows() {
    return environment("SWUG_EXE_SUFFIX") == ".exe";
}

std::string program_path(const std::string& name) {
    const std::string dir = environment("SWUG_TARGET_DIR");
    return (dir.empty() ? std::string(SWUG_BUILD_DIR) : dir) + "/" + name +
           environment("SWUG_EXE_SUFFIX");
}

running_program spawn_program(const std::string& name, const std::vector<std::string>& args,
                              const run_options& options) {
    std::vector<std::string> words = options.wrapper;
    const std::vector<std::string> runner = split_words(environment("SWUG_RUNNER"));
    words.insert(words.end(), runner.begin(), runner.end());
    words.push_back(program_path(name));
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    // Standard output goes to a pipe read as data arrives; standard error to a file in the case's
    // folder for the harness, so that neither can block the other, and so that a process the
    // child leaves behind (Wine's server) may keep writing to it without harm. An empty pipe
    // stands for standard input by default.
    int out_pipe[2];
    int in_pipe[2] = {-1, -1};
    if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(in_pipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    close(in_pipe[1]);
    std::string err_pattern = temp_folder::newest().harness_path() + "/stderr-XXXXXX";
    const int err_fd = mkostemp(err_pattern.data(), O_CLOEXEC);
    if (err_fd < 0) {
        throw std::runtime_error("mkostemp failed");
    }
    unlink(err_pattern.c_str());
    const pid_t child = fork();
    if (child == 0) {
        // Every signal at its default and none blocked, as for a shell's foreground job, even
        // when the tests themselves run in the background with SIGINT and SIGQUIT ignored.
        for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
            signal(signal_number, SIG_DFL);
        }
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (options.user != 0) {
            if (setgroups(0, nullptr) != 0 ||
                setresgid(options.user, options.user, options.user) != 0 ||
                setresuid(options.user, options.user, options.user) != 0) {
                _exit(126);
            }
        }
#ifdef __linux__
        // A run that a failed assertion left behind ends with the test, never spins on alone.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
        if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) {
            _exit(126);
        }
        dup2(options.stdin_fd != -1 ? options.stdin_fd : in_pipe[0], STDIN_FILENO);
        if (options.terminal_session) {
            // Like a shell's foreground job: the terminal's signal keys reach this process.
            setsid();
            ioctl(STDIN_FILENO, TIOCSCTTY, 0);
        } else {
            setpgid(0, 0);  // a group of its own, so that a hang is ended with every process in it
        }
        const int out_fd = options.stdout_path.empty()
                               ? out_pipe[1]
                               : open(options.stdout_path.c_str(), O_WRONLY | O_APPEND);
        dup2(out_fd, STDOUT_FILENO);
        dup2(err_fd, STDERR_FILENO);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    fcntl(out_pipe[0], F_SETFL, O_NONBLOCK);
    running_program program;
    program.name = name;
    program.pid = child;
    program.out_fd = out_pipe[0];
    program.err_fd = err_fd;
    program.deadline = std::chrono::steady_clock::now() + hang_timeout;
    return program;
}

std::string read_some(running_program& program) {
    for (;;) {
        std::string out;
        if (read_available(program.out_fd, out) || !out.empty()) {
            return out;
        }
        if (!wait_for_data(program)) {
            return {};
        }
    }
}

run_result finish_program(running_program& program, std::string out_so_far) {
    run_result result;
    result.out = std::move(out_so_far);
    // Standard output to its end first: under Wine that is when the helper processes of the run,
    // which share it, are gone too, so that the next run never meets a server shutting down.
    while (!read_available(program.out_fd, result.out) && wait_for_data(program)) {
    }
    int status = 0;
    while (waitpid(program.pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= program.deadline) {
            kill(-program.pid, SIGKILL);
            program.timed_out = true;
            waitpid(program.pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (program.out_fd >= 0) {
        close(program.out_fd);
        program.out_fd = -1;
    }
    char chunk[4096];
    ssize_t got = 0;
    for (off_t at = 0; (got = pread(program.err_fd, chunk, sizeof chunk, at)) > 0; at += got) {
        result.err.append(chunk, static_cast<std::size_t>(got));
    }
    close(program.err_fd);
    program.err_fd = -1;
    if (program.timed_out) {
        result.ending = "killed: no end after " + std::to_string(hang_timeout.count()) + " s";
        ADD_FAILURE() << program.name << " " << result.ending;
    } else if (WIFEXITED(status)) {
        result.exit_status = WEXITSTATUS(status);
        result.ending = exited(result.exit_status);
    } else if (WIFSIGNALED(status)) {
        result.ending = "killed by " + signal_name(WTERMSIG(status));
    }
    if (target_is_windows()) {
        // The Windows console ends lines with "\r\n"; nothing else is relaxed.
        for (std::string* text : {&result.out, &result.err}) {
            *text = replace_all(*text, "\r\n", "\n");
        }
    }
    return result;
}

run_result run_program(const std::string& name, const std::vector<std::string>& args,
                       const run_options& options) {
    running_program program = spawn_program(name, args, options);
    return finish_program(program, "");
}

console_session::console_session(const std::string& cwd, const std::string& command) {
    int slave = -1;
    if (openpty(&master_, &slave, nullptr, nullptr, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    std::vector<std::string> words = split_words(environment("SWUG_RUNNER"));
    words.insert(words.end(), {"cmd", "/c", command});
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
            signal(signal_number, SIG_DFL);
        }
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        // A session of its own, so that every process of the run can be found and ended; the
        // terminal is not its controlling one, so no key typed on it is a signal.
        setsid();
        if (chdir(cwd.c_str()) != 0) {
            _exit(126);
        }
        for (int fd = 0; fd <= 2; ++fd) {
            dup2(slave, fd);
        }
        close(slave);
        close(master_);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(slave);
    fcntl(master_, F_SETFL, O_NONBLOCK);
    pid_ = child;
    deadline_ = std::chrono::steady_clock::now() + hang_timeout;
}

console_session::~console_session() {
    if (pid_ > 0) {
        kill(-pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) {
        close(master_);
    }
}

bool console_session::read_more(int timeout_ms) {
    if (master_ < 0) {
        return false;
    }
    pollfd ready{master_, POLLIN, 0};
    poll(&ready, 1, timeout_ms);
    char chunk[4096];
    for (;;) {
        const ssize_t got = read(master_, chunk, sizeof chunk);
        if (got > 0) {
            raw_.append(chunk, static_cast<std::size_t>(got));
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else if (got < 0 && errno == EAGAIN) {
            return true;
        } else {
            // EIO: the last process that had the terminal open is gone.
            close(master_);
            master_ = -1;
            return false;
        }
    }
}

bool console_session::wait_until(const std::function<bool()>& ready) {
    while (!ready()) {
        if (std::chrono::steady_clock::now() >= deadline_ || !read_more(10)) {
            return ready();
        }
    }
    return true;
}

std::string console_session::screen() const {
    std::string text;
    for (std::size_t at = 0; at < raw_.size(); ++at) {
        const char c = raw_[at];
        if (c == '\x1b' && at + 1 < raw_.size() && raw_[at + 1] == '[') {
            // A control sequence: parameters, then one final byte from '@' to '~'.
            at += 2;
            while (at < raw_.size() && (raw_[at] < '@' || raw_[at] > '~')) {
                ++at;
            }
        } else if (c == '\x1b' && at + 1 < raw_.size() && raw_[at + 1] == ']') {
            // A window title and the like, up to BEL.
            while (at < raw_.size() && raw_[at] != '\a') {
                ++at;
            }
        } else if (c == '\x1b') {
            ++at;
        } else if (c != '\r') {
            text += c;
        }
    }
    return text;
}

void console_session::type(const std::string& keys) {
    if (write(master_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) {
        throw std::runtime_error("can't type on the terminal");
    }
}

bool console_session::interrupt(const std::string& name) {
    // Wine shows a Windows program's path as its command line; the session tells this run's.
    const std::string wanted = name + ".exe";
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const std::string stat = read_file("/proc/" + pid + "/stat").value_or("");
        const std::string command_line = read_file("/proc/" + pid + "/cmdline").value_or("");
        int session = -1;
        const auto after_name = stat.rfind(')');
        if (after_name == std::string::npos ||
            std::sscanf(stat.c_str() + after_name + 1, " %*c %*d %*d %d", &session) != 1 ||
            session != pid_) {
            continue;
        }
        const std::string first_word = command_line.substr(0, command_line.find('\0'));
        if (first_word.size() >= wanted.size() &&
            first_word.compare(first_word.size() - wanted.size(), wanted.size(), wanted) == 0) {
            return kill(std::stoi(pid), SIGINT) == 0;
        }
    }
    return false;
}

run_result console_session::finish() {
    run_result result;
    int status = 0;
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() < deadline_) {
        ended = waitpid(pid_, &status, WNOHANG) == pid_;
        if (!ended) {
            read_more(10);
        }
    }
    if (!ended) {
        kill(-pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        timed_out_ = true;
    }
    pid_ = -1;
    // What the console still draws; a process that outlives the run (Wine's server) may keep
    // the terminal open, so a pause ends the reading too.
    const auto quiet_until = [] {
        return std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    };
    for (auto until = quiet_until(); std::chrono::steady_clock::now() < until;) {
        const std::size_t had = raw_.size();
        if (!read_more(10)) {
            break;
        }
        if (raw_.size() != had) {
            until = quiet_until();
        }
    }
    if (timed_out_) {
        result.ending = "killed: no end after " + std::to_string(hang_timeout.count()) + " s";
        ADD_FAILURE() << "the console session " << result.ending;
    } else if (WIFEXITED(status)) {
        result.exit_status = WEXITSTATUS(status);
        result.ending = exited(result.exit_status);
    } else if (WIFSIGNALED(status)) {
        result.ending = "killed by " + signal_name(WTERMSIG(status));
    }
    result.out = screen();
    return result;
}

void write_file(const std::string& path, const bytes& content) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!file.flush()) {
        throw std::runtime_error("can't write " + path);
    }
}

void lay_out(const std::string& folder, const std::map<std::string, bytes>& given) {
    for (const auto& [name, content] : given) {
        const std::filesystem::path path = folder + "/" + name;
        if (name.back() == '/') {
            std::filesystem::create_directories(path);
        } else {
            std::filesystem::create_directories(path.parent_path());
            write_file(path.string(), content);
        }
    }
}

std::optional<bytes> read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    return bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool exists(const std::string& path) {
    std::error_code ignored;
    return fs::symlink_status(path, ignored).type() != fs::file_type::not_found;
}

std::vector<std::pair<std::string, bytes>> folder_contents(const std::string& folder) {
    std::vector<std::pair<std::string, bytes>> contents;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string relative = entry.path().lexically_relative(folder).generic_string();
        if (entry.is_symlink()) {
            contents.emplace_back(relative, "-> " + fs::read_symlink(entry.path()).string());
        } else if (entry.is_directory()) {
            contents.emplace_back(relative + "/", "");
        } else if (!entry.is_regular_file()) {
            contents.emplace_back(relative, "<not a regular file>");
        } else {
            contents.emplace_back(relative, read_file(entry.path().string()).value_or("?"));
        }
    }
    std::sort(contents.begin(), contents.end());
    return contents;
}

bool runs_as_root() {
    return geteuid() == 0;
}

std::string metadata_text(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        return "";
    }
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    return std::to_string(info.st_uid) + ":" + std::to_string(info.st_gid) + " " + mode;
}

std::vector<std::uintmax_t> new_file_sizes(int pid) {
    std::map<ino_t, std::uintmax_t> found;
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(fds, error)) {
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        const std::string name = target.substr(target.rfind('/') + 1);
        const bool unnamed = name[0] == '#' && name.size() > 10 &&
                             name.compare(name.size() - 10, 10, " (deleted)") == 0;
        const bool hidden = name[0] == '.' && name.find(".swug-") != std::string::npos;
        struct stat info {};
        if ((unnamed || hidden) && stat(entry.path().c_str(), &info) == 0 &&
            S_ISREG(info.st_mode)) {
            found[info.st_ino] = static_cast<std::uintmax_t>(info.st_size);
        }
    }
    std::vector<std::uintmax_t> sizes;
    for (const auto& [inode, size] : found) {
        sizes.push_back(size);
    }
    std::sort(sizes.begin(), sizes.end());
    return sizes;
}

std::vector<std::string> failing_calls(const std::string& calls) {
#ifdef SWUG_FAILING_CALLS
    return {"env", std::string("LD_PRELOAD=") + SWUG_FAILING_CALLS, "SWUG_FAIL=" + calls,
            "ASAN_OPTIONS=verify_asan_link_order=0"};
#else
    (void)calls;
    return {};
#endif
}

}  // namespace swug::testing
