#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform.h"

namespace swug::platform {

namespace {

// The terminal settings to put back if a signal ends the process during the key wait.
termios saved_terminal;
volatile std::sig_atomic_t terminal_is_raw = 0;

void restore_terminal_and_reraise(int signal_number) {
    if (terminal_is_raw != 0) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved_terminal);
    }
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

void read_one_byte(int fd) {
    unsigned char byte = 0;
    while (read(fd, &byte, 1) < 0 && errno == EINTR) {
    }
}

}  // namespace

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
    // A signal from outside must not leave the terminal without echo.
    const int ending_signals[] = {SIGHUP, SIGTERM, SIGINT, SIGQUIT};
    for (int signal_number : ending_signals) {
        std::signal(signal_number, restore_terminal_and_reraise);
    }
    termios raw = saved_terminal;
    // Without ISIG, Ctrl-C and Ctrl-Z arrive as keys like any other.
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0) {
        terminal_is_raw = 1;
    }
    read_one_byte(STDIN_FILENO);
    if (terminal_is_raw != 0) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved_terminal);
        terminal_is_raw = 0;
    }
}

file_kind kind_of(std::FILE* stream) {
    struct stat info {};
    if (fstat(fileno(stream), &info) != 0) {
        return file_kind::unknown;
    }
    if (S_ISREG(info.st_mode)) {
        return file_kind::regular;
    }
    return S_ISDIR(info.st_mode) ? file_kind::directory : file_kind::other;
}

bool is_directory(const char* path) {
    struct stat info {};
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

std::int64_t size_of(std::FILE* stream) {
    struct stat info {};
    if (fstat(fileno(stream), &info) != 0 || !S_ISREG(info.st_mode)) {
        return -1;
    }
    return static_cast<std::int64_t>(info.st_size);
}

bool is_same_file(std::FILE* stream, const char* path) {
    struct stat open_file {};
    struct stat named_file {};
    if (fstat(fileno(stream), &open_file) != 0 || stat(path, &named_file) != 0) {
        return false;
    }
    return open_file.st_dev == named_file.st_dev && open_file.st_ino == named_file.st_ino;
}

}  // namespace swug::platform
