// The few services that differ between POSIX systems and Windows. Everything else in the tools is
// written against the standard library and this header only. Paths are UTF-8 everywhere above
// this layer; on Windows it converts them to UTF-16 at its edge.
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

// Ignores the signals that would end the process instead of failing a write (a closed pipe, a
// file-size limit), and arranges for the ending signals (Ctrl-C and the like) to remove this
// run's temporary files and restore the terminal before the process ends as it would have.
// Standard input, output and error that the caller closed are opened on the null device, so that
// no file the tools open can take their place.
void prepare_process();

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

// Opens path for reading. never_block: a FIFO or device can't stall the open (use it only where
// such a file will be refused anyway).
int open_for_reading(const char* path, bool never_block, int& fd);
// Opens an existing file that is not a regular one (a device, a FIFO) for writing, in place.
int open_for_writing_in_place(const char* path, int& fd);

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
// Flushes the file's data to the disk.
int sync(int fd);
int close_file(int fd);

// Temporary files of this run: created exclusively (never an existing file), readable by the
// owner only, and removed by a signal that ends the process. At most two at a time.
int create_temporary(const char* path, int& fd);
// Renames the temporary file over final_path in one step (the old file stays until then) and
// stops watching it.
int commit_temporary(const char* path, const char* final_path);
// Removes the temporary file (closed or not) and stops watching it.
void discard_temporary(const char* path);
// Flushes a folder's entries to the disk, so that a rename in it survives a power cut. 0 where
// the system has no such step.
int sync_folder(const char* folder);

// Permission bits for a new file: 0666 without the process's umask (0 where there are none).
unsigned new_file_permissions();
int set_permissions(int fd, unsigned permissions);
// Gives the file owner and group, where the process may; a refusal is not an error.
void try_set_owner(int fd, unsigned owner, unsigned group);

// The target of a symbolic link as stored; EINVAL when path is not a symbolic link.
int read_link(const char* path, std::string& target);
// The absolute path of an existing folder, with every link resolved.
int absolute_folder(const char* folder, std::string& absolute);

}  // namespace swug::platform
