#define WIN32_LEAN_AND_MEAN
#include <conio.h>
#include <direct.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "platform.h"

namespace swug::platform {

namespace {

// Volume serial number and file index: what identifies a file on Windows, whatever its name.
struct file_identity {
    DWORD volume = 0;
    DWORD index_high = 0;
    DWORD index_low = 0;
};

bool identify(HANDLE handle, file_identity& identity) {
    BY_HANDLE_FILE_INFORMATION info;
    if (handle == INVALID_HANDLE_VALUE || GetFileInformationByHandle(handle, &info) == 0) {
        return false;
    }
    identity.volume = info.dwVolumeSerialNumber;
    identity.index_high = info.nFileIndexHigh;
    identity.index_low = info.nFileIndexLow;
    return true;
}

}  // namespace

bool backslash_is_separator() {
    return true;
}

int current_directory(char* buffer, std::size_t capacity) {
    std::memset(buffer, 0, capacity);
    if (_getcwd(buffer, static_cast<int>(capacity)) == nullptr) {
        const int reason = errno;
        std::memset(buffer, 0, capacity);
        return reason != 0 ? reason : ENOENT;
    }
    return 0;
}

void wait_for_key() {
    const int fd = _fileno(stdin);
    if (fd >= 0 && _isatty(fd) != 0) {
        _getch();
        return;
    }
    // Redirected input: the console is not where the key comes from, and end of input ends
    // the wait instead of hanging on a console nobody looks at.
    unsigned char byte = 0;
    if (fd >= 0) {
        (void)_read(fd, &byte, 1);
    }
}

file_kind kind_of(std::FILE* stream) {
    struct _stat64 info {};
    if (_fstat64(_fileno(stream), &info) != 0) {
        return file_kind::unknown;
    }
    if ((info.st_mode & _S_IFMT) == _S_IFREG) {
        return file_kind::regular;
    }
    return (info.st_mode & _S_IFMT) == _S_IFDIR ? file_kind::directory : file_kind::other;
}

bool is_directory(const char* path) {
    struct _stat64 info {};
    return _stat64(path, &info) == 0 && (info.st_mode & _S_IFMT) == _S_IFDIR;
}

std::int64_t size_of(std::FILE* stream) {
    struct _stat64 info {};
    if (_fstat64(_fileno(stream), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) {
        return -1;
    }
    return static_cast<std::int64_t>(info.st_size);
}

bool is_same_file(std::FILE* stream, const char* path) {
    file_identity open_file;
    const auto open_handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (!identify(open_handle, open_file)) {
        return false;
    }
    // Opening with no access rights and every sharing mode leaves the other file untouched.
    HANDLE named_handle =
        CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    file_identity named_file;
    const bool identified = identify(named_handle, named_file);
    if (named_handle != INVALID_HANDLE_VALUE) {
        CloseHandle(named_handle);
    }
    return identified && open_file.volume == named_file.volume &&
           open_file.index_high == named_file.index_high &&
           open_file.index_low == named_file.index_low;
}

}  // namespace swug::platform
