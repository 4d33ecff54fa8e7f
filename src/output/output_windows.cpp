// The outputs on Windows: names compared as the file system compares them (case, trailing dots,
// 8.3 names), devices written in place, files that other processes hold, and ReplaceFileW, which
// keeps the old file's ACL, streams and attributes.
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

#include "os/extended_paths.h"
#include "os/windows.h"
#include "output/system.h"

namespace swug::output_system {

using platform::clear_runtime_error;
using platform::error_of;
using platform::file_identity;
using platform::file_kind;
using platform::file_status;
using platform::full_path;
using platform::held_handle;
using platform::identify;
using platform::last_runtime_error;
using platform::last_windows_error;
using platform::narrow;
using platform::path_for_system;
using platform::utf16_of;
using platform::widen;

namespace {

// Temporary files that a console Ctrl-C or Ctrl-Break removes. Its handler keeps the lock of
// platform::ending_held until the process ends, so no rename can follow their removal.
constexpr int temporary_slots = 2;
std::wstring temporary_paths[temporary_slots];
bool temporary_armed[temporary_slots] = {};

int slot_of(const std::wstring& path) {
    for (int slot = 0; slot < temporary_slots; ++slot) {
        if (temporary_armed[slot] && temporary_paths[slot] == path) {
            return slot;
        }
    }
    return -1;
}

// A descriptor of the C runtime that owns handle; EMFILE, and the handle closed, when there is
// none.
int adopt(HANDLE handle, int flags, int& fd) {
    fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
    if (fd < 0) {
        CloseHandle(handle);
        return EMFILE;
    }
    return 0;
}

// What Ctrl-C runs: every temporary file of this run goes.
void remove_temporaries() {
    for (int slot = 0; slot < temporary_slots; ++slot) {
        if (temporary_armed[slot]) {
            DeleteFileW(temporary_paths[slot].c_str());
        }
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

}  // namespace

namespace {

// An existing regular file: the name it goes by, and whether it can be replaced.
void look_at_existing_file(output_place& place) {
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
        place.obstacle = rewrite_reason::in_use;
    }
}

}  // namespace

failure find_output_place(const char* path, output_place& place) {
    place = output_place();
    const std::string given = path;
    if (given.empty()) {
        return {failure_kind::cannot_create, ENOENT};  // no name to give the new file
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
        return {failure_kind::cannot_create, last_windows_error()};
    }
    place.folder.reset(reinterpret_cast<std::intptr_t>(folder));
    // A name that ends in a separator, or is "." or "..", names a folder.
    if (place.name.empty() || place.name == "." || place.name == "..") {
        return {failure_kind::cannot_create, EISDIR};
    }
    file_status status;
    const int error = status_of_path(joined(place).c_str(), status);
    if (error == ENOENT) {
        return {};
    }
    if (error != 0) {
        return {failure_kind::cannot_create, error};
    }
    if (status.kind == file_kind::directory) {
        return {failure_kind::cannot_create, EISDIR};
    }
    place.exists = true;
    place.status = status;
    if (status.kind == file_kind::regular) {
        look_at_existing_file(place);
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
    return adopt(handle, _O_WRONLY | _O_BINARY, fd);
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

// The old file's ACL, streams and attributes go over to the new one as ReplaceFileW puts it in
// place, so nothing is taken over here.
int create_temporary(const output_place& place, const std::string& name, int /*old_fd*/, int& fd,
                     rewrite_reason& lost) {
    lost = rewrite_reason::none;
    const std::wstring wide = widen(joined(place, name).c_str());
    const platform::ending_held held;
    platform::on_ending(remove_temporaries);
    int slot = 0;
    while (slot < temporary_slots && temporary_armed[slot]) {
        ++slot;
    }
    if (slot == temporary_slots) {
        return EMFILE;
    }
    // Hidden, as its leading dot hides it on Linux, until it takes the final name. Shared
    // for deletion, so that Ctrl-C can remove it while it is still open. Readable, so that what
    // it holds can move elsewhere when the disk is full.
    HANDLE handle =
        CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return last_windows_error();
    }
    if (const int error = adopt(handle, _O_RDWR | _O_BINARY, fd); error != 0) {
        DeleteFileW(wide.c_str());
        return error;
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
// as on Linux; but a name that has become the 8.3 name of another file (one that was
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

int finish_temporary(const output_place& /*place*/, int fd) {
    return platform::sync(fd);
}

int commit_temporary(const output_place& place, const std::string& name, owned_descriptor& old) {
    // Windows renames nothing over a file that is open.
    old.reset();
    const std::wstring temporary = widen_full(joined(place, name).c_str());
    const std::wstring final_path = widen_full(joined(place).c_str());
    const platform::ending_held held;
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

int reopen_temporary(const output_place& /*place*/, const std::string& /*name*/, int& /*fd*/) {
    return ENOENT;  // a temporary file here has its name from the start
}

void discard_temporary(const output_place& place, const std::string& name) {
    const std::wstring wide = widen(joined(place, name).c_str());
    const platform::ending_held held;
    if (const int slot = slot_of(wide); slot >= 0) {
        DeleteFileW(wide.c_str());
        temporary_armed[slot] = false;
    }
}

int identity_now(const output_place& place, platform::file_identity& identity) {
    platform::file_status status;
    const int error = status_of_path(joined(place).c_str(), status);
    identity = status.identity;
    return error;
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
    return adopt(handle, _O_RDWR | _O_BINARY, fd);
}
}  // namespace swug::output_system
