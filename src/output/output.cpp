#include "output/output.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <random>

namespace swug {

namespace {

// Longest final name kept whole in a temporary name, so ".name.swug-XXXXXX" fits 255 bytes.
constexpr std::size_t max_kept_name = 240;
// Random names tried before giving up; a clash is already unlikely once.
constexpr int max_name_tries = 100;

// The hidden name of a new file beside one named final_name: ".NAME.swug-" and random letters,
// so that a file left by a killed run shows what it is and never matches another run's.
std::string temporary_name(const std::string& final_name) {
    static std::mt19937 generator(std::random_device{}());
    static constexpr char letters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = final_name.substr(0, max_kept_name);
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
    return "." + name + ".swug-" + suffix;
}

// Where a rewritten output's new content passes through: a fixed buffer, so that writing it out
// needs no memory that could be missing by then.
std::uint8_t rewrite_chunk[64 * 1024];

// Writes the whole of from over to, from their starts, and cuts to to the same size, then syncs
// it. Room for all of it is made first, so that a full disk fails before the old content is
// touched.
int copy_over(int from, int to) {
    platform::file_status source;
    if (const int error = platform::status_of(from, source); error != 0) {
        return error;
    }
    const auto size = static_cast<std::uint64_t>(source.size);
    for (const int error :
         {platform::reserve(to, size), platform::seek_to(from, 0), platform::seek_to(to, 0)}) {
        if (error != 0) {
            return error;
        }
    }
    for (;;) {
        const platform::read_result got =
            platform::read_some(from, rewrite_chunk, sizeof rewrite_chunk);
        if (got.error != 0) {
            return got.error;
        }
        if (got.count == 0) {
            break;
        }
        if (const int error = platform::write_all(to, rewrite_chunk, got.count); error != 0) {
            return error;
        }
    }
    if (const int error = platform::resize(to, size); error != 0) {
        return error;
    }
    return platform::sync(to);
}

}  // namespace

void owned_descriptor::reset(int fd) {
    if (fd_ >= 0) {
        (void)platform::close_file(fd_);
    }
    fd_ = fd;
}

failure find_output_target(const char* path, output_target& target) {
    target = output_target();
    target.path = path;
    const platform::place_result found = platform::find_output_place(path, target.place);
    switch (found.refusal) {
        case platform::output_refusal::foreign_link:
            return {failure_kind::foreign_link};
        case platform::output_refusal::foreign_file:
            return {failure_kind::foreign_file};
        case platform::output_refusal::none:
            break;
    }
    if (found.error != 0) {
        return {failure_kind::cannot_create, found.error};
    }
    if (!target.exists() || target.status().kind != platform::file_kind::regular) {
        return {};
    }
    // The access check of a plain open for writing, made now, before any file is created.
    int fd = -1;
    if (const int error = platform::open_existing_for_writing(target.place, fd); error != 0) {
        return {error == EACCES                  ? failure_kind::read_only
                : error == platform::file_in_use ? failure_kind::cannot_write
                                                 : failure_kind::cannot_create,
                error};
    }
    target.existing.reset(fd);
    return {};
}

bool same_destination(const output_target& a, const output_target& b) {
    if (a.exists() && b.is(a.status().identity)) {
        return true;
    }
    const platform::output_place& x = a.place;
    const platform::output_place& y = b.place;
    return !x.descriptor.is_open() && !y.descriptor.is_open() &&
           x.folder_identity == y.folder_identity && platform::same_name(x.name, y.name);
}

bool is_standard_output(const output_target& target) {
    platform::file_status report_file;
    return platform::status_of(platform::standard_output, report_file) == 0 &&
           (report_file.kind != platform::file_kind::character_device ||
            platform::is_terminal(platform::standard_output)) &&
           target.is(report_file.identity);
}

namespace {

// Why a file that may be written can't be replaced in one step, as the platform found it.
rewrite_reason rewrite_reason_of(platform::replace_obstacle obstacle) {
    switch (obstacle) {
        case platform::replace_obstacle::sticky_folder:
            return rewrite_reason::folder_forbids_replacing;
        case platform::replace_obstacle::append_only_folder:
            return rewrite_reason::append_only_folder;
        case platform::replace_obstacle::mount_point:
            return rewrite_reason::mount_point;
        case platform::replace_obstacle::descriptor:
            return rewrite_reason::descriptor;
        case platform::replace_obstacle::in_use:
            return rewrite_reason::in_use;
        case platform::replace_obstacle::none:
            break;
    }
    return rewrite_reason::none;
}

}  // namespace

int output_file::create(output_target&& target) {
    discard();
    target_ = std::move(target);
    const platform::output_place& place = target_.place;
    if (!target_.replaced()) {
        return platform::open_in_place(place, fd_);
    }
    if (place.obstacle != platform::replace_obstacle::none) {
        return start_rewrite(rewrite_reason_of(place.obstacle));
    }
    for (int tries = 0; tries < max_name_tries && fd_ < 0; ++tries) {
        std::string name = temporary_name(place.name);
        int fd = -1;
        // A new file for an existing one stays private until it has taken over the old one's
        // permissions; a file with no predecessor gets what a plain create would give it.
        const int error = platform::create_temporary(place, name, target_.exists(), fd);
        if (error == EEXIST) {
            continue;  // another run's file of the same name: never touched, try another name
        }
        // Where the old file may be written but no second file can be made beside it, it is
        // written over, as a plain write would.
        if (target_.exists() && (error == EACCES || error == EPERM)) {
            return start_rewrite(rewrite_reason::folder_forbids_new_files);
        }
        if (target_.exists() && platform::means_no_room(error)) {
            return start_rewrite(rewrite_reason::no_room_beside);
        }
        if (error != 0) {
            return error;
        }
        fd_ = fd;
        temporary_name_ = std::move(name);
    }
    if (fd_ < 0) {
        return EEXIST;
    }
    if (!target_.exists()) {
        return 0;
    }
    // What the new file must take over is settled before a byte is written; where it can't be,
    // the old file is written over instead, so that nothing a plain write keeps is lost.
    if (const rewrite_reason lost = take_over_metadata(); lost != rewrite_reason::none) {
        discard();
        return start_rewrite(lost);
    }
    return 0;
}

rewrite_reason output_file::take_over_metadata() {
    const platform::file_status& old = target_.status();
    platform::file_status created;
    if (platform::status_of(fd_, created) != 0) {
        return rewrite_reason::attributes_not_kept;
    }
    if (created.owner != old.owner) {
        if (platform::set_owner(fd_, old.owner, old.group) != 0) {
            return rewrite_reason::owner_not_kept;
        }
    } else if (created.group != old.group && platform::set_group(fd_, old.group) != 0) {
        return rewrite_reason::group_not_kept;
    }
    if (platform::copy_extended_attributes(target_.existing.get(), fd_) != 0) {
        return rewrite_reason::attributes_not_kept;
    }
    return rewrite_reason::none;
}

int output_file::start_rewrite(rewrite_reason reason) {
    rewrite_ = reason;
    return platform::create_scratch(fd_);
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
    if (rewrite_ != rewrite_reason::none) {
        return 0;  // the new content waits in the scratch file until commit
    }
    int error = 0;
    if (!temporary_name_.empty() && target_.exists()) {
        // Without set-user-ID and set-group-ID: a plain write clears them from new content too.
        error = platform::set_permissions(fd_, target_.status().permissions & 0777u);
    }
    if (error == 0 && !temporary_name_.empty()) {
        error = platform::sync(fd_);
    }
    const int close_error = platform::close_file(fd_);
    fd_ = -1;
    return error != 0 ? error : close_error;
}

output_file::commit_result output_file::commit() {
    commit_result result;
    if (rewrite_ != rewrite_reason::none) {
        return rewrite();
    }
    if (temporary_name_.empty()) {
        result.in_place = true;
        return result;
    }
    if (platform::open_files_block_renames) {
        target_.existing.reset();
    }
    result.error = platform::commit_temporary(target_.place, temporary_name_);
    if (result.error != 0) {
        return result;
    }
    temporary_name_.clear();
    // Closed only now, so that nobody watching the old file sees it closed after writing before
    // the new one is in place.
    target_.existing.reset();
    result.in_place = true;
    result.error = platform::sync_folder(target_.place);
    return result;
}

output_file::commit_result output_file::rewrite() {
    commit_result result;
    result.rewritten = rewrite_;
    if (!target_.exists()) {
        // A folder where no file may be renamed into place: the name is made now, exclusively.
        int fd = -1;
        if (const int error = platform::create_in_place(target_.place, fd); error != 0) {
            result.error = error;
            return result;
        }
        target_.existing.reset(fd);
    }
    result.error = copy_over(fd_, target_.existing.get());
    result.in_place = result.error == 0;
    (void)platform::close_file(fd_);
    fd_ = -1;
    rewrite_ = rewrite_reason::none;
    return result;
}

void output_file::discard() {
    if (fd_ >= 0) {
        (void)platform::close_file(fd_);
        fd_ = -1;
    }
    if (!temporary_name_.empty()) {
        platform::discard_temporary(target_.place, temporary_name_);
        temporary_name_.clear();
    }
    rewrite_ = rewrite_reason::none;
}

}  // namespace swug
