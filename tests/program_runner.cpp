#include "program_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace swug::testing {

namespace {

constexpr int hang_timeout_ms = 60000;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::vector<std::string> split_words(const std::string& text) {
    std::istringstream stream(text);
    return {std::istream_iterator<std::string>(stream), std::istream_iterator<std::string>()};
}

}  // namespace

temp_folder::temp_folder() {
    std::string pattern = (fs::temp_directory_path() / "swug-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

temp_folder::~temp_folder() {
    std::error_code ignored;
    // Tests may leave read-only folders behind; make them removable first.
    for (const auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
        if (entry.is_directory(ignored) && !entry.is_symlink(ignored)) {
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
    }
    fs::remove_all(path_, ignored);
}

bool target_is_windows() {
    return environment("SWUG_EXE_SUFFIX") == ".exe";
}

std::string program_path(const std::string& name, bool native) {
    const std::string dir = native ? "" : environment("SWUG_TARGET_DIR");
    return (dir.empty() ? std::string(SWUG_BUILD_DIR) : dir) + "/" + name +
           (native ? "" : environment("SWUG_EXE_SUFFIX"));
}

std::string seen_work_dir(const std::string& folder) {
    return target_is_windows() ? "Z:" + folder : folder;
}

running_program spawn_program(const std::string& name, const std::vector<std::string>& args,
                              const run_options& options) {
    std::vector<std::string> words =
        options.native ? std::vector<std::string>() : split_words(environment("SWUG_RUNNER"));
    words.push_back(program_path(name, options.native));
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    int out_pipe[2];
    if (pipe(out_pipe) != 0) {
        throw std::runtime_error("pipe failed");
    }
    // Standard error goes to a file, so neither stream can block the other.
    char err_pattern[] = "/tmp/swug-stderr-XXXXXX";
    const int err_fd = mkstemp(err_pattern);
    if (err_fd < 0) {
        throw std::runtime_error("mkstemp failed");
    }
    unlink(err_pattern);
    const pid_t child = fork();
    if (child == 0) {
        if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) {
            _exit(126);
        }
        if (options.remove_cwd && rmdir(options.cwd.c_str()) != 0) {
            _exit(126);
        }
        const int in_fd =
            options.stdin_fd != -1 ? options.stdin_fd : open(options.stdin_path.c_str(), O_RDONLY);
        dup2(in_fd, STDIN_FILENO);
        if (options.terminal_session) {
            // Like a shell's foreground job: the terminal's signal keys reach this process.
            setsid();
            ioctl(STDIN_FILENO, TIOCSCTTY, 0);
        }
        dup2(out_pipe[1], STDOUT_FILENO);
        dup2(err_fd, STDERR_FILENO);
        close(out_pipe[0]);
        close(out_pipe[1]);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(out_pipe[1]);
    return {child, out_pipe[0], err_fd, options.native};
}

std::string read_some(const running_program& program) {
    // A program that hangs is killed, so a fault fails the test instead of stalling it.
    pollfd ready{program.out_fd, POLLIN, 0};
    if (poll(&ready, 1, hang_timeout_ms) == 0) {
        kill(program.pid, SIGKILL);
        return {};
    }
    char chunk[4096];
    const ssize_t got = read(program.out_fd, chunk, sizeof chunk);
    return got > 0 ? std::string(chunk, static_cast<std::size_t>(got)) : std::string();
}

run_result finish_program(const running_program& program, std::string out_so_far) {
    run_result result;
    result.out = std::move(out_so_far);
    for (std::string more; !(more = read_some(program)).empty();) {
        result.out += more;
    }
    close(program.out_fd);
    int status = 0;
    waitpid(program.pid, &status, 0);
    result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    char chunk[4096];
    ssize_t got = 0;
    lseek(program.err_fd, 0, SEEK_SET);
    while ((got = read(program.err_fd, chunk, sizeof chunk)) > 0) {
        result.err.append(chunk, static_cast<std::size_t>(got));
    }
    close(program.err_fd);
    if (target_is_windows() && !program.native) {
        // The Windows console ends lines with "\r\n"; nothing else is relaxed.
        std::string::size_type at = 0;
        while ((at = result.out.find("\r\n", at)) != std::string::npos) {
            result.out.erase(at, 1);
        }
    }
    return result;
}

run_result run_program(const std::string& name, const std::vector<std::string>& args,
                       const run_options& options) {
    return finish_program(spawn_program(name, args, options), "");
}

run_result run_in(const std::string& cwd, const std::string& name,
                  const std::vector<std::string>& args) {
    run_options options;
    options.cwd = cwd;
    return run_program(name, args, options);
}

void write_file(const std::string& path, const bytes& content) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!file.flush()) {
        throw std::runtime_error("can't write " + path);
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

std::string large_file_text(std::uintmax_t size) {
    return "<large file of " + std::to_string(size) + " bytes>";
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
        } else if (entry.file_size() > large_file_size) {
            contents.emplace_back(relative, large_file_text(entry.file_size()));
        } else {
            contents.emplace_back(relative, read_file(entry.path().string()).value_or("?"));
        }
    }
    std::sort(contents.begin(), contents.end());
    return contents;
}

}  // namespace swug::testing
