// The system layer on Linux: descriptors, the terminal, and the signals that end the process.
#include "os/linux.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>

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

// Links followed before a path counts as a loop, as the system itself counts.
constexpr int max_link_hops = 40;
// The file system of /proc.
constexpr long proc_file_system = 0x9fa0;

// The parts of path between its slashes, in front of parts; empty parts stand for repeated
// slashes.
void push_parts(const std::string& path, std::deque<std::string>& parts) {
    std::deque<std::string> found;
    std::size_t begin = path[0] == '/' ? 1 : 0;
    for (;;) {
        const std::size_t slash = path.find('/', begin);
        found.push_back(path.substr(begin, slash == std::string::npos ? slash : slash - begin));
        if (slash == std::string::npos) {
            break;
        }
        begin = slash + 1;
    }
    parts.insert(parts.begin(), found.begin(), found.end());
}

int open_root(bool absolute, held_handle& folder) {
    const int fd = open(absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return last_error();
    }
    folder.reset(fd);
    return 0;
}

int read_link_text(int link, std::string& text) {
    char buffer[PATH_MAX];
    const ssize_t length = readlinkat(link, "", buffer, sizeof buffer);
    if (length < 0) {
        return last_error();
    }
    if (static_cast<std::size_t>(length) == sizeof buffer) {
        return ENAMETOOLONG;
    }
    text.assign(buffer, static_cast<std::size_t>(length));
    return text.empty() ? ENOENT : 0;
}

// Opens path when no link lies anywhere on it; ELOOP when one does.
int open_without_links(const char* path, int flags, int& fd) {
    open_how how{};
    how.flags = static_cast<std::uint64_t>(flags);
    how.resolve = RESOLVE_NO_SYMLINKS;
    fd = static_cast<int>(syscall(SYS_openat2, AT_FDCWD, path, &how, sizeof how));
    return fd < 0 ? last_error() : 0;
}

// A link in /proc stands for an open file or folder (/proc/self/fd/0 behind /dev/stdin): the
// system follows it to the file, opened into fd when it is the last name, or to the next folder.
int follow_proc_link(path_walk& walk, const std::string& part, bool last, int flags, int& fd) {
    const int folder = static_cast<int>(walk.folder.native());
    if (last) {
        fd = openat(folder, part.c_str(), flags);
        return fd < 0 ? last_error() : 0;
    }
    held_handle next(openat(folder, part.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!next.is_open()) {
        return last_error();
    }
    walk.folder = std::move(next);
    return 0;
}

// Takes the next name of a walk towards an input: a folder to go on from, a link to follow, or
// the file itself, opened into fd with flags.
int take_input_name(path_walk& walk, int flags, int& fd) {
    const std::string part = walk.parts.front();
    walk.parts.pop_front();
    const bool last = walk.parts.empty();
    if (part.empty() || part == ".") {
        return 0;
    }
    const int folder = static_cast<int>(walk.folder.native());
    if (last) {
        // The file itself, unless it is a link (ELOOP), opened as a plain open would open it.
        fd = openat(folder, part.c_str(), flags | O_NOFOLLOW);
        if (fd >= 0 || errno != ELOOP) {
            return fd < 0 ? last_error() : 0;
        }
    }
    held_handle entry(openat(folder, part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    struct stat folder_info {};
    if (!entry.is_open() || fstat(static_cast<int>(entry.native()), &info) != 0 ||
        fstat(folder, &folder_info) != 0) {
        return last_error();
    }
    if (S_ISLNK(info.st_mode)) {
        return is_on_proc(folder)
                   ? follow_proc_link(walk, part, last, flags, fd)
                   : follow_link(walk, static_cast<int>(entry.native()), info, folder_info);
    }
    if (last) {  // no link any more: replaced since, and opened as it is now
        fd = openat(folder, part.c_str(), flags | O_NOFOLLOW);
        return fd < 0 ? last_error() : 0;
    }
    if (!S_ISDIR(info.st_mode)) {
        return ENOTDIR;
    }
    walk.folder = std::move(entry);
    return 0;
}

// Opens path one name at a time, following each link on the way as follow_link allows.
int open_through_links(const char* path, int flags, int& fd) {
    fd = -1;
    path_walk walk;
    if (const int error = start_walk(path, walk); error != 0) {
        return error;
    }
    while (fd < 0 && !walk.parts.empty()) {
        if (const int error = take_input_name(walk, flags, fd); error != 0) {
            return error;
        }
    }
    if (fd < 0) {  // the path ends in a folder ("dir/", "link/."), opened as a plain open would
        fd = openat(static_cast<int>(walk.folder.native()), ".", flags);
    }
    return fd < 0 ? last_error() : 0;
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

bool is_shared_folder(const struct stat& folder) {
    return (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

bool is_foreign(const struct stat& entry, const struct stat& folder) {
    return entry.st_uid != geteuid() && entry.st_uid != folder.st_uid;
}

bool is_on_proc(int fd) {
    struct statfs info {};
    return fstatfs(fd, &info) == 0 && info.f_type == proc_file_system;
}

int start_walk(const char* path, path_walk& walk) {
    if (path[0] == '\0') {
        return ENOENT;
    }
    if (const int error = open_root(path[0] == '/', walk.folder); error != 0) {
        return error;
    }
    push_parts(path, walk.parts);
    return 0;
}

int follow_link(path_walk& walk, int link, const struct stat& link_info,
                const struct stat& folder_info) {
    if (++walk.hops > max_link_hops) {
        return ELOOP;
    }
    // Only the link's owner can change it in such a folder: one of this user's or of the folder
    // owner's stays what was checked. The system's own rule (protected_symlinks) is the same,
    // where it is turned on.
    if (is_shared_folder(folder_info) && is_foreign(link_info, folder_info)) {
        return planted_link;
    }
    std::string text;
    if (const int error = read_link_text(link, text); error != 0) {
        return error;
    }
    if (text[0] == '/') {
        if (const int error = open_root(true, walk.folder); error != 0) {
            return error;
        }
    }
    push_parts(text, walk.parts);
    return 0;
}

int open_for_reading(const char* path, bool never_block, int& fd) {
    const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | (never_block ? O_NONBLOCK : 0);
    // Most paths lead through no link at all. One that does is walked, so that every link on the
    // way is checked, whatever the system's own settings; so is every path where the system or
    // a sandbox doesn't know openat2.
    const int error = open_without_links(path, flags, fd);
    if (error == ELOOP || error == ENOSYS || error == EPERM) {
        return open_through_links(path, flags, fd);
    }
    return error;
}

int open_unnamed_input(const char* name, bool never_block, int& fd) {
    struct stat folder {};
    if (stat(".", &folder) != 0 || !is_shared_folder(folder)) {
        return open_for_reading(name, never_block, fd);
    }
    const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | (never_block ? O_NONBLOCK : 0);
    fd = open(name, flags | O_NOFOLLOW);
    if (fd < 0 && errno == ELOOP) {
        // A link, refused when it is another user's, as on the path of any input; where it leads
        // is checked by that same rule.
        return open_for_reading(name, never_block, fd);
    }
    if (fd < 0) {
        return last_error();
    }
    struct stat file {};
    // A folder of that name counts as no file at all, whoever made it.
    if (fstat(fd, &file) != 0 || (!S_ISDIR(file.st_mode) && is_foreign(file, folder))) {
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
