// The system layer on Linux: statx, renameat2, O_TMPFILE and the file flags of <linux/fs.h>.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>
#include <iterator>

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

// What the signal handler cleans up: each temporary file by its folder's descriptor, its name in
// that folder and its identity, so that a folder moved meanwhile is cleaned where it now is, and
// a file that took the name since is left alone. The handler reads these only; they change with
// the signals blocked.
struct temporary_slot {
    int folder = -1;
    char name[NAME_MAX + 1] = {};
    dev_t device = 0;
    ino_t inode = 0;
};
constexpr int temporary_slots = 2;
temporary_slot temporaries[temporary_slots];
volatile std::sig_atomic_t temporary_armed[temporary_slots] = {};
termios saved_terminal;
volatile std::sig_atomic_t terminal_is_raw = 0;

// The handler runs here, so that a stack overflow can still clean up.
alignas(16) char alternate_stack[64 * 1024];

// Removes the slot's file when its name still leads to it. Async-signal-safe.
void remove_temporary(const temporary_slot& slot) {
    struct stat info {};
    if (fstatat(slot.folder, slot.name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        info.st_dev == slot.device && info.st_ino == slot.inode) {
        unlinkat(slot.folder, slot.name, 0);
    }
}

// Removes this run's temporary files and gives the terminal its settings back. Async-signal-safe:
// fstatat, unlinkat, tcflush and tcsetattr only.
void clean_up() {
    for (int slot = 0; slot < temporary_slots; ++slot) {
        if (temporary_armed[slot] != 0) {
            remove_temporary(temporaries[slot]);
        }
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

// Holds the ending signals back for as long as it lives, so that the handler never sees a
// temporary file half registered.
class signals_held {
public:
    signals_held() {
        const sigset_t ending = ending_signal_set();
        sigprocmask(SIG_BLOCK, &ending, &previous_);
    }
    ~signals_held() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    signals_held(const signals_held&) = delete;
    signals_held& operator=(const signals_held&) = delete;

private:
    sigset_t previous_;
};

int slot_of(int folder, const std::string& name) {
    for (int slot = 0; slot < temporary_slots; ++slot) {
        if (temporary_armed[slot] != 0 && temporaries[slot].folder == folder &&
            name == temporaries[slot].name) {
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

int folder_fd(const output_place& place) {
    return static_cast<int>(place.folder.native());
}

// Links followed before a path counts as a loop, as the system itself counts.
constexpr int max_link_hops = 40;
// The file system of /proc, whose links (/proc/self/fd/1, behind /dev/stdout) lead to open files
// rather than to names.
constexpr long proc_file_system = 0x9fa0;

// A folder that others may write but where only owners may remove entries: /tmp and the like.
bool is_shared_folder(const struct stat& folder) {
    return (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

// Neither this process's nor the folder owner's, so possibly planted by anybody.
bool is_foreign(const struct stat& entry, const struct stat& folder) {
    return entry.st_uid != geteuid() && entry.st_uid != folder.st_uid;
}

// True when a file system is mounted on name (a file bind-mounted into a container): no rename
// can take its place.
bool is_mount_point(int folder, const std::string& name) {
#ifdef STATX_ATTR_MOUNT_ROOT
    struct statx info {};
    return statx(folder, name.c_str(), AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, STATX_TYPE,
                 &info) == 0 &&
           (info.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 &&
           (info.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
#else
    (void)folder;
    (void)name;
    return false;
#endif
}

// True for a folder whose entries may be added but never renamed or removed (chattr +a).
bool is_append_only(int folder) {
    int flags = 0;
    return ioctl(folder, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_APPEND_FL) != 0;
}

bool is_on_proc(int fd) {
    struct statfs info {};
    return fstatfs(fd, &info) == 0 && info.f_type == proc_file_system;
}

// The parts of path between its slashes, in order; empty parts stand for repeated slashes.
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

// The path of one of this process's descriptors, to open the file again by.
std::string descriptor_path(const held_handle& descriptor) {
    return "/proc/self/fd/" + std::to_string(descriptor.native());
}

// Opens place's existing file with flags and checks that it is still the file that was found.
int open_found_file(const output_place& place, int flags, int& fd) {
    fd = place.descriptor.is_open()
             ? open(descriptor_path(place.descriptor).c_str(), flags)
             : openat(folder_fd(place), place.name.c_str(), flags | O_NOFOLLOW);
    if (fd < 0) {
        return last_error();
    }
    file_status now;
    if (status_of(fd, now) != 0 || !(now.identity == place.status.identity)) {
        close(fd);
        fd = -1;
        return EAGAIN;  // the name was given to another file meanwhile
    }
    return 0;
}

}  // namespace

void held_handle::reset(std::intptr_t native) {
    if (native_ != closed) {
        close(static_cast<int>(native_));
    }
    native_ = native;
}

namespace {

// What std::terminate ends the process with.
int terminate_fd = STDERR_FILENO;
const char* terminate_text = "";
int terminate_status = 1;

[[noreturn]] void end_on_terminate() {
    const sigset_t ending = ending_signal_set();
    sigprocmask(SIG_BLOCK, &ending, nullptr);
    clean_up();
    (void)write_all(terminate_fd, terminate_text, std::strlen(terminate_text));
    _exit(terminate_status);
}

}  // namespace

void end_terminate_with(int fd, const char* text, int status) {
    terminate_fd = fd;
    terminate_text = text;
    terminate_status = status;
    std::set_terminate(end_on_terminate);
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

bool is_terminal(int fd) {
    return isatty(fd) != 0;
}

int open_for_reading(const char* path, bool never_block, int& fd) {
    fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | (never_block ? O_NONBLOCK : 0));
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

namespace {

// One walk along an output path: the folder reached so far, and the names still to go.
struct output_walk {
    held_handle folder;
    std::deque<std::string> parts;
    int hops = 0;
    bool arrived = false;  // place names the output
};

// A link in /proc stands for one of the process's open files; the system follows it there.
place_result follow_descriptor_link(output_walk& walk, const std::string& part, bool last,
                                    output_place& place) {
    held_handle followed(
        openat(static_cast<int>(walk.folder.native()), part.c_str(), O_PATH | O_CLOEXEC));
    struct stat info {};
    if (!followed.is_open() || fstat(static_cast<int>(followed.native()), &info) != 0) {
        return {last_error()};
    }
    if (S_ISDIR(info.st_mode)) {
        walk.folder = std::move(followed);
        return {};
    }
    if (!last) {
        return {ENOTDIR};
    }
    place.descriptor = std::move(followed);
    place.exists = true;
    fill_status(info, place.status);
    place.obstacle = replace_obstacle::descriptor;
    walk.arrived = true;
    return {};
}

place_result follow_link(output_walk& walk, int link, const struct stat& info,
                         const struct stat& folder_info, const std::string& part, bool last,
                         output_place& place) {
    if (++walk.hops > max_link_hops) {
        return {ELOOP};
    }
    if (is_on_proc(static_cast<int>(walk.folder.native()))) {
        return follow_descriptor_link(walk, part, last, place);
    }
    if (is_shared_folder(folder_info) && is_foreign(info, folder_info)) {
        return {0, output_refusal::foreign_link};
    }
    std::string text;
    if (const int error = read_link_text(link, text); error != 0) {
        return {error};
    }
    if (text[0] == '/') {
        if (const int error = open_root(true, walk.folder); error != 0) {
            return {error};
        }
    }
    push_parts(text, walk.parts);
    return {};
}

// The existing file that the path ends in.
place_result arrive_at_file(output_walk& walk, const struct stat& info,
                            const struct stat& folder_info, const std::string& part,
                            output_place& place) {
    if (is_shared_folder(folder_info) && is_foreign(info, folder_info)) {
        return {0, output_refusal::foreign_file};
    }
    place.name = part;
    place.exists = true;
    fill_status(info, place.status);
    // Where only owners may rename, only the file's or the folder's owner (or root) can put a
    // new file in the old one's place.
    if ((folder_info.st_mode & S_ISVTX) != 0 && geteuid() != 0 && info.st_uid != geteuid() &&
        folder_info.st_uid != geteuid()) {
        place.obstacle = replace_obstacle::sticky_folder;
    } else if (is_mount_point(static_cast<int>(walk.folder.native()), part)) {
        place.obstacle = replace_obstacle::mount_point;
    }
    walk.arrived = true;
    return {};
}

// Takes the next name of the path, relative to the folder reached so far.
place_result take_next_name(output_walk& walk, output_place& place) {
    const std::string part = walk.parts.front();
    walk.parts.pop_front();
    const bool last = walk.parts.empty();
    if (part.empty() || part == ".") {
        return {};
    }
    const int fd = openat(static_cast<int>(walk.folder.native()), part.c_str(),
                          O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT || !last) {
            return {last_error()};
        }
        place.name = part;  // nothing there yet: a new file of that name
        walk.arrived = true;
        return {};
    }
    held_handle entry(fd);
    struct stat info {};
    struct stat folder_info {};
    if (fstat(fd, &info) != 0 || fstat(static_cast<int>(walk.folder.native()), &folder_info) != 0) {
        return {last_error()};
    }
    if (S_ISLNK(info.st_mode)) {
        return follow_link(walk, fd, info, folder_info, part, last, place);
    }
    if (S_ISDIR(info.st_mode)) {
        if (last) {
            return {EISDIR};
        }
        walk.folder = std::move(entry);
        return {};
    }
    if (!last) {
        return {ENOTDIR};
    }
    return arrive_at_file(walk, info, folder_info, part, place);
}

}  // namespace

place_result find_output_place(const char* path, output_place& place) {
    place = output_place();
    if (path[0] == '\0') {
        return {ENOENT};  // no name to give the new file
    }
    // The path is walked one name at a time, each relative to the folder before it, so that what
    // is checked is what is used: a name that changes meanwhile can't lead elsewhere.
    output_walk walk;
    if (const int error = open_root(path[0] == '/', walk.folder); error != 0) {
        return {error};
    }
    push_parts(path, walk.parts);
    while (!walk.arrived && !walk.parts.empty()) {
        if (const place_result taken = take_next_name(walk, place);
            taken.error != 0 || taken.refusal != output_refusal::none) {
            return taken;
        }
    }
    if (!walk.arrived) {
        return {EISDIR};  // the path ends in a folder: "out/", ".", ".."
    }
    // The folder is opened for reading, so that it can be synced; one that may be searched and
    // written but not read is used as it is.
    const int readable =
        openat(static_cast<int>(walk.folder.native()), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (readable >= 0) {
        walk.folder.reset(readable);
        if (is_append_only(readable) && place.obstacle == replace_obstacle::none) {
            place.obstacle = replace_obstacle::append_only_folder;
        }
    }
    file_status folder_status;
    if (const int error = status_of(static_cast<int>(walk.folder.native()), folder_status);
        error != 0) {
        return {error};
    }
    place.folder_identity = folder_status.identity;
    place.folder = std::move(walk.folder);
    return {};
}

bool same_name(const std::string& a, const std::string& b) {
    return a == b;
}

int open_existing_for_writing(const output_place& place, int& fd) {
    // Not emptied: the old content stays until the end.
    return open_found_file(place, O_WRONLY | O_NOCTTY | O_CLOEXEC, fd);
}

int open_in_place(const output_place& place, int& fd) {
    return open_found_file(place, O_WRONLY | O_NOCTTY | O_CLOEXEC, fd);
}

int create_in_place(const output_place& place, int& fd) {
    fd = openat(folder_fd(place), place.name.c_str(),
                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
    return fd < 0 ? last_error() : 0;
}

int create_temporary(const output_place& place, const std::string& name, bool private_file,
                     int& fd) {
    if (name.size() > NAME_MAX) {
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
    // 0666 lets the umask and the folder's default ACL decide, as for a plain create.
    fd = openat(folder_fd(place), name.c_str(),
                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                private_file ? 0600 : 0666);
    if (fd < 0) {
        return last_error();
    }
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        const int error = last_error();
        unlinkat(folder_fd(place), name.c_str(), 0);
        close(fd);
        fd = -1;
        return error;
    }
    temporary_slot& registered = temporaries[slot];
    registered.folder = folder_fd(place);
    std::memcpy(registered.name, name.c_str(), name.size() + 1);
    registered.device = info.st_dev;
    registered.inode = info.st_ino;
    temporary_armed[slot] = 1;
    return 0;
}

int commit_temporary(const output_place& place, const std::string& name) {
    const signals_held held;
    const int folder = folder_fd(place);
    const char* final_name = place.name.c_str();
    // A name that is still free is taken only if it stays free; what took it meanwhile (another
    // run of this user's, say) is replaced only where it could have been written in the first
    // place, never a file that another user put in a shared folder.
    if (renameat2(folder, name.c_str(), folder, final_name, RENAME_NOREPLACE) != 0) {
        if (errno != EEXIST && errno != EINVAL) {
            return last_error();
        }
        struct stat now {};
        struct stat folder_info {};
        if (fstatat(folder, final_name, &now, AT_SYMLINK_NOFOLLOW) == 0 &&
            fstat(folder, &folder_info) == 0 && is_shared_folder(folder_info) &&
            is_foreign(now, folder_info)) {
            return EEXIST;
        }
        if (renameat(folder, name.c_str(), folder, final_name) != 0) {
            return last_error();
        }
    }
    if (const int slot = slot_of(folder, name); slot >= 0) {
        temporary_armed[slot] = 0;
    }
    return 0;
}

void discard_temporary(const output_place& place, const std::string& name) {
    const signals_held held;
    if (const int slot = slot_of(folder_fd(place), name); slot >= 0) {
        remove_temporary(temporaries[slot]);
        temporary_armed[slot] = 0;
    }
}

int sync_folder(const output_place& place) {
    int reason = fsync(folder_fd(place)) != 0 ? last_error() : 0;
    // Some file systems can't sync a folder and say so; their renames are as safe as they get. A
    // folder this process may not read is held without access (EBADF) and can't be synced by it.
    if (reason == EINVAL || reason == ENOTSUP || reason == EBADF) {
        reason = 0;
    }
    return reason;
}

namespace {

int create_scratch_in(const char* folder, int& fd) {
    fd = open(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
        return fd < 0 ? last_error() : 0;
    }
    // A file system without nameless files: a name that is gone again before any signal can
    // come between.
    std::string name = std::string(folder) + "/.swug-scratch-XXXXXX";
    const signals_held held;
    fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        return last_error();
    }
    unlink(name.c_str());
    return 0;
}

}  // namespace

int create_scratch(int& fd) {
    // The caller's temporary folder, and /tmp when that one can't take the file.
    const char* folder = std::getenv("TMPDIR");
    if (folder != nullptr && folder[0] == '/' && create_scratch_in(folder, fd) == 0) {
        return 0;
    }
    return create_scratch_in("/tmp", fd);
}

namespace {

// The names of fd's extended attributes, each followed by a zero byte.
int attribute_names(int fd, std::string& names) {
    for (int tries = 0;; ++tries) {
        const ssize_t size = flistxattr(fd, nullptr, 0);
        if (size < 0) {
            return last_error();
        }
        names.assign(static_cast<std::size_t>(size), '\0');
        const ssize_t got = flistxattr(fd, names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<std::size_t>(got));
            return 0;
        }
        // The list grew between the two calls.
        if (errno != ERANGE || tries == 3) {
            return last_error();
        }
    }
}

}  // namespace

int copy_extended_attributes(int from_fd, int to_fd) {
    // A plain write drops a program's capabilities, and the integrity labels belong to the
    // content, which is new.
    static constexpr const char* not_copied[] = {"security.capability", "security.ima",
                                                 "security.evm"};
    static constexpr char access_acl[] = "system.posix_acl_access";
    std::string names;
    if (const int error = attribute_names(from_fd, names); error != 0) {
        return error == ENOTSUP ? 0 : error;
    }
    bool has_acl = false;
    std::string value;
    for (std::size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1) {
        const char* name = names.c_str() + at;
        if (std::any_of(std::begin(not_copied), std::end(not_copied),
                        [name](const char* skipped) { return std::strcmp(name, skipped) == 0; })) {
            continue;
        }
        has_acl = has_acl || std::strcmp(name, access_acl) == 0;
        const ssize_t size = fgetxattr(from_fd, name, nullptr, 0);
        value.assign(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
        const ssize_t got = size >= 0 ? fgetxattr(from_fd, name, value.data(), value.size()) : -1;
        if (got < 0 ||
            fsetxattr(to_fd, name, value.data(), static_cast<std::size_t>(got), 0) != 0) {
            return last_error();
        }
    }
    // An ACL the new file took from its folder's default ACL would open it to more, or fewer,
    // users than the old file.
    if (!has_acl && fremovexattr(to_fd, access_acl) != 0 && errno != ENODATA && errno != ENOTSUP) {
        return last_error();
    }
    return 0;
}

int set_owner(int fd, unsigned owner, unsigned group) {
    return fchown(fd, static_cast<uid_t>(owner), static_cast<gid_t>(group)) != 0 ? last_error() : 0;
}

int set_group(int fd, unsigned group) {
    return fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(group)) != 0 ? last_error() : 0;
}

int reserve(int fd, std::uint64_t size) {
    // The size stays until the bytes are written, so a failure before the first write leaves the
    // old content as it was.
    if (fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) == 0) {
        return 0;
    }
    return errno == EOPNOTSUPP || errno == ENOSYS ? 0 : last_error();
}

int set_permissions(int fd, unsigned permissions) {
    return fchmod(fd, static_cast<mode_t>(permissions)) != 0 ? last_error() : 0;
}

}  // namespace swug::platform
