#include "file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <random>

#include "image_format.h"

namespace swug {

namespace {

constexpr std::size_t page_size = 4096;
// Links followed before a target counts as a loop, as the system itself counts.
constexpr int max_link_hops = 40;
// Longest final name kept whole in a temporary name, so ".name.swug-XXXXXX" fits 255 bytes.
constexpr std::size_t max_kept_name = 240;
// Random names tried before giving up; a clash is already unlikely once.
constexpr int max_name_tries = 100;

bool is_separator(char c) {
    return c == '/' || (c == '\\' && platform::backslash_is_separator());
}

// A Windows drive prefix such as "C:", which stands for a folder of its own.
bool has_drive(const std::string& path) {
    return platform::backslash_is_separator() && path.size() > 1 && path[1] == ':';
}

// Up to and including the last separator (or a drive's "C:"), or empty for a name without a
// folder.
std::string folder_part(const std::string& path) {
    for (std::size_t at = path.size(); at > 0; --at) {
        if (is_separator(path[at - 1])) {
            return path.substr(0, at);
        }
    }
    return has_drive(path) ? path.substr(0, 2) : std::string();
}

bool is_absolute(const std::string& path) {
    return (!path.empty() && is_separator(path[0])) || has_drive(path);
}

// The hidden name of a new file beside final_path: ".NAME.swug-" and random letters, so that a
// file left by a killed run shows what it is and never matches another run's.
std::string temporary_name(const std::string& final_path) {
    static std::mt19937 generator(std::random_device{}());
    static constexpr char letters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const std::string folder = folder_part(final_path);
    std::string name = final_path.substr(folder.size(), max_kept_name);
    // Never cut a UTF-8 sequence in half.
    if (name.size() == max_kept_name) {
        while (!name.empty() && (static_cast<unsigned char>(name.back()) & 0xC0u) == 0x80u) {
            name.pop_back();
        }
        if (!name.empty() && (static_cast<unsigned char>(name.back()) & 0x80u) != 0) {
            name.pop_back();
        }
    }
    std::string suffix(6, 'x');
    std::uniform_int_distribution<std::size_t> pick(0, sizeof letters - 2);
    std::generate(suffix.begin(), suffix.end(), [&pick] { return letters[pick(generator)]; });
    return folder + "." + name + ".swug-" + suffix;
}

}  // namespace

const char* reason_text(int error) {
    return std::strerror(error != 0 ? error : EIO);
}

int write_standard_output(const std::string& text) {
    // The reason is taken right after the call that failed; a later call may change errno.
    static int failed_with = 0;
    if (failed_with == 0) {
        errno = 0;
        if (std::fputs(text.c_str(), stdout) == EOF || std::fflush(stdout) != 0) {
            failed_with = platform::last_error();
        }
    }
    return failed_with;
}

input_file::~input_file() {
    if (fd_ >= 0) {
        // Nothing was written, so nothing can be lost by a failed close.
        (void)platform::close_file(fd_);
    }
}

int input_file::open(const char* path, bool never_block) {
    int fd = -1;
    platform::file_status found;
    if (const int error = platform::open_for_reading(path, never_block, fd); error != 0) {
        // Some systems open a folder for reading and some refuse it; it is refused on all.
        const bool folder = platform::status_of_path(path, found) == 0 &&
                            found.kind == platform::file_kind::directory;
        return folder ? EISDIR : error;
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

int find_output_target(const char* path, output_target& target) {
    target = output_target();
    target.path = path;
    target.final_path = path;
    if (path[0] == '\0') {
        return ENOENT;  // no name to give the new file
    }
    platform::file_status status;
    const int error = platform::status_of_path(path, status);
    if (error != 0 && error != ENOENT) {
        return error;
    }
    target.exists = error == 0;
    target.status = status;
    if (target.exists && status.kind == platform::file_kind::directory) {
        return EISDIR;
    }
    if (!target.replaced()) {
        // A device or FIFO: opened by its name, and compared by its identity.
        target.location = target.final_path;
        return 0;
    }
    // The file that a chain of symbolic links finally names is the one replaced, so that the
    // links stay links.
    for (int hops = 0;; ++hops) {
        std::string link;
        if (const int link_error = platform::read_link(target.final_path.c_str(), link);
            link_error == EINVAL || link_error == ENOENT) {
            break;  // not a link, or nothing there yet: this is the file
        } else if (link_error != 0) {
            return link_error;
        }
        if (hops == max_link_hops) {
            return ELOOP;
        }
        target.final_path = is_absolute(link) ? link : folder_part(target.final_path) + link;
    }
    const std::string folder = folder_part(target.final_path);
    std::string absolute;
    if (const int folder_error =
            platform::absolute_folder(folder.empty() ? "." : folder.c_str(), absolute);
        folder_error != 0) {
        return folder_error;
    }
    target.location = absolute + "/" + target.final_path.substr(folder.size());
    return 0;
}

bool same_destination(const output_target& a, const output_target& b) {
    return (a.exists && b.is(a.status.identity)) || a.location == b.location;
}

bool is_standard_output(const output_target& target) {
    platform::file_status report_file;
    return platform::status_of(platform::standard_output, report_file) == 0 &&
           report_file.kind != platform::file_kind::character_device &&
           target.is(report_file.identity);
}

int output_file::create(const output_target& target) {
    discard();
    target_ = target;
    if (!target.replaced()) {
        int fd = -1;
        if (const int error = platform::open_for_writing_in_place(target.path.c_str(), fd);
            error != 0) {
            return error;
        }
        fd_ = fd;
        return 0;
    }
    for (int tries = 0; tries < max_name_tries; ++tries) {
        std::string name = temporary_name(target.final_path);
        int fd = -1;
        const int error = platform::create_temporary(name.c_str(), fd);
        if (error == EEXIST) {
            continue;  // another run's file of the same name: never touched, try another name
        }
        if (error != 0) {
            return error;
        }
        fd_ = fd;
        temporary_path_ = std::move(name);
        return 0;
    }
    return EEXIST;
}

int output_file::check_seekable() const {
    return platform::check_seekable(fd_);
}

int output_file::write(const std::uint8_t* data, std::size_t size) {
    return platform::write_all(fd_, data, size);
}

int output_file::write_at(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
    return platform::write_all_at(fd_, offset, data, size);
}

int output_file::finish() {
    if (fd_ < 0) {
        return EBADF;
    }
    int error = 0;
    if (!temporary_path_.empty()) {
        // The owner first: giving a file away clears its set-user-ID bits.
        if (target_.exists) {
            platform::try_set_owner(fd_, target_.status.owner, target_.status.group);
        }
        error = platform::set_permissions(
            fd_, target_.exists ? target_.status.permissions : platform::new_file_permissions());
        if (error == 0) {
            error = platform::sync(fd_);
        }
    }
    const int close_error = platform::close_file(fd_);
    fd_ = -1;
    return error != 0 ? error : close_error;
}

output_file::commit_result output_file::commit() {
    commit_result result;
    if (temporary_path_.empty()) {
        result.in_place = true;
        return result;
    }
    result.error = platform::commit_temporary(temporary_path_.c_str(), target_.final_path.c_str());
    if (result.error != 0) {
        return result;
    }
    temporary_path_.clear();
    result.in_place = true;
    const std::string folder = folder_part(target_.final_path);
    result.error = platform::sync_folder(folder.empty() ? "." : folder.c_str());
    return result;
}

void output_file::discard() {
    if (fd_ >= 0) {
        (void)platform::close_file(fd_);
        fd_ = -1;
    }
    if (!temporary_path_.empty()) {
        platform::discard_temporary(temporary_path_.c_str());
        temporary_path_.clear();
    }
}

copy_buffer::copy_buffer(std::size_t capacity)
    : data_(static_cast<std::uint8_t*>(::operator new[](capacity, std::align_val_t{page_size}))),
      capacity_(capacity) {}

void copy_buffer::page_free::operator()(std::uint8_t* data) const {
    ::operator delete[](data, std::align_val_t{page_size});
}

void copy_buffer::add_zeros(std::size_t count) {
    std::memset(room(), 0, count);
    fill(count);
}

copy_result copy_summing(byte_source& source, std::uint64_t max_bytes, copy_buffer& buffer,
                         byte_sink* sink, copy_totals& totals) {
    std::uint64_t remaining = max_bytes;
    // Without a sink the bytes are only counted, so whatever the buffer held can go.
    if (sink == nullptr) {
        buffer.clear();
    }
    while (remaining > 0) {
        if (sink != nullptr && buffer.room_size() == 0) {
            if (const copy_result written = flush(buffer, *sink);
                written.status != copy_status::ok) {
                return written;
            }
        }
        const std::size_t wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(remaining, buffer.room_size()));
        const platform::read_result got = source.read(buffer.room(), wanted);
        if (got.error != 0) {
            return {copy_status::read_failed, got.error};
        }
        if (got.count == 0) {
            break;
        }
        totals.sum += check_sum32(buffer.room(), static_cast<std::int32_t>(got.count));
        totals.count += got.count;
        remaining -= got.count;
        if (sink != nullptr) {
            buffer.fill(got.count);
        }
    }
    return {};
}

copy_result flush(copy_buffer& buffer, byte_sink& sink) {
    const int error = sink.write(buffer.data(), buffer.filled());
    if (error != 0) {
        return {copy_status::write_failed, error};
    }
    buffer.clear();
    return {};
}

}  // namespace swug
