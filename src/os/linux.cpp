// The system layer on Linux: descriptors, the terminal, and the signals that end the process.
#include "os/linux.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

#include "os/platform.h"

namespace swug::platform {

namespace {

// Signals whose default action ends the process and that a handler can catch: those that arrive
// from outside at any time, and the faults, so that no way of ending but SIGKILL leaves a
// temporary file behind. SIGPIPE and SIGXFSZ are ignored instead; the real-time signals follow.
constexpr int ending_signals[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT,   SIGBUS,  SIGFPE, SIGUSR1,
    SIGSEGV,   SIGUSR2, SIGALRM, SIGTERM, SIGXCPU, SIGVTALRM, SIGPROF, SIGSYS,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGEMT
    SIGEMT,
#endif
};

template <typename Action>
void for_each_ending_signal(Action action) {
    for (int signal_number : ending_signals) {
        action(signal_number);
    }
    for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number) {
        action(signal_number);
    }
}

// What the handler runs first: the outputs' removal of their temporary files.
void (*volatile ending_clean_up)() = nullptr;
termios saved_terminal;
volatile std::sig_atomic_t terminal_is_raw = 0;

// The handler runs here, so that a stack overflow can still clean up.
alignas(16) char alternate_stack[64 * 1024];

// Removes this run's temporary files and gives the terminal its settings back.
void clean_up() {
    if (void (*clean_up_outputs)() = ending_clean_up; clean_up_outputs != nullptr) {
        clean_up_outputs();
    }
    if (terminal_is_raw != 0) {
        tcflush(STDIN_FILENO, TCIFLUSH);
        tcsetattr(STDIN_FILENO, TCSANOW, &saved_terminal);
    }
}

// Every ending signal is held back while it runs, so a second Ctrl-C can't cut the clean-up short.
void clean_up_and_end(int signal_number) {
    clean_up();
    // Then the signal does what it would have done: its default action, let through at once. A
    // fault raised by an instruction ends the process here too, before that instruction runs again.
    std::signal(signal_number, SIG_DFL);
    sigset_t this_one;
    sigemptyset(&this_one);
    sigaddset(&this_one, signal_number);
    sigprocmask(SIG_UNBLOCK, &this_one, nullptr);
    raise(signal_number);
}

sigset_t ending_signal_set() {
    sigset_t ending;
    sigemptyset(&ending);
    for_each_ending_signal([&ending](int signal_number) { sigaddset(&ending, signal_number); });
    return ending;
}

// The signal mask that ending_held put aside, and how many of them are alive.
sigset_t mask_before_held;
int held_count = 0;

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

void held_handle::reset(std::intptr_t native) {
    if (native_ != closed) {
        close(static_cast<int>(native_));
    }
    native_ = native;
}

void clean_up_at_once() {
    const sigset_t ending = ending_signal_set();
    sigprocmask(SIG_BLOCK, &ending, nullptr);
    clean_up();
}

void prepare_process() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF &&
            open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY) != fd) {
            _exit(127);  // the lowest free descriptor is fd; anything else is beyond repair
        }
    }
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    stack_t stack{};
    stack.ss_sp = alternate_stack;
    stack.ss_size = sizeof alternate_stack;
    sigaltstack(&stack, nullptr);
    struct sigaction action {};
    action.sa_handler = clean_up_and_end;
    action.sa_mask = ending_signal_set();
    action.sa_flags = SA_ONSTACK;
    for_each_ending_signal([&action](int signal_number) {
        struct sigaction previous {};
        // A signal the caller chose to ignore (nohup, a background job) stays ignored.
        if (sigaction(signal_number, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) {
            sigaction(signal_number, &action, nullptr);
        }
    });
}

command_line::command_line(int argc, char** argv) : pointers_(argv, argv + argc) {
    pointers_.push_back(nullptr);
}

bool backslash_is_separator() {
    return false;
}

int current_directory(std::string& directory) {
    // The buffer grows until the directory fits: getcwd says ERANGE while it does not.
    std::string buffer(PATH_MAX, '\0');
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        const int reason = errno;
        if (reason != ERANGE) {
            directory.clear();
            return reason != 0 ? reason : ENOENT;
        }
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(std::strlen(buffer.c_str()));
    // Linux reports a directory that was removed as "(unreachable)/..."; it names no place.
    if (buffer.empty() || buffer[0] != '/') {
        directory.clear();
        return ENOENT;
    }
    directory = std::move(buffer);
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

bool is_terminal(int fd) {
    return isatty(fd) != 0;
}

int open_for_reading(const char* path, bool never_block, int& fd) {
    fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | (never_block ? O_NONBLOCK : 0));
    return fd < 0 ? last_error() : 0;
}

bool is_shared_folder(const struct stat& folder) {
    return (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

bool is_foreign(const struct stat& entry, const struct stat& folder) {
    return entry.st_uid != geteuid() && entry.st_uid != folder.st_uid;
}

int open_unnamed_input(const char* name, bool never_block, int& fd) {
    struct stat folder {};
    if (stat(".", &folder) != 0 || !is_shared_folder(folder)) {
        return open_for_reading(name, never_block, fd);
    }
    const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | (never_block ? O_NONBLOCK : 0);
    fd = open(name, flags | O_NOFOLLOW);
    const bool is_link = fd < 0 && errno == ELOOP;
    if (is_link) {
        // Only the link's owner can change it in such a folder: one of this user's or of the
        // folder owner's stays what was checked.
        struct stat link {};
        if (lstat(name, &link) != 0) {
            return last_error();
        }
        if (is_foreign(link, folder)) {
            return planted_link;
        }
        fd = open(name, flags);
    }
    if (fd < 0) {
        return last_error();
    }
    struct stat file {};
    // A folder of that name counts as no file at all, whoever made it.
    if (!is_link &&
        (fstat(fd, &file) != 0 || (!S_ISDIR(file.st_mode) && is_foreign(file, folder)))) {
        close(fd);
        fd = -1;
        return planted_file;
    }
    return 0;
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

int resize(int fd, std::uint64_t size) {
    return ftruncate(fd, static_cast<off_t>(size)) != 0 ? last_error() : 0;
}

int sync(int fd) {
    return fsync(fd) != 0 ? last_error() : 0;
}

int close_file(int fd) {
    // After EINTR, Linux has closed the descriptor all the same.
    return close(fd) != 0 && errno != EINTR ? last_error() : 0;
}

int reserve(int fd, std::uint64_t size) {
    // The size stays until the bytes are written, so a failure before the first write leaves the
    // old content as it was. Nothing to reserve is no call: the system refuses a length of 0.
    if (size == 0 || fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) == 0) {
        return 0;
    }
    return errno == EOPNOTSUPP || errno == ENOSYS ? 0 : last_error();
}

void on_ending(void (*clean_up)()) {
    ending_clean_up = clean_up;
}

ending_held::ending_held() {
    if (held_count++ == 0) {
        const sigset_t ending = ending_signal_set();
        sigprocmask(SIG_BLOCK, &ending, &mask_before_held);
    }
}

ending_held::~ending_held() {
    if (--held_count == 0) {
        sigprocmask(SIG_SETMASK, &mask_before_held, nullptr);
    }
}

}  // namespace swug::platform
