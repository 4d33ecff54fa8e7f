// The few services that differ between Linux and Windows, one implementation each (linux.cpp,
// windows.cpp). Everything else in the tools is written against the standard library and this
// header only. Paths are UTF-8 everywhere above this layer; on Windows it converts them to UTF-16
// at its edge.
//
// Files are descriptors of the C library (POSIX descriptors; the C runtime's on Windows). Every
// function that can fail returns 0 or the system's error number, so that callers never read
// errno after the fact; last_error() is for the layer's own use and the one stdio call above it.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace swug::platform {

// errno after a call that failed, or EIO when the call gave no reason.
inline int last_error() {
    return errno != 0 ? errno : EIO;
}

// A reason the system gives that has no errno value: another process has the file open and
// shares it with no reader or writer like this one, or has locked the part that is read or
// written (a sharing or lock violation on Windows). Above every errno value.
constexpr int file_in_use = 0x10000;

// The text of a reason that is this layer's own, as the tools say it after a name; nullptr for
// an errno value, whose text is the C library's.
inline const char* own_reason_text(int error) {
    return error == file_in_use ? "it is in use by another process" : nullptr;
}

// True for the reasons that say a file system is full: out of space, inodes or quota.
inline bool means_no_room(int error) {
#ifdef EDQUOT
    return error == ENOSPC || error == EDQUOT;
#else
    return error == ENOSPC;
#endif
}

// Ignores the signals that would end the process instead of failing a write (a closed pipe, a
// file-size limit), and arranges for the ending signals (Ctrl-C and the like) to remove this
// run's temporary files and restore the terminal before the process ends as it would have.
// Standard input, output and error that the caller closed are opened on the null device, so that
// no file the tools open can take their place.
void prepare_process();

// Makes std::terminate end the process with status, after text on fd and the clean-up of an
// ending signal, allocating nothing. The tools throw nothing but std::bad_alloc, which each catches;
// terminate is what is left when memory is so short that even that exception can't be made.
void end_terminate_with(int fd, const char* text, int status);

// The command line as UTF-8 words; on Windows taken from the system in UTF-16. The words live
// as long as the object.
class command_line {
public:
    command_line(int argc, char** argv);
    int argc() const { return static_cast<int>(pointers_.size()) - 1; }
    char** argv() { return pointers_.data(); }

private:
    std::vector<std::string> words_;
    std::vector<char*> pointers_;  // into words_, or argv itself; null-terminated
};

// True where "\" separates the parts of a path (Windows); elsewhere it is part of a file name.
bool backslash_is_separator();

// How the system counts the characters of a path: in UTF-16 code units on Windows, where names
// are UTF-16, and in bytes elsewhere. And the most bytes of UTF-8 that one such character takes,
// so that a buffer for a path of N characters holds N * path_character_max_bytes + 1 bytes.
#ifdef _WIN32
constexpr bool path_length_in_utf16 = true;
constexpr std::size_t path_character_max_bytes = 3;  // a code unit of U+0800 to U+FFFF
#else
constexpr bool path_length_in_utf16 = false;
constexpr std::size_t path_character_max_bytes = 1;
#endif

// Writes the working directory, zero-terminated, into buffer; returns 0, or an errno value.
// buffer holds (capacity - 1) / path_character_max_bytes characters, counted as above; ERANGE
// when the working directory has more. buffer is empty after a failure.
int current_directory(char* buffer, std::size_t capacity);

// Waits for one key press without echo; when standard input is not a console, reads one byte of
// it instead, so that end of input ends the wait at once. Nothing of the key is left behind.
void wait_for_key();

enum class file_kind { regular, directory, character_device, fifo, other };

// What identifies a file whatever its name: device and inode, or volume and file index.
struct file_identity {
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    bool known = false;
    bool operator==(const file_identity& other) const {
        return known && other.known && device == other.device && index == other.index;
    }
};

struct file_status {
    file_kind kind = file_kind::other;
    std::int64_t size = -1;  // bytes, for a regular file only
    file_identity identity;
    unsigned permissions = 0;  // POSIX permission bits; 0 where there are none
    unsigned owner = 0;
    unsigned group = 0;
};

constexpr int standard_output = 1;

int status_of(int fd, file_status& status);
// Follows symbolic links; ENOENT when nothing is there.
int status_of_path(const char* path, file_status& status);
// True when fd is a terminal or console.
bool is_terminal(int fd);

// Opens path for reading. never_block: a FIFO or device can't stall the open (use it only where
// such a file will be refused anyway).
int open_for_reading(const char* path, bool never_block, int& fd);

// Reads up to size bytes; count 0 with error 0 is the end of the file. Retries interruptions.
struct read_result {
    std::size_t count = 0;
    int error = 0;
};
read_result read_some(int fd, void* data, std::size_t size);
// Writes all size bytes, through short writes and interruptions.
int write_all(int fd, const void* data, std::size_t size);
// The same at an absolute offset.
int write_all_at(int fd, std::uint64_t offset, const void* data, std::size_t size);
int seek_to(int fd, std::uint64_t offset);
// 0 when the file can be positioned at all (a FIFO or terminal gives ESPIPE).
int check_seekable(int fd);
// Cuts or extends the file to size bytes.
int resize(int fd, std::uint64_t size);
// Flushes the file's data to the disk.
int sync(int fd);
int close_file(int fd);

// A folder or file held open without being read or written, closed with the object. Move-only.
class held_handle {
public:
    held_handle() = default;
    explicit held_handle(std::intptr_t native) : native_(native) {}
    ~held_handle() { reset(); }
    held_handle(held_handle&& other) noexcept : native_(other.release()) {}
    held_handle& operator=(held_handle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    held_handle(const held_handle&) = delete;
    held_handle& operator=(const held_handle&) = delete;

    bool is_open() const { return native_ != closed; }
    std::intptr_t native() const { return native_; }
    std::intptr_t release() {
        const std::intptr_t held = native_;
        native_ = closed;
        return held;
    }
    void reset(std::intptr_t native = closed);

    static constexpr std::intptr_t closed = -1;

private:
    std::intptr_t native_ = closed;
};

// Why an output is refused before a byte is written, where the system gives no error number.
// In a folder that others may write and that only lets owners remove their own entries (a
// sticky folder such as /tmp), what another user put there is neither followed nor written.
enum class output_refusal {
    none,
    foreign_link,  // the path leads through such a folder's symbolic link of another user
    foreign_file,  // the file is such a folder's file of another user
};

// What keeps this process from putting a new file in place of the final name in one step, though
// the file itself may be written.
enum class replace_obstacle {
    none,
    sticky_folder,       // only the file's or the folder's owner may rename over it
    append_only_folder,  // nothing in the folder may be renamed or removed
    mount_point,         // the file is mounted over the name (a container's bind-mounted file)
    descriptor,          // the path names an open descriptor, not a name in a folder
    in_use,              // another process has it open, letting others write it but not replace it
};

// Where an output path leads, found once, so that no later step can be sent elsewhere: the
// folder of the final name is held open, and every later step acts relative to it.
struct output_place {
    held_handle folder;  // the folder that holds name
    file_identity folder_identity;
    std::string folder_path;  // the folder as reached, for the layer's own use
    // The final name in the folder: symbolic links followed; on Windows an existing file's long
    // name where it was given by its 8.3 name.
    std::string name;
    // Held instead when the path names one of the process's own descriptors (/dev/stdout,
    // /proc/self/fd/N): such a file has no folder and name to be found by, and is written in
    // place.
    held_handle descriptor;
    bool exists = false;
    file_status status;  // of the existing file
    replace_obstacle obstacle = replace_obstacle::none;
};

struct place_result {
    int error = 0;
    output_refusal refusal = output_refusal::none;
};

// Resolves path as an output: symbolic links are followed to the file they finally name (none
// that another user put in a shared folder), the final name's folder is opened, and an existing
// file is looked at without being opened. Fails with EISDIR for a folder, ENOENT for an empty
// name, and the system's reason when the folder it would go into does not exist.
place_result find_output_place(const char* path, output_place& place);

// True when two names in one folder name the same entry as the file system compares names: byte
// for byte on POSIX systems; on Windows without regard to case or to trailing dots and blanks.
bool same_name(const std::string& a, const std::string& b);

// Opens place's existing regular file for writing without emptying it: the access check that a
// plain open for writing makes (a read-only file gives EACCES, one that another process holds
// file_in_use), and the descriptor through which it is written when it can't be replaced.
int open_existing_for_writing(const output_place& place, int& fd);
// Opens place's existing file that is not a regular one (a device, a FIFO) for writing, in place.
int open_in_place(const output_place& place, int& fd);
// Creates place's final name as a new file for writing, exclusively, with the mode a plain create
// gives: for a folder where no file may be renamed into place.
int create_in_place(const output_place& place, int& fd);

// Temporary files of this run in place's folder: created exclusively (never an existing file) and
// removed by any signal that ends the process. private_file: readable by the owner only, else with
// the mode a plain create gives (0666 less the umask, or the folder's default ACL). At most two at
// a time.
int create_temporary(const output_place& place, const std::string& name, bool private_file,
                     int& fd);
// Renames the temporary file over place's final name in one step (the old file stays until then)
// and stops watching it. It takes the place of the file that was found there and of nothing else:
// a name that was free must still be free, an existing file must still be that file.
int commit_temporary(const output_place& place, const std::string& name);
// Removes the temporary file (closed or not), when it is still this run's, and stops watching it.
void discard_temporary(const output_place& place, const std::string& name);
// Flushes the folder's entries to the disk, so that a rename in it survives a power cut. 0 where
// the system has no such step, or the folder can't be read.
int sync_folder(const output_place& place);

// A nameless file in the system's temporary folder, open for reading and writing and gone once
// closed: where an image is built when it can't be built beside its output.
int create_scratch(int& fd);

// What a replacement takes over from the file it replaces, as a plain write would keep it: 0, or
// why it can't. The ACL and extended attributes of to become those of from (an ACL that to got
// from its folder goes), but for those a plain write drops too (a program's capabilities).
int copy_extended_attributes(int from_fd, int to_fd);
// Owner and group; the group alone.
int set_owner(int fd, unsigned owner, unsigned group);
int set_group(int fd, unsigned group);
int set_permissions(int fd, unsigned permissions);
// Makes sure that the file has room for size bytes, so that writing them can't fail for lack of
// space; 0 where the file system can't tell in advance.
int reserve(int fd, std::uint64_t size);

// Windows renames nothing over a file that is open; POSIX systems do.
#ifdef _WIN32
constexpr bool open_files_block_renames = true;
#else
constexpr bool open_files_block_renames = false;
#endif

}  // namespace swug::platform
