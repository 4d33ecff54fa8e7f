// What each system's outputs do their own way (output_linux.cpp, output_windows.cpp), for
// output.cpp, which holds what both share. Every function returns 0 or the system's error number
// unless it says otherwise.
#pragma once

#include <string>

#include "messages.h"
#include "os/platform.h"

namespace swug::output_system {

// A descriptor of the C library that the object closes; nothing written through it can be lost
// by a failed close, so the close's result is not needed.
class owned_descriptor {
public:
    owned_descriptor() = default;
    explicit owned_descriptor(int fd) : fd_(fd) {}
    ~owned_descriptor() { reset(); }
    owned_descriptor(owned_descriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    owned_descriptor& operator=(owned_descriptor&& other) noexcept {
        if (this != &other) {
            reset(other.fd_);
            other.fd_ = -1;
        }
        return *this;
    }
    owned_descriptor(const owned_descriptor&) = delete;
    owned_descriptor& operator=(const owned_descriptor&) = delete;

    int get() const { return fd_; }
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

// Where an output path leads, found once, so that no later step can be sent elsewhere: the
// folder of the final name is held open, and every later step acts relative to it.
struct output_place {
    platform::held_handle folder;  // the folder that holds name
    platform::file_identity folder_identity;
    std::string folder_path;  // the folder as reached, on Windows, which renames by path
    // The final name in the folder: symbolic links followed; on Windows an existing file's long
    // name where it was given by its 8.3 name.
    std::string name;
    // Held instead when the path names one of the process's own descriptors (/dev/stdout,
    // /proc/self/fd/N): such a file has no folder and name to be found by, and is written in
    // place.
    platform::held_handle descriptor;
    bool exists = false;
    platform::file_status status;  // of the existing file
    // What keeps this process from putting a new file in place of the final name in one step,
    // though the file itself may be written.
    rewrite_reason obstacle = rewrite_reason::none;
};

// Resolves path as an output: symbolic links are followed to the file they finally name, the final
// name's folder is opened, and an existing file is looked at without being opened. Fails with
// cannot_create and EISDIR for a folder, ENOENT for an empty name, and the system's reason when
// the folder it would go into does not exist. In a folder that others may write and that only
// lets owners remove their own entries (a sticky folder such as /tmp), what another user put
// there is neither followed (foreign_link) nor written (foreign_file).
failure find_output_place(const char* path, output_place& place);

// True when two names in one folder name the same entry: byte for byte on Linux, which misses two
// spellings of one new file in a case-insensitive folder until one exists (output::takes_place_of);
// on Windows without regard to case or
// to trailing dots and blanks.
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

// The hidden name of a new file beside one named final_name: ".NAME.swug-" and random letters,
// so that a file left by a killed run shows what it is and never matches another run's; a long
// name is cut between UTF-8 characters. Shared by both systems (output.cpp).
std::string temporary_name(const std::string& final_name);

// A temporary file of this run in place's folder, open for reading (what it holds moves elsewhere
// when the disk is full) and writing, known by name until it is committed or discarded; at most two
// at a time. Never an existing file: on Linux a file with no name until commit, which no signal can
// leave behind, and where the file system can't make one, a file created exclusively under name,
// which anything that ends the process but a kill removes. With no existing file (old_fd -1) it
// gets the mode a plain create gives; one that is to replace the existing file old_fd is made to
// keep what a plain write keeps of it, and where that can't be, lost says why (the file is created
// all the same).
int create_temporary(const output_place& place, const std::string& name, int old_fd, int& fd,
                     rewrite_reason& lost);
// Readies the complete temporary file fd to take the final name, and flushes it to the disk.
int finish_temporary(const output_place& place, int fd);
// Puts the temporary file in place of the final name in one step and stops watching it. It takes
// the place of the file that was found there and of nothing else: a name that was free must still
// be free, an existing file must still be that file. A file with no name is linked under the
// final name where that is free, else under a hidden name that is renamed at once. old holds the
// existing file open until the system lets it go.
int commit_temporary(const output_place& place, const std::string& name, owned_descriptor& old);
// The content of a temporary file that commit_temporary could not give a name (its folder had no
// room for one), open for reading; the caller owns fd. ENOENT where the file has a name already.
int reopen_temporary(const output_place& place, const std::string& name, int& fd);
// Removes the temporary file (closed or not), when it is still this run's, and stops watching it.
void discard_temporary(const output_place& place, const std::string& name);
// What place's final name leads to now, itself when it is a link: ENOENT when nothing is there.
int identity_now(const output_place& place, platform::file_identity& identity);
// Makes the committed name survive a power cut. 0 where the folder can't be synced at all.
int sync_folder(const output_place& place);

// A nameless file in the system's temporary folder, open for reading and writing and gone once
// closed: where an image is built when it can't be built beside its output.
int create_scratch(int& fd);

}  // namespace swug::output_system
