#include "os/input_file.h"

#include <cerrno>

namespace swug {

input_file::~input_file() {
    if (fd_ >= 0) {
        // Nothing was written, so nothing can be lost by a failed close.
        (void)platform::close_file(fd_);
    }
}

int input_file::open(const char* path, bool never_block) {
    int fd = -1;
    const int error = platform::open_for_reading(path, never_block, fd);
    return take(error, fd, path);
}

int input_file::open_unnamed(const char* name) {
    int fd = -1;
    const int error = platform::open_unnamed_input(name, true, fd);
    return take(error, fd, name);
}

int input_file::take(int open_error, int fd, const char* path) {
    platform::file_status found;
    if (open_error != 0) {
        // Some systems open a folder for reading and some refuse it; it is refused on all. A
        // reason of the layer's own is why already: where a refused link leads is not looked at.
        const bool folder = platform::own_reason_text(open_error) == nullptr &&
                            platform::status_of_path(path, found) == 0 &&
                            found.kind == platform::file_kind::directory;
        return folder ? EISDIR : open_error;
    }
    int error = platform::status_of(fd, found);
    if (error == 0 && found.kind == platform::file_kind::directory) {
        error = EISDIR;
    }
    if (error != 0) {
        (void)platform::close_file(fd);
        return error;
    }
    fd_ = fd;
    status_ = found;
    return 0;
}

platform::read_result input_file::read(std::uint8_t* data, std::size_t size) {
    return platform::read_some(fd_, data, size);
}

int input_file::seek_to(std::uint64_t offset) {
    return platform::seek_to(fd_, offset);
}

}  // namespace swug
