// Checked stream handling shared by the tools: owned streams, the summing copy loop, and output
// files that are removed again when they could not be finished.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "image_format.h"

namespace swug {

// Size of the buffer of every stream the tools open: large enough that system calls don't
// dominate the copy, and fixed, so that memory use does not depend on file sizes.
constexpr std::size_t stream_buffer_size = 256 * 1024;

// Closes the stream, then frees the buffer it was given (the deleter outlives the close).
struct file_closer {
    std::unique_ptr<char[]> buffer;
    void operator()(std::FILE* stream) const noexcept { std::fclose(stream); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

// Opens path with mode ("rb" or "wb") and a stream buffer of stream_buffer_size; null with errno
// set when it can't be opened.
file_ptr open_stream(const char* path, const char* mode);

// Opens path for binary reading; null with errno set when it can't be opened.
inline file_ptr open_for_reading(const char* path) {
    return open_stream(path, "rb");
}

// Bytes counted and byte-summed by the copy loop.
struct copy_totals {
    std::uint64_t count = 0;
    std::uint32_t sum = 0;
};

enum class copy_status { ok, read_failed, write_failed };

// Reads `in` chunk by chunk through `buf` until its end or until max_bytes were read, adds each
// chunk's length and byte-sum to totals and writes the chunk to `out` (none when null). On a
// failure errno holds the system's reason.
copy_status copy_summing(std::FILE* in, std::FILE* out, std::uint64_t max_bytes, chunk_buffer& buf,
                         copy_totals& totals);

// An output file being written: created (or emptied) by create, kept by finish, and removed
// again when it is destroyed unfinished, but only when it is a regular file.
class output_file {
public:
    output_file() = default;
    output_file(const output_file&) = delete;
    output_file& operator=(const output_file&) = delete;
    ~output_file() { discard(); }

    // Opens path for binary writing; returns 0 or the errno value of the failure.
    int create(const char* path);

    std::FILE* stream() const { return stream_.get(); }

    // Flushes and closes the file; returns 0, or the errno value of the failure (then the
    // incomplete file is removed).
    int finish();

    // Closes the file without checking and removes it when it is a regular file.
    void discard();

private:
    file_ptr stream_;
    const char* path_ = nullptr;
    bool removable_ = false;
};

// Text of an errno value, or of EIO when the system gave none.
const char* reason_text(int error_number);

}  // namespace swug
