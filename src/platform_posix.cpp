#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "platform.h"

namespace swug::platform {

namespace {

// Signals whose default action ends the process and that can arrive from outside at any time.
constexpr int ending_signals[] = {
    SIGHUP,  SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU,
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};

// What the signal handler cleans up. It reads these only; they change with the signals blocked.
constexpr int temporary_slots = 2;
char temporary_paths[temporary_slots][PATH_MAX];
volatile std::sig_atomic_t temporary_armed[temporary_slots] = {};
termios saved_terminal;
volatile std::sig_atomic_t terminal_is_raw = 0;

// Async-signal-safe: unlink, tcflush, tcsetattr, signal, sigprocmask and raise only. Every
// ending signal is held back while it runs, so a second Ctrl-C can't cut the clean-up short.
void clean_up_and_end(int signal_number) {
    for (int slot = 0; slot < temporary_slots; ++slot) {
        if (temporary_armed[slot] != 0) {
            unlink(temporary_paths[slot]);
        }
    }
    if (terminal_is_raw != 0) {
        tcflush(STDIN_FILENO, TCIFLUSH);
        tcsetattr(STDIN_FILENO, TCSANOW, &saved_terminal);
    }
    // Then the signal does what it would have done: its default action, let through at once.
    std::signal(signal_number, SIG_DFL);
    sigset_t this_one;
    sigemptyset(&this_one);
    sigaddset(&this_one, signal_number);
    sigprocmask(SIG_UNBLOCK, &this_one, nullptr);
    raise(signal_number);
}

// Holds the ending signals back for as long as it lives, so that the handler never sees a
// temporary file half registered.
class signals_held {
public:
    signals_held() {
        sigset_t ending;
        sigemptyset(&ending);
        for (int signal_number : ending_signals) {
            sigaddset(&ending, signal_number);
        }
        sigprocmask(SIG_BLOCK, &ending, &previous_);
    }
    ~signals_held() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    signals_held(const signals_held&) = delete;
    signals_held& operator=(const signals_held&) = delete;

private:
    sigset_t previous_;
};

int slot_of(const char* path) {
    for (int slot = 0; slot < temporary_slots; ++slot) {
        if (temporary_armed[slot] != 0 && std::strcmp(temporary_paths[slot], path) == 0) {
            return slot;
        }
    }
    return -1;
}

void read_one_byte(int fd) {
    unsigned char byte = 0;
    while (read(fd, &byte, 1) < 0 && errno == EINTR) {
    }
}

int fill_status(const struct stat& info, file_status& status) {
    status = file_status();
    if (S_ISREG(info.st_mode)) {
        status.kind = file_kind::regular;
        status.size = static_cast<std::int64_t>(info.st_size);
    } else if (S_ISDIR(info.st_mode)) {
        status.kind = file_kind::directory;
    } else if (S_ISCHR(info.st_mode)) {
        status.kind = file_kind::character_device;
    } else if (S_ISFIFO(info.st_mode)) {
        status.kind = file_kind::fifo;
    }
    status.identity.device = static_cast<std::uint64_t>(info.st_dev);
    status.identity.index = static_cast<std::uint64_t>(info.st_ino);
    status.identity.known = true;
    status.permissions = static_cast<unsigned>(info.st_mode & 07777);
    status.owner = static_cast<unsigned>(info.st_uid);
    status.group = static_cast<unsigned>(info.st_gid);
    return 0;
}

}  // namespace

void prepare_process() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF &&
            open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY) != fd) {
            _exit(127);  // the lowest free descriptor is fd; anything else is beyond repair
        }
    }
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    struct sigaction action {};
    action.sa_handler = clean_up_and_end;
    sigemptyset(&action.sa_mask);
    for (int signal_number : ending_signals) {
        sigaddset(&action.sa_mask, signal_number);
    }
    for (int signal_number : ending_signals) {
        struct sigaction previous {};
        // A signal the caller chose to ignore (nohup, a background job) stays ignored.
        if (sigaction(signal_number, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) {
            sigaction(signal_number, &action, nullptr);
        }
    }
}

command_line::command_line(int argc, char** argv) : pointers_(argv, argv + argc) {
    pointers_.push_back(nullptr);
}

bool backslash_is_separator() {
    return false;
}

int current_directory(char* buffer, std::size_t capacity) {
    std::memset(buffer, 0, capacity);
    if (getcwd(buffer, capacity) == nullptr) {
        const int reason = errno;
        std::memset(buffer, 0, capacity);
        return reason != 0 ? reason : ENOENT;
    }
    // Linux reports a directory that was removed as "(unreachable)/..."; it names no place.
    if (buffer[0] != '/') {
        std::memset(buffer, 0, capacity);
        return ENOENT;
    }
    return 0;
}

void wait_for_key() {
    if (isatty(STDIN_FILENO) == 0 || tcgetattr(STDIN_FILENO, &saved_terminal) != 0) {
        read_one_byte(STDIN_FILENO);
        return;
    }
    termios raw = saved_terminal;
    // Without ISIG, Ctrl-C and Ctrl-Z arrive as keys like any other.
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    // Marked before the change: a signal in between restores settings that are still the same.
    terminal_is_raw = 1;
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    read_one_byte(STDIN_FILENO);
    // TCSAFLUSH drops the rest of a key that sends several bytes (an arrow, a UTF-8 letter), so
    // that nothing is left for the next program to read.
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_terminal);
    terminal_is_raw = 0;
}

int status_of(int fd, file_status& status) {
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        return last_error();
    }
    return fill_status(info, status);
}

int status_of_path(const char* path, file_status& status) {
    struct stat info {};
    if (stat(path, &info) != 0) {
        return last_error();
    }
    return fill_status(info, status);
}

int open_for_reading(const char* path, bool never_block, int& fd) {
    fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | (never_block ? O_NONBLOCK : 0));
    return fd < 0 ? last_error() : 0;
}

int open_for_writing_in_place(const char* path, int& fd) {
    fd = open(path, O_WRONLY | O_CLOEXEC | O_NOCTTY);
    return fd < 0 ? last_error() : 0;
}

read_result read_some(int fd, void* data, std::size_t size) {
    for (;;) {
        const ssize_t got = read(fd, data, size);
        if (got >= 0) {
            return {static_cast<std::size_t>(got), 0};
        }
        if (errno != EINTR) {
            return {0, last_error()};
        }
    }
}

int write_all(int fd, const void* data, std::size_t size) {
    const auto* at = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t put = write(fd, at, size);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return put < 0 ? last_error() : EIO;
        }
        at += put;
        size -= static_cast<std::size_t>(put);
    }
    return 0;
}

int write_all_at(int fd, std::uint64_t offset, const void* data, std::size_t size) {
    const auto* at = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t put = pwrite(fd, at, size, static_cast<off_t>(offset));
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return put < 0 ? last_error() : EIO;
        }
        at += put;
        offset += static_cast<std::uint64_t>(put);
        size -= static_cast<std::size_t>(put);
    }
    return 0;
}

int seek_to(int fd, std::uint64_t offset) {
    return lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0 ? last_error() : 0;
}

int check_seekable(int fd) {
    return lseek(fd, 0, SEEK_CUR) < 0 ? last_error() : 0;
}

int sync(int fd) {
    return fsync(fd) != 0 ? last_error() : 0;
}

int close_file(int fd) {
    // After EINTR, Linux has closed the descriptor all the same.
    return close(fd) != 0 && errno != EINTR ? last_error() : 0;
}

int create_temporary(const char* path, int& fd) {
    const std::size_t length = std::strlen(path);
    if (length >= PATH_MAX) {
        return ENAMETOOLONG;
    }
    const signals_held held;
    int slot = 0;
    while (slot < temporary_slots && temporary_armed[slot] != 0) {
        ++slot;
    }
    if (slot == temporary_slots) {
        return EMFILE;
    }
    fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) {
        return last_error();
    }
    std::memcpy(temporary_paths[slot], path, length + 1);
    temporary_armed[slot] = 1;
    return 0;
}

int commit_temporary(const char* path, const char* final_path) {
    const signals_held held;
    if (rename(path, final_path) != 0) {
        return last_error();
    }
    if (const int slot = slot_of(path); slot >= 0) {
        temporary_armed[slot] = 0;
    }
    return 0;
}

void discard_temporary(const char* path) {
    const signals_held held;
    unlink(path);
    if (const int slot = slot_of(path); slot >= 0) {
        temporary_armed[slot] = 0;
    }
}

int sync_folder(const char* folder) {
    const int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return last_error();
    }
    int reason = fsync(fd) != 0 ? last_error() : 0;
    close(fd);
    // Some file systems can't sync a folder and say so; their renames are as safe as they get.
    if (reason == EINVAL || reason == ENOTSUP) {
        reason = 0;
    }
    return reason;
}

unsigned new_file_permissions() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666u & ~static_cast<unsigned>(mask);
}

int set_permissions(int fd, unsigned permissions) {
    return fchmod(fd, static_cast<mode_t>(permissions)) != 0 ? last_error() : 0;
}

void try_set_owner(int fd, unsigned owner, unsigned group) {
    // Only a privileged process may give a file away; others keep it as their own.
    if (fchown(fd, static_cast<uid_t>(owner), static_cast<gid_t>(group)) != 0) {
        return;
    }
}

int read_link(const char* path, std::string& target) {
    char buffer[PATH_MAX];
    const ssize_t length = readlink(path, buffer, sizeof buffer);
    if (length < 0) {
        return last_error();
    }
    if (static_cast<std::size_t>(length) == sizeof buffer) {
        return ENAMETOOLONG;
    }
    target.assign(buffer, static_cast<std::size_t>(length));
    return 0;
}

int absolute_folder(const char* folder, std::string& absolute) {
    char* resolved = realpath(folder, nullptr);
    if (resolved == nullptr) {
        return last_error();
    }
    absolute = resolved;
    std::free(resolved);
    return 0;
}

}  // namespace swug::platform
