// Files as the tools use them: inputs read with the system's read, outputs that take the place of
// a regular file only once they are complete, and the one copy loop that sums the bytes on the
// way. Every step returns what happened as a value: 0, or the system's error number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "messages.h"
#include "platform.h"

namespace swug {

// Where file data comes from and where it goes: the files below, or a test's stand-ins.
class byte_source {
public:
    virtual ~byte_source() = default;
    // Up to size bytes into data; a count of 0 without an error is the end.
    virtual platform::read_result read(std::uint8_t* data, std::size_t size) = 0;
};

class byte_sink {
public:
    virtual ~byte_sink() = default;
    virtual int write(const std::uint8_t* data, std::size_t size) = 0;
    virtual int write_at(std::uint64_t offset, const std::uint8_t* data, std::size_t size) = 0;
};

// An input file; the object owns the descriptor and closes it.
class input_file final : public byte_source {
public:
    input_file() = default;
    ~input_file() override;
    input_file(const input_file&) = delete;
    input_file& operator=(const input_file&) = delete;

    // Opens path for reading. A folder is refused with EISDIR on every system. never_block: a
    // FIFO or device can't stall the open.
    int open(const char* path, bool never_block = false);
    bool is_open() const { return fd_ >= 0; }
    // What the file was when it was opened.
    const platform::file_status& status() const { return status_; }

    platform::read_result read(std::uint8_t* data, std::size_t size) override;
    int seek_to(std::uint64_t offset);

private:
    int fd_ = -1;
    platform::file_status status_;
};

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

// Size of the one buffer that file data passes through: large enough that system calls don't
// dominate, fixed, so memory use does not depend on file sizes.
constexpr std::size_t copy_buffer_size = std::size_t{256} * 1024;

// That buffer: allocated once and aligned to a page, so that every full write starts on a page
// boundary of the output. Allocated before any output file exists, and without throwing: a
// process short of memory is told by allocated(), and fails with an ordinary error.
class copy_buffer {
public:
    explicit copy_buffer(std::size_t capacity = copy_buffer_size);

    bool allocated() const { return data_ != nullptr; }

    const std::uint8_t* data() const { return data_.get(); }
    std::size_t filled() const { return filled_; }
    // The free space behind the bytes held, and its size.
    std::uint8_t* room() { return data_.get() + filled_; }
    std::size_t room_size() const { return capacity_ - filled_; }
    // Takes count bytes written into room() as held.
    void fill(std::size_t count) { filled_ += count; }
    // Puts count zero bytes behind what the buffer holds; count must fit.
    void add_zeros(std::size_t count);
    void clear() { filled_ = 0; }

private:
    struct page_free {
        void operator()(std::uint8_t* data) const;
    };
    std::unique_ptr<std::uint8_t[], page_free> data_;
    std::size_t capacity_ = 0;
    std::size_t filled_ = 0;
};

// Bytes counted and byte-summed by the copy loop.
struct copy_totals {
    std::uint64_t count = 0;
    std::uint32_t sum = 0;
};

// Reads source straight into the buffer until its end or until max_bytes were read, and adds
// each read's length and byte-sum to totals. A full buffer is written to sink (with no sink, the
// bytes are only counted). What is left in the buffer stays there for the next copy or flush.
// A failed read is a failure of kind unreadable, a failed write one of cannot_write.
failure copy_summing(byte_source& source, std::uint64_t max_bytes, copy_buffer& buffer,
                     byte_sink* sink, copy_totals& totals, failure_kind unreadable);

// Writes what the buffer holds to sink and empties it.
failure flush(copy_buffer& buffer, byte_sink& sink);

}  // namespace swug
