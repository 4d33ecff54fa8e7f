#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// windows.h first: the headers below rely on its types.
#include <conio.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "os/extended_paths.h"
#include "os/platform.h"
#include "os/windows.h"

namespace swug::platform {

// UTF-8 to UTF-16 and back.
std::wstring utf16_of(const char* text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<std::size_t>(length) : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
    wide.resize(wide.size() - 1);
    return wide;
}

// The full path of path, from its drive or server, "." and ".." resolved; empty when the system
// can't tell. No length limit, unlike the C runtime's _wfullpath.
std::wstring full_path(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return {};
    }
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) {
        return {};
    }
    full.resize(length);
    return full;
}

// A path as the system's file functions take it, at the edge of every call that takes a name:
// UTF-16, and in the extended-length form once its full path reaches MAX_PATH characters, so
// that long paths work whether or not the system allows them in the plain form.
std::wstring widen(const char* path) {
    const std::wstring wide = utf16_of(path);
    return path_for_system(wide, full_path(wide));
}

std::string narrow(const wchar_t* text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(length > 0 ? static_cast<std::size_t>(length) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), length, nullptr, nullptr);
    utf8.resize(utf8.size() - 1);
    return utf8;
}

// The errno value for the reason of a failed Windows call.
int error_of(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
            return EACCES;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return file_in_use;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_DIRECTORY:
            return ENOTDIR;
        case ERROR_INVALID_NAME:
            return EINVAL;
        default:
            return EIO;
    }
}

int last_windows_error() {
    return error_of(GetLastError());
}

// The C runtime calls a file that another process holds EACCES, as it does a denied access; the
// system's own reason, which it keeps in _doserrno, tells them apart. Both are cleared before a
// call, as the runtime sets _doserrno only for a reason of the system's.
void clear_runtime_error() {
    errno = 0;
    _doserrno = 0;
}

int last_runtime_error() {
    const unsigned long code = _doserrno;
    return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION ? file_in_use
                                                                           : last_error();
}

bool identify(HANDLE handle, file_identity& identity) {
    BY_HANDLE_FILE_INFORMATION info;
    if (handle == INVALID_HANDLE_VALUE || GetFileInformationByHandle(handle, &info) == 0) {
        return false;
    }
    identity.device = info.dwVolumeSerialNumber;
    identity.index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    identity.known = true;
    return true;
}

namespace {

// What a console's Ctrl-C or Ctrl-Break runs first (the outputs' removal of their temporary
// files), and the lock it takes. The handler runs on a thread of its own and keeps the lock until
// the process ends, so that nothing the lock guards can follow it.
CRITICAL_SECTION ending_lock;
void (*ending_clean_up)() = nullptr;

BOOL WINAPI clean_up_and_end(DWORD) {
    EnterCriticalSection(&ending_lock);
    if (ending_clean_up != nullptr) {
        ending_clean_up();
    }
    return FALSE;  // the default handler ends the process
}

// True when handle is a console's input or screen buffer, as the console itself says; a device
// such as NUL is not. GetConsoleMode needs read access, so a handle opened for writing only (an
// output named CON or CONOUT$) is asked by writing nothing to it, which only a console accepts.
bool is_console(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
        GetFileType(handle) != FILE_TYPE_CHAR) {
        return false;
    }
    DWORD mode = 0;
    DWORD written = 0;
    INPUT_RECORD no_record{};
    return GetConsoleMode(handle, &mode) != 0 ||
           WriteConsoleW(handle, L"", 0, &written, nullptr) != 0 ||
           WriteConsoleInputW(handle, &no_record, 0, &written) != 0;
}

void fill_status(const struct _stat64& info, file_status& status) {
    status = file_status();
    switch (info.st_mode & _S_IFMT) {
        case _S_IFREG:
            status.kind = file_kind::regular;
            status.size = static_cast<std::int64_t>(info.st_size);
            break;
        case _S_IFDIR:
            status.kind = file_kind::directory;
            break;
        case _S_IFCHR:
            status.kind = file_kind::character_device;
            break;
        default:
            break;
    }
}

// The console's code pages as the tools found them; 0 without a console.
UINT found_input_code_page = 0;
UINT found_output_code_page = 0;

// Puts the console's code pages back: the console outlives the tools, and the programs run in it
// afterwards must show their text as before.
void restore_code_pages() {
    if (found_output_code_page != 0) {
        SetConsoleOutputCP(found_output_code_page);
    }
    if (found_input_code_page != 0) {
        SetConsoleCP(found_input_code_page);
    }
}

void restore_code_pages_at_exit() {
    // What stdio still holds goes out in UTF-8 first; the C runtime would flush it only later.
    std::fflush(nullptr);
    restore_code_pages();
}

BOOL WINAPI restore_code_pages_on_ctrl(DWORD) {
    restore_code_pages();
    return FALSE;  // on to the handler that removes the temporary files, then the default one
}

// Names are UTF-8 inside the tools; while they run, the console shows them as such. Every ending
// puts the console's own code pages back: a return from main or exit(), Ctrl-C, Ctrl-Break and
// the console closing alike.
void switch_console_to_utf8() {
    found_input_code_page = GetConsoleCP();
    found_output_code_page = GetConsoleOutputCP();
    if (found_output_code_page == 0 || found_output_code_page == CP_UTF8) {
        return;  // no console, or nothing to change
    }
    std::atexit(restore_code_pages_at_exit);
    // Registered after the temporary files' handler, so called before it.
    SetConsoleCtrlHandler(restore_code_pages_on_ctrl, TRUE);
    SetConsoleOutputCP(CP_UTF8);
}

}  // namespace

void clean_up_at_once() {
    clean_up_and_end(CTRL_C_EVENT);  // keeps the lock: no rename can follow
    restore_code_pages();
}

void prepare_process() {
    // A closed standard stream is opened on NUL, as on POSIX systems.
    for (int fd = 0; fd <= 2; ++fd) {
        if (_get_osfhandle(fd) == -1) {
            const int opened = _wopen(L"NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
            if (opened >= 0 && opened != fd) {
                _close(opened);
            }
        }
    }
    InitializeCriticalSection(&ending_lock);
    SetConsoleCtrlHandler(clean_up_and_end, TRUE);
    switch_console_to_utf8();
}

command_line::command_line(int, char**) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 0; wide != nullptr && i < count; ++i) {
        words_.push_back(narrow(wide[i]));
    }
    LocalFree(wide);
    for (std::string& word : words_) {
        pointers_.push_back(word.data());
    }
    pointers_.push_back(nullptr);
}

bool backslash_is_separator() {
    return true;
}

int current_directory(std::string& directory) {
    directory.clear();
    // Asked of the system, whose answer may exceed MAX_PATH, unlike the C runtime's _wgetcwd. It
    // may move to a longer one between the two calls: then the second says the size it needs.
    DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::wstring wide;
    DWORD length = 0;
    while (size != 0) {
        wide.assign(size, L'\0');
        length = GetCurrentDirectoryW(size, wide.data());
        if (length < size) {
            break;
        }
        size = length;
    }
    if (size == 0 || length == 0) {
        return last_windows_error();
    }
    wide.resize(length);
    directory = narrow(wide.c_str());
    return 0;
}

void wait_for_key() {
    const int fd = _fileno(stdin);
    // Only the console itself can tell: NUL is a character device too, and _isatty calls it a
    // terminal, but no key ever comes from it.
    if (fd >= 0 && is_console(reinterpret_cast<HANDLE>(_get_osfhandle(fd)))) {
        // A key such as an arrow comes as two codes; the second one is read too.
        const int key = _getch();
        if ((key == 0 || key == 0xE0) && _kbhit() != 0) {
            _getch();
        }
        return;
    }
    // NUL, a file or a pipe: one byte of it, so that end of input ends the wait at once instead
    // of hanging on a console nobody types into.
    unsigned char byte = 0;
    if (fd >= 0) {
        (void)_read(fd, &byte, 1);
    }
}

int status_of(int fd, file_status& status) {
    struct _stat64 info {};
    if (_fstat64(fd, &info) != 0) {
        return last_error();
    }
    fill_status(info, status);
    identify(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), status.identity);
    return 0;
}

int status_of_path(const char* path, file_status& status) {
    status = file_status();
    const std::wstring wide = widen(path);
    // Opening with no access rights and every sharing mode leaves the file untouched; the handle
    // tells what the file is, for a path of any length. (The C runtime's stat takes no
    // extended-length path, and knows no device such as NUL.)
    HANDLE handle =
        CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    bool known = false;
    if (handle != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION info;
        switch (GetFileType(handle)) {
            case FILE_TYPE_CHAR:
                status.kind = file_kind::character_device;
                known = true;
                break;
            case FILE_TYPE_PIPE:
                status.kind = file_kind::fifo;
                known = true;
                break;
            case FILE_TYPE_DISK:
                if (GetFileInformationByHandle(handle, &info) != 0) {
                    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                        status.kind = file_kind::directory;
                    } else {
                        status.kind = file_kind::regular;
                        status.size = static_cast<std::int64_t>(
                            (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
                    }
                    known = true;
                }
                break;
            default:
                break;
        }
        identify(handle, status.identity);
        CloseHandle(handle);
    }
    if (known) {
        return 0;
    }
    // What can't be opened so may still be known to the C runtime.
    struct _stat64 info {};
    if (_wstat64(wide.c_str(), &info) != 0) {
        return last_error();
    }
    const file_identity identity = status.identity;
    fill_status(info, status);
    status.identity = identity;
    return 0;
}

int open_for_reading(const char* path, bool, int& fd) {
    clear_runtime_error();
    fd = _wopen(widen(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    return fd < 0 ? last_runtime_error() : 0;
}

int open_unnamed_input(const char* name, bool never_block, int& fd) {
    return open_for_reading(name, never_block, fd);  // no folder lets others plant a file here
}

bool is_terminal(int fd) {
    DWORD console_mode = 0;
    return GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), &console_mode) != 0;
}

read_result read_some(int fd, void* data, std::size_t size) {
    clear_runtime_error();
    const int got = _read(fd, data, static_cast<unsigned>(size < INT_MAX ? size : INT_MAX));
    if (got < 0) {
        return {0, last_runtime_error()};
    }
    return {static_cast<std::size_t>(got), 0};
}

int write_all(int fd, const void* data, std::size_t size) {
    const auto* at = static_cast<const unsigned char*>(data);
    while (size > 0) {
        clear_runtime_error();
        const int put = _write(fd, at, static_cast<unsigned>(size < INT_MAX ? size : INT_MAX));
        if (put <= 0) {
            return put < 0 ? last_runtime_error() : ENOSPC;
        }
        at += put;
        size -= static_cast<std::size_t>(put);
    }
    return 0;
}

int write_all_at(int fd, std::uint64_t offset, const void* data, std::size_t size) {
    const __int64 was = _telli64(fd);
    if (was < 0 || _lseeki64(fd, static_cast<__int64>(offset), SEEK_SET) < 0) {
        return last_error();
    }
    const int error = write_all(fd, data, size);
    if (_lseeki64(fd, was, SEEK_SET) < 0 && error == 0) {
        return last_error();
    }
    return error;
}

int seek_to(int fd, std::uint64_t offset) {
    return _lseeki64(fd, static_cast<__int64>(offset), SEEK_SET) < 0 ? last_error() : 0;
}

int check_seekable(int fd) {
    // A file on a disk can go back, and so can a device such as NUL; a pipe or the console can't.
    // The console is asked before anything is written, so that no byte reaches the screen.
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    switch (GetFileType(handle)) {
        case FILE_TYPE_DISK:
            return 0;
        case FILE_TYPE_CHAR:
            return is_console(handle) ? ESPIPE : 0;
        default:
            return ESPIPE;
    }
}

int resize(int fd, std::uint64_t size) {
    clear_runtime_error();
    return _chsize_s(fd, static_cast<__int64>(size)) != 0 ? last_runtime_error() : 0;
}

int sync(int fd) {
    return _commit(fd) != 0 ? last_error() : 0;
}

int close_file(int fd) {
    return _close(fd) != 0 ? last_error() : 0;
}

void held_handle::reset(std::intptr_t native) {
    if (native_ != closed) {
        CloseHandle(reinterpret_cast<HANDLE>(native_));
    }
    native_ = native;
}

int reserve(int, std::uint64_t) {
    return 0;  // the file system can't tell a shortage of space in advance
}

void on_ending(void (*clean_up)()) {
    ending_clean_up = clean_up;
}

ending_held::ending_held() {
    EnterCriticalSection(&ending_lock);
}

ending_held::~ending_held() {
    LeaveCriticalSection(&ending_lock);
}

}  // namespace swug::platform
