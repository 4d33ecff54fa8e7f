#include "file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform.h"

namespace swug {

file_ptr open_stream(const char* path, const char* mode) {
    errno = 0;
    file_ptr stream(std::fopen(path, mode));
    if (stream) {
        auto buffer = std::make_unique<char[]>(stream_buffer_size);
        // Without its own buffer the stream still works, only with smaller system calls.
        if (std::setvbuf(stream.get(), buffer.get(), _IOFBF, stream_buffer_size) == 0) {
            stream.get_deleter().buffer = std::move(buffer);
        }
    }
    return stream;
}

copy_status copy_summing(std::FILE* in, std::FILE* out, std::uint64_t max_bytes, chunk_buffer& buf,
                         copy_totals& totals) {
    std::uint64_t remaining = max_bytes;
    while (remaining > 0) {
        const std::size_t wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(remaining, buf.size()));
        errno = 0;
        const std::size_t rd = std::fread(buf.data(), 1, wanted, in);
        if (rd > 0) {
            totals.sum += check_sum32(buf.data(), static_cast<std::int32_t>(rd));
            totals.count += rd;
            remaining -= rd;
            if (out != nullptr) {
                errno = 0;
                if (std::fwrite(buf.data(), 1, rd, out) != rd) {
                    return copy_status::write_failed;
                }
            }
        }
        if (rd < wanted) {
            // A short read is the end of the input or an error; only ferror tells which.
            return std::ferror(in) != 0 ? copy_status::read_failed : copy_status::ok;
        }
    }
    return copy_status::ok;
}

int output_file::create(const char* path) {
    discard();
    stream_ = open_stream(path, "wb");
    if (!stream_) {
        return errno != 0 ? errno : EIO;
    }
    path_ = path;
    // Never unlink a device, a pipe or anything else that this run did not make as a file.
    removable_ = platform::kind_of(stream_.get()) == platform::file_kind::regular;
    return 0;
}

int output_file::finish() {
    if (!stream_) {
        return EBADF;
    }
    errno = 0;
    int reason = 0;
    if (std::fflush(stream_.get()) != 0 || std::ferror(stream_.get()) != 0) {
        reason = errno != 0 ? errno : EIO;
    }
    errno = 0;
    if (std::fclose(stream_.release()) != 0 && reason == 0) {
        reason = errno != 0 ? errno : EIO;
    }
    if (reason != 0 && removable_) {
        std::remove(path_);
    }
    removable_ = false;
    return reason;
}

void output_file::discard() {
    if (!stream_) {
        return;
    }
    // Make sure the name still leads to the file this run wrote before removing it.
    const bool remove_it = removable_ && platform::is_same_file(stream_.get(), path_);
    stream_.reset();
    if (remove_it) {
        std::remove(path_);
    }
    removable_ = false;
}

const char* reason_text(int error_number) {
    return std::strerror(error_number != 0 ? error_number : EIO);
}

}  // namespace swug
