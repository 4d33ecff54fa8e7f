#include "fake_stream.h"

#include <algorithm>
#include <cstring>

namespace swug::testing {

namespace {

ssize_t fake_read(void* cookie, char* buf, std::size_t size) {
    auto& file = *static_cast<fake_file*>(cookie);
    if (file.position >= file.fail_at) {
        errno = file.error;
        return -1;
    }
    const std::uint64_t end = std::min(file.size(), file.fail_at);
    const std::size_t count =
        file.position >= end
            ? 0
            : static_cast<std::size_t>(std::min<std::uint64_t>(size, end - file.position));
    if (file.zeros != 0) {
        std::memset(buf, 0, count);
    } else {
        std::memcpy(buf, file.data.data() + file.position, count);
    }
    file.position += count;
    return static_cast<ssize_t>(count);
}

ssize_t fake_write(void* cookie, const char* buf, std::size_t size) {
    auto& file = *static_cast<fake_file*>(cookie);
    if (file.position >= file.fail_at) {
        errno = file.error;
        return 0;
    }
    const std::size_t count =
        static_cast<std::size_t>(std::min<std::uint64_t>(size, file.fail_at - file.position));
    if (file.keep_writes) {
        if (file.data.size() < file.position + count) {
            file.data.resize(file.position + count);
        }
        std::memcpy(file.data.data() + file.position, buf, count);
    }
    file.position += count;
    if (count < size) {
        // glibc takes a short write on a cookie stream as the error itself.
        errno = file.error;
    }
    return static_cast<ssize_t>(count);
}

int fake_seek(void* cookie, off64_t* offset, int whence) {
    auto& file = *static_cast<fake_file*>(cookie);
    if (file.fail_seek) {
        errno = ESPIPE;
        return -1;
    }
    const auto base = whence == SEEK_SET   ? 0
                      : whence == SEEK_CUR ? static_cast<off64_t>(file.position)
                                           : static_cast<off64_t>(file.size());
    file.position = static_cast<std::uint64_t>(base + *offset);
    *offset = static_cast<off64_t>(file.position);
    return 0;
}

int fake_close(void*) {
    return 0;
}

}  // namespace

std::FILE* open_fake(fake_file& file, const char* mode) {
    file.position = 0;
    return fopencookie(&file, mode, {fake_read, fake_write, fake_seek, fake_close});
}

}  // namespace swug::testing
