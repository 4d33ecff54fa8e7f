// A file the tools read: opened once, read front to back with the system's read.
#pragma once

#include "os/platform.h"
#include "streams.h"

namespace swug {

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
    // Opens name, a file of the current folder that the user did not name, as never_block does;
    // in a shared folder, another user's link or file is refused as platform::open_unnamed_input
    // says.
    int open_unnamed(const char* name);
    bool is_open() const { return fd_ >= 0; }
    // What the file was when it was opened.
    const platform::file_status& status() const { return status_; }

    platform::read_result read(std::uint8_t* data, std::size_t size) override;
    int seek_to(std::uint64_t offset);

private:
    // Takes fd, opened for path with open_error as the result, unless it is a folder.
    int take(int open_error, int fd, const char* path);

    int fd_ = -1;
    platform::file_status status_;
};

}  // namespace swug
