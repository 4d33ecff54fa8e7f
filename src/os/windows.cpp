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

namespace swug::platform {

namespace {

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

// Temporary files that a console Ctrl-C or Ctrl-Break removes. The handler runs on a thread of
// its own and keeps the lock until the process ends, so no rename can follow its removal.
constexpr int temporary_slots = 2;
CRITICAL_SECTION temporary_lock;
std::wstring temporary_paths[temporary_slots];
bool temporary_armed[temporary_slots] = {};

BOOL WINAPI clean_up_and_end(DWORD) {
    EnterCriticalSection(&temporary_lock);
    for (int slot = 0; slot < temporary_slots; ++slot) {
        if (temporary_armed[slot]) {
            DeleteFileW(temporary_paths[slot].c_str());
        }
    }
    return FALSE;  // the default handler ends the process
}

int slot_of(const std::wstring& path) {
    for (int slot = 0; slot < temporary_slots; ++slot) {
        if (temporary_armed[slot] && temporary_paths[slot] == path) {
            return slot;
        }
    }
    return -1;
}

class lock_held {
public:
    lock_held() { EnterCriticalSection(&temporary_lock); }
    ~lock_held() { LeaveCriticalSection(&temporary_lock); }
    lock_held(const lock_held&) = delete;
    lock_held& operator=(const lock_held&) = delete;
};

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

// A Windows drive prefix such as "C:", which stands for that drive's current folder.
bool has_drive(const std::string& path) {
    return path.size() > 1 && path[1] == ':';
}

// The path of name in place's folder, as given: "." joins to the name alone.
std::string joined(const output_place& place, const std::string& name) {
    const std::string& folder = place.folder_path;
    if (folder == ".") {
        return name;
    }
    const char last = folder.back();
    return last == '/' || last == '\\' || (folder.size() == 2 && folder[1] == ':')
               ? folder + name
               : folder + "/" + name;
}

std::string joined(const output_place& place) {
    return joined(place, place.name);
}

bool is_separator(char c) {
    return c == '/' || c == '\\';
}

// The end of the part of path that starts at from: behind its separator, or the end of path.
std::size_t end_of_part(const std::string& path, std::size_t from) {
    std::size_t at = from;
    while (at < path.size() && !is_separator(path[at])) {
        ++at;
    }
    return at < path.size() ? at + 1 : at;
}

// How much of path is its root, separator included: "C:\", "\", a network share's
// "\\server\share\", or one of those behind "\\?\" ("\\?\UNC\server\share\"), and
// "\\.\" or "\\?\" alone for the device namespace.
std::size_t root_length(const std::string& path) {
    const auto separator_at = [&path](std::size_t at) {
        return at < path.size() && is_separator(path[at]);
    };
    if (separator_at(0) && separator_at(1)) {
        if (path.size() >= 4 && (path[2] == '?' || path[2] == '.') && separator_at(3)) {
            const std::string rest = path.substr(4);
            if (has_drive(rest)) {
                return separator_at(6) ? 7 : 6;
            }
            if (rest.size() >= 4 && _strnicmp(rest.c_str(), "UNC", 3) == 0 && separator_at(7)) {
                return end_of_part(path, end_of_part(path, 8));
            }
            return 4;
        }
        return end_of_part(path, end_of_part(path, 2));
    }
    if (has_drive(path)) {
        return separator_at(2) ? 3 : 2;
    }
    return separator_at(0) ? 1 : 0;
}

// The full path of path as the system takes it, for the calls that look for the folder in it
// (Wine's ReplaceFileW finds none in a bare name).
std::wstring widen_full(const char* path) {
    const std::wstring wide = utf16_of(path);
    const std::wstring full = full_path(wide);
    return full.empty() ? path_for_system(wide, full) : path_for_system(full, full);
}

// The long name of the file at path, which may be given by its 8.3 name; empty when the system
// can't tell (there is no such file).
std::string long_name_of(const std::wstring& path) {
    const DWORD size = GetLongPathNameW(path.c_str(), nullptr, 0);
    if (size == 0) {
        return {};
    }
    std::wstring whole(size, L'\0');
    const DWORD length = GetLongPathNameW(path.c_str(), whole.data(), size);
    if (length == 0 || length >= size) {
        return {};
    }
    whole.resize(length);
    const std::size_t at = whole.find_last_of(L"/\\:");
    return narrow(whole.substr(at == std::wstring::npos ? 0 : at + 1).c_str());
}

// A folder opened without access rights, and its identity; INVALID_HANDLE_VALUE with the error
// left for GetLastError when it can't be opened or is no folder.
HANDLE open_folder(const std::string& folder, file_identity& identity) {
    // No trailing separator but a root's: behind one, a file is no name at all, and a network
    // share's root is found only with its own.
    std::string bare = folder;
    while (bare.size() > root_length(bare) && is_separator(bare.back())) {
        bare.pop_back();
    }
    HANDLE handle = CreateFileW(widen(bare.c_str()).c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return handle;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(handle, &info) == 0 ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        CloseHandle(handle);
        SetLastError(ERROR_DIRECTORY);
        return INVALID_HANDLE_VALUE;
    }
    identify(handle, identity);
    return handle;
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

namespace {

int terminate_fd = 2;
const char* terminate_text = "";
int terminate_status = 1;

[[noreturn]] void end_on_terminate() {
    clean_up_and_end(CTRL_C_EVENT);
    restore_code_pages();
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
    // A closed standard stream is opened on NUL, as on POSIX systems.
    for (int fd = 0; fd <= 2; ++fd) {
        if (_get_osfhandle(fd) == -1) {
            const int opened = _wopen(L"NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
            if (opened >= 0 && opened != fd) {
                _close(opened);
            }
        }
    }
    InitializeCriticalSection(&temporary_lock);
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

int current_directory(char* buffer, std::size_t capacity) {
    std::memset(buffer, 0, capacity);
    // Asked of the system, whose answer may exceed MAX_PATH, unlike the C runtime's _wgetcwd.
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::wstring wide(size, L'\0');
    const DWORD length = size == 0 ? 0 : GetCurrentDirectoryW(size, wide.data());
    if (length == 0 || length >= size) {
        return length == 0 ? last_windows_error() : ERANGE;  // it moved to a longer one meanwhile
    }
    wide.resize(length);
    // Counted in UTF-16 code units, as every path is here.
    const std::string utf8 = narrow(wide.c_str());
    if (length > (capacity - 1) / path_character_max_bytes || utf8.size() >= capacity) {
        return ERANGE;
    }
    std::memcpy(buffer, utf8.c_str(), utf8.size() + 1);
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

place_result find_output_place(const char* path, output_place& place) {
    place = output_place();
    const std::string given = path;
    if (given.empty()) {
        return {ENOENT};  // no name to give the new file
    }
    // A device (NUL, CON, \\.\COM1) is no name in a folder: it is written in place as it is named.
    file_status device;
    if (status_of_path(path, device) == 0 && device.kind == file_kind::character_device) {
        place.folder_path = ".";
        place.name = given;
        place.exists = true;
        place.status = device;
        return {};
    }
    // The folder: up to the last separator, or a drive's "C:", or the current folder.
    std::size_t name_at = given.find_last_of("/\\");
    name_at = name_at == std::string::npos ? (has_drive(given) ? 2 : 0) : name_at + 1;
    place.folder_path = name_at == 0 ? std::string(".") : given.substr(0, name_at);
    place.name = given.substr(name_at);
    HANDLE folder = open_folder(place.folder_path, place.folder_identity);
    if (folder == INVALID_HANDLE_VALUE) {
        return {last_windows_error()};
    }
    place.folder.reset(reinterpret_cast<std::intptr_t>(folder));
    // A name that ends in a separator, or is "." or "..", names a folder.
    if (place.name.empty() || place.name == "." || place.name == "..") {
        return {EISDIR};
    }
    file_status status;
    const int error = status_of_path(joined(place).c_str(), status);
    if (error == ENOENT) {
        return {};
    }
    if (error != 0) {
        return {error};
    }
    if (status.kind == file_kind::directory) {
        return {EISDIR};
    }
    place.exists = true;
    place.status = status;
    if (status.kind != file_kind::regular) {
        return {};
    }
    // An existing file given by its 8.3 name ("RELEAS~1.BIN") goes by its long name from now on,
    // the name that the file system compares.
    if (const std::string name = long_name_of(widen(joined(place).c_str())); !name.empty()) {
        place.name = name;
    }
    // A process that has the file open without letting it be renamed or deleted keeps any other
    // file from taking its name; when it lets it be written, the file is written over.
    HANDLE probe = CreateFileW(widen(joined(place).c_str()).c_str(), DELETE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
    } else if (GetLastError() == ERROR_SHARING_VIOLATION) {
        place.obstacle = replace_obstacle::in_use;
    }
    return {};
}

bool same_name(const std::string& a, const std::string& b) {
    // Windows drops trailing dots and blanks from a name and compares the rest without case.
    auto trimmed = [](const std::string& name) {
        std::wstring wide = utf16_of(name.c_str());
        while (!wide.empty() && (wide.back() == L'.' || wide.back() == L' ')) {
            wide.pop_back();
        }
        return wide;
    };
    const std::wstring x = trimmed(a);
    const std::wstring y = trimmed(b);
    return CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(),
                                static_cast<int>(y.size()), TRUE) == CSTR_EQUAL;
}

int open_existing_for_writing(const output_place& place, int& fd) {
    HANDLE handle = CreateFileW(widen(joined(place).c_str()).c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return last_windows_error();
    }
    // Windows lets nobody write a read-only file, administrators neither; Wine lets root, so the
    // attribute is asked as well.
    BY_HANDLE_FILE_INFORMATION info;
    const int error = GetFileInformationByHandle(handle, &info) == 0 ? last_windows_error()
                      : (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? EACCES
                                                                               : 0;
    if (error != 0) {
        CloseHandle(handle);
        return error;
    }
    fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return EMFILE;
    }
    return 0;
}

int open_in_place(const output_place& place, int& fd) {
    clear_runtime_error();
    fd = _wopen(widen(joined(place).c_str()).c_str(), _O_WRONLY | _O_BINARY | _O_NOINHERIT);
    return fd < 0 ? last_runtime_error() : 0;
}

int create_in_place(const output_place& place, int& fd) {
    clear_runtime_error();
    fd = _wopen(widen(joined(place).c_str()).c_str(),
                _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    return fd < 0 ? last_runtime_error() : 0;
}

int create_temporary(const output_place& place, const std::string& name, bool, int& fd) {
    const std::wstring wide = widen(joined(place, name).c_str());
    const lock_held held;
    int slot = 0;
    while (slot < temporary_slots && temporary_armed[slot]) {
        ++slot;
    }
    if (slot == temporary_slots) {
        return EMFILE;
    }
    // Hidden, as its leading dot hides it on POSIX systems, until it takes the final name. Shared
    // for deletion, so that Ctrl-C can remove it while it is still open.
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return last_windows_error();
    }
    fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        DeleteFileW(wide.c_str());
        return EMFILE;
    }
    temporary_paths[slot] = wide;
    temporary_armed[slot] = true;
    return 0;
}

namespace {

// The attributes that a plain write leaves as they were; the rest (read-only, which such a
// write refuses, and what the file system keeps itself, compression and the like) are not
// carried over.
constexpr DWORD kept_attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_TEMPORARY;

int set_attributes(const std::wstring& path, DWORD attributes) {
    return SetFileAttributesW(path.c_str(), attributes) != 0 ? 0 : last_windows_error();
}

// A name that was free: the new file takes it as a plain create would make it, not hidden. Taken
// meanwhile under that very name (another run of the same output, say), the name is replaced,
// as on POSIX systems; but a name that has become the 8.3 name of another file (one that was
// created meanwhile as "Release image.bin", maybe the other output of this run) is not that
// file's: File exists.
int take_free_name(const output_place& place, const std::wstring& temporary,
                   const std::wstring& final_path) {
    const DWORD attributes = GetFileAttributesW(temporary.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return last_windows_error();
    }
    if (const int error = set_attributes(temporary, attributes & ~FILE_ATTRIBUTE_HIDDEN);
        error != 0) {
        return error;
    }
    if (MoveFileExW(temporary.c_str(), final_path.c_str(), MOVEFILE_WRITE_THROUGH) != 0) {
        return 0;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS) {
        return last_windows_error();
    }
    const std::string now = long_name_of(final_path);
    if (!now.empty() && !same_name(now, place.name)) {
        return EEXIST;
    }
    if (MoveFileExW(temporary.c_str(), final_path.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        return last_windows_error();
    }
    return 0;
}

// Why the old file could not be moved aside: a process that holds it, else access.
int why_not_replaced(const std::wstring& final_path) {
    HANDLE probe = CreateFileW(final_path.c_str(), DELETE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        return last_windows_error();
    }
    CloseHandle(probe);
    return EACCES;
}

// The existing file is replaced with ReplaceFileW, which keeps what the old file had of its own:
// its ACL, its alternate streams, its attributes (set on the new file first as well, for a system
// whose ReplaceFileW keeps nothing, as Wine's). The old file steps aside under a name of this
// run's own while the new one takes its place, and comes back when that fails, so that the name
// is never left empty; then it goes.
int replace_existing(const output_place& place, const std::wstring& temporary,
                     const std::wstring& final_path) {
    const DWORD old = GetFileAttributesW(final_path.c_str());
    if (old == INVALID_FILE_ATTRIBUTES) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) {
            return take_free_name(place, temporary, final_path);  // it is gone meanwhile
        }
        return last_windows_error();
    }
    if (const int error =
            set_attributes(temporary, (old & kept_attributes) | FILE_ATTRIBUTE_ARCHIVE);
        error != 0) {
        return error;
    }
    const std::wstring backup = temporary + L"~";
    if (ReplaceFileW(final_path.c_str(), temporary.c_str(), backup.c_str(), 0, nullptr, nullptr) ==
        0) {
        const DWORD code = GetLastError();
        // The old file under the backup name, its name free: it comes back. Should even that
        // fail, it stays where it is, the one copy of the old content.
        if (code == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
            MoveFileExW(backup.c_str(), final_path.c_str(), MOVEFILE_WRITE_THROUGH);
        }
        return code == ERROR_UNABLE_TO_MOVE_REPLACEMENT ||
                       code == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 ||
                       code == ERROR_UNABLE_TO_REMOVE_REPLACED
                   ? why_not_replaced(final_path)
                   : error_of(code);
    }
    // The image is in place whatever comes of this; an old file that can't be removed now (a
    // process opened it meanwhile) stays behind under its backup name, as a killed run's file
    // stays under its own.
    DeleteFileW(backup.c_str());
    return 0;
}

}  // namespace

int commit_temporary(const output_place& place, const std::string& name) {
    const std::wstring temporary = widen_full(joined(place, name).c_str());
    const std::wstring final_path = widen_full(joined(place).c_str());
    const lock_held held;
    // Windows renames by name only: the folder must still be the one that was found.
    file_identity now;
    HANDLE folder = open_folder(place.folder_path, now);
    if (folder == INVALID_HANDLE_VALUE) {
        return last_windows_error();
    }
    CloseHandle(folder);
    if (!(now == place.folder_identity)) {
        return ENOENT;
    }
    const int error = place.exists ? replace_existing(place, temporary, final_path)
                                   : take_free_name(place, temporary, final_path);
    if (error != 0) {
        return error;
    }
    if (const int slot = slot_of(widen(joined(place, name).c_str())); slot >= 0) {
        temporary_armed[slot] = false;
    }
    return 0;
}

void discard_temporary(const output_place& place, const std::string& name) {
    const std::wstring wide = widen(joined(place, name).c_str());
    const lock_held held;
    if (const int slot = slot_of(wide); slot >= 0) {
        DeleteFileW(wide.c_str());
        temporary_armed[slot] = false;
    }
}

int sync_folder(const output_place& place) {
    // MOVEFILE_WRITE_THROUGH has flushed a new name. ReplaceFileW has no such flag: the file
    // that now has the name is flushed, metadata and all.
    if (!place.exists || place.status.kind != file_kind::regular) {
        return 0;
    }
    HANDLE file = CreateFileW(widen(joined(place).c_str()).c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return last_windows_error();
    }
    const int error = FlushFileBuffers(file) != 0 ? 0 : last_windows_error();
    CloseHandle(file);
    return error;
}

int create_scratch(int& fd) {
    wchar_t folder[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    if (GetTempPathW(MAX_PATH + 1, folder) == 0 || GetTempFileNameW(folder, L"swg", 0, name) == 0) {
        return last_windows_error();
    }
    // Removed by the system once closed, whatever ends the process.
    HANDLE handle = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const int error = last_windows_error();
        DeleteFileW(name);
        return error;
    }
    fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return EMFILE;
    }
    return 0;
}

int copy_extended_attributes(int, int) {
    return 0;
}

int set_group(int, unsigned) {
    return 0;
}

int set_owner(int, unsigned, unsigned) {
    return 0;
}

int reserve(int, std::uint64_t) {
    return 0;
}

int set_permissions(int, unsigned) {
    return 0;
}

}  // namespace swug::platform
