// Outputs that take the place of a regular file only once they are complete. Every step returns
// what happened as a value: 0, or the system's error number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "messages.h"
#include "os/platform.h"
#include "streams.h"

namespace swug {

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

// Where an output will go, found once, before anything is written: its folder is held open, so
// every later step acts on the file that was checked. A regular file, or nothing yet, is
// replaced: the new content goes to a temporary file beside it that takes its name only when
// complete. Anything else (a device, a FIFO) is written in place and never removed. Move-only.
struct output_target {
    std::string path;  // as given
    platform::output_place place;
    // An existing regular file, opened for writing without being emptied: it may be written, as a
    // plain open for writing would find, and it is written through this where it can't be replaced.
    owned_descriptor existing;

    bool exists() const { return place.exists; }
    const platform::file_status& status() const { return place.status; }
    bool replaced() const { return !exists() || status().kind == platform::file_kind::regular; }
    // True for an existing FIFO, which can't go back to its start.
    bool is_fifo() const { return exists() && status().kind == platform::file_kind::fifo; }
    // True when the output is the existing file with this identity, however it is spelled.
    bool is(const platform::file_identity& identity) const {
        return exists() && status().identity == identity;
    }
};

// Finds where path leads, and checks that an existing file there may be written as a plain open
// for writing would: cannot_create with EISDIR for a folder, with ENOENT for an empty name, and
// with the system's reason when the folder it would go into does not exist; foreign_link,
// foreign_file or read_only where the system gives no reason of its own, and cannot_write when
// another process holds the file.
failure find_output_target(const char* path, output_target& target);

// True when two targets would write the same file: the same existing file, or the same name in
// the same folder (however the folder is reached) as the file system compares names.
bool same_destination(const output_target& a, const output_target& b);

// True when the target is the file the tool's standard output goes to, where a report written
// there would land inside the output. A device such as /dev/null may be both; a terminal may not.
bool is_standard_output(const output_target& target);

// An output being written. It owns its target; destroyed unfinished or uncommitted, it removes its
// temporary file, and never anything else.
class output_file final : public byte_sink {
public:
    output_file() = default;
    ~output_file() override { discard(); }
    output_file(const output_file&) = delete;
    output_file& operator=(const output_file&) = delete;

    // A new temporary file in the target's folder, or the target itself when it is written in
    // place. The output's old content is untouched until commit: where the file can't be
    // replaced with all that a plain write keeps of it, the new content is built in a nameless
    // file of the system's temporary folder instead, and written over the old one at commit.
    int create(output_target&& target);

    // 0 when the file can go back to its start (a FIFO or terminal can't).
    int check_seekable() const;

    int write(const std::uint8_t* data, std::size_t size) override;
    int write_at(std::uint64_t offset, const std::uint8_t* data, std::size_t size) override;

    // A new file for an existing one has taken over at create what a plain write keeps (owner,
    // group, ACL, extended attributes), and takes the permission bits now, without set-user-ID
    // and set-group-ID. Then it is flushed to the disk and closed. An output written in place is
    // only closed.
    int finish();

    struct commit_result {
        int error = 0;                                    // why the step failed
        bool in_place = false;                            // the new content is at the output's name
        rewrite_reason rewritten = rewrite_reason::none;  // written over the old file, and why
    };
    // Renames the finished file over the target, then syncs the folder, so that a power cut
    // leaves the old image or the new one. in_place with an error: only the folder sync failed.
    // Where the file can't be replaced, writes the new content over it instead: then a failure
    // can leave it part written, as a plain write would.
    commit_result commit();

    // Closes the file and removes the temporary file, when there is one.
    void discard();

private:
    int start_rewrite(rewrite_reason reason);
    rewrite_reason take_over_metadata();
    commit_result rewrite();

    output_target target_;
    std::string temporary_name_;  // in the target's folder; empty when there is none
    int fd_ = -1;
    rewrite_reason rewrite_ = rewrite_reason::none;
};

}  // namespace swug
