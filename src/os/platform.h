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
// Why an input is not opened, where anybody may have put what is found: its path leads through
// another user's symbolic link in a sticky folder that others may write (planted_link); the file
// of the current folder that nobody named is another user's file in such a folder (planted_file).
constexpr int planted_link = 0x10001;
constexpr int planted_file = 0x10002;

// The text of a reason that is this layer's own, as the tools say it after a name; nullptr for
// an errno value, whose text is the C library's.
inline const char* own_reason_text(int error) {
    switch (error) {
        case file_in_use:
            return "it is in use by another process";
        case planted_link:
            return "it leads through another user's symbolic link in a shared folder";
        case planted_file:
            return "it is another user's file in a shared folder";
        default:
            return nullptr;
    }
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
// ending signal, allocating nothing. The tools throw nothing but std::bad_alloc, which each
// catches; terminate is what is left when memory is so short that even that exception can't be
// made.
void end_terminate_with(int fd, const char* text, int status);

// What an ending signal does first, for an ending that can't unwind: this run's temporary files
// removed, the terminal or console restored. Allocates nothing.
void clean_up_at_once();

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

// The working directory, however long, into directory; returns 0, or the system's reason why it
// can't be told (a directory that was removed: ENOENT). directory is empty after a failure.
int current_directory(std::string& directory);

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
// such a file will be refused anyway). On Linux, a symbolic link on the way, the last name's or a
// folder's, that lies in a sticky folder that others may write is followed only when it is this
// user's or the folder owner's (else planted_link), whatever the system's own settings: what the
// system's protected_symlinks gives a plain open.
int open_for_reading(const char* path, bool never_block, int& fd);
// Opens name, a file of the current folder that the user did not name (mcu_ota.bin), as
// open_for_reading does; but in a sticky folder that others may write (/tmp), where anybody may
// have put it, another user's symbolic link is not followed (planted_link) and another user's
// file is not used (planted_file): a plain write would never read a third file. Where a link of
// that name leads is checked as open_for_reading checks a path.
int open_unnamed_input(const char* name, bool never_block, int& fd);

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

// Makes sure that the file has room for size bytes, so that writing them can't fail for lack of
// space; 0 where the file system can't tell in advance.
int reserve(int fd, std::uint64_t size);

// What an ending signal (Linux) or a console's Ctrl-C (Windows) runs before the process ends as it
// would have: the outputs' removal of this run's temporary files. It must be async-signal-safe.
// Set once, before the first temporary file.
void on_ending(void (*clean_up)());

// Keeps clean_up from running while it lives, so that it never sees a temporary file half
// registered: the ending signals are held back, or the console handler's lock is held.
class ending_held {
public:
    ending_held();
    ~ending_held();
    ending_held(const ending_held&) = delete;
    ending_held& operator=(const ending_held&) = delete;
};

}  // namespace swug::platform
