#include "program_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
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
#include <filesystem>
#include <fstream>
#include <iterator>
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

// In a child: every signal at its default and none blocked, as for a shell's foreground job, even
// when the tests themselves run in the background with SIGINT and SIGQUIT ignored; then words run.
[[noreturn]] void run_words(std::vector<std::string> words) {
    for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
        signal(signal_number, SIG_DFL);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

// Waits for the child pid to end, calling meanwhile() until then, and says how it ended; its
// process group is killed at the deadline, and the test fails.
std::string wait_for_end(int pid, std::chrono::steady_clock::time_point deadline,
                         const std::function<void()>& meanwhile) {
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(-pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << "a run had no end after 60 s";
            return "killed: no end after 60 s";
        }
        meanwhile();
    }
    if (WIFEXITED(status)) {
        return exited(WEXITSTATUS(status));
    }
    const char* name = sigabbrev_np(WTERMSIG(status));
    return "killed by " + (name != nullptr ? "SIG" + std::string(name)
                                           : "signal " + std::to_string(WTERMSIG(status)));
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

temp_folder::temp_folder() {
    std::string pattern = (fs::temp_directory_path() / "swug-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

temp_folder::~temp_folder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
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
    std::vector<std::string> words = {program_path(name)};
    words.insert(words.end(), args.begin(), args.end());
    int out_pipe[2];
    int in_pipe[2];
    if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(in_pipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    close(in_pipe[1]);
    const pid_t child = fork();
    if (child == 0) {
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
        dup2(out_pipe[1], STDOUT_FILENO);
        run_words(words);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    return {child, out_pipe[0], std::chrono::steady_clock::now() + hang_timeout};
}

std::string read_some(running_program& program) {
    char chunk[4096];
    while (program.out_fd >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            program.deadline - std::chrono::steady_clock::now());
        pollfd ready{program.out_fd, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)) + 1) == 0) {
            kill(-program.pid, SIGKILL);  // the read below then meets the end of the output
            ADD_FAILURE() << "a run had no end after 60 s";
        }
        const ssize_t got = read(program.out_fd, chunk, sizeof chunk);
        if (got > 0) {
            return std::string(chunk, static_cast<std::size_t>(got));
        }
        if (got == 0 || errno != EINTR) {
            close(program.out_fd);
            program.out_fd = -1;
        }
    }
    return {};
}

run_result finish_program(running_program& program, std::string out_so_far) {
    run_result result;
    result.out = std::move(out_so_far);
    while (program.out_fd >= 0) {
        result.out += read_some(program);
    }
    result.ending = wait_for_end(program.pid, program.deadline,
                                 [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
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
    std::istringstream runner(environment("SWUG_RUNNER"));
    std::vector<std::string> words(std::istream_iterator<std::string>(runner), {});
    words.insert(words.end(), {"cmd", "/c", command});
    const pid_t child = fork();
    if (child == 0) {
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
        run_words(words);
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
    result.ending = wait_for_end(pid_, deadline_, [this] { read_more(10); });
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
    result.out = screen();
    return result;
}

void write_file(const std::string& path, const bytes& content) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file.write(content.data(), static_cast<std::streamsize>(content.size())).flush()) {
        throw std::runtime_error("can't write " + path);
    }
}

void lay_out(const std::string& folder, const std::map<std::string, bytes>& given) {
    for (const auto& [name, content] : given) {
        const fs::path path = folder + "/" + name;
        fs::create_directories(name.back() == '/' ? path : path.parent_path());
        if (name.back() != '/') {
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
        if (entry.is_directory()) {
            contents.emplace_back(relative + "/", "");
        } else {
            contents.emplace_back(relative, entry.is_regular_file()
                                                ? read_file(entry.path().string()).value_or("?")
                                                : "<not a regular file>");
        }
    }
    std::sort(contents.begin(), contents.end());
    return contents;
}

}  // namespace swug::testing
