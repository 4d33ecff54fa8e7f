#include "output/output.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <random>

namespace swug {

namespace sys = output_system;

void sys::owned_descriptor::reset(int fd) {
    if (fd_ >= 0) {
        (void)platform::close_file(fd_);
    }
    fd_ = fd;
}

namespace {

// Longest final name kept whole in a temporary name, so ".name.swug-XXXXXX" fits 255 bytes.
constexpr std::size_t max_kept_name = 240;
// Random names tried before giving up; a clash is already unlikely once.
constexpr int max_name_tries = 100;

}  // namespace

std::string sys::temporary_name(const std::string& final_name) {
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

namespace {

// Where a rewritten output's new content passes through: a fixed buffer, so that writing it out
// needs no memory that could be missing by then.
std::uint8_t rewrite_chunk[64 * 1024];

// Writes the whole of from into to, from their starts. Room for all of it is made first, so that
// a full disk fails before anything of to is touched.
int copy_all(int from, int to, std::uint64_t& size) {
    platform::file_status source;
    if (const int error = platform::status_of(from, source); error != 0) {
        return error;
    }
    size = static_cast<std::uint64_t>(source.size);
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
            return 0;
        }
        if (const int error = platform::write_all(to, rewrite_chunk, got.count); error != 0) {
            return error;
        }
    }
}

// Writes the whole of from over to, cuts to to the same size, then syncs it.
int copy_over(int from, int to) {
    std::uint64_t size = 0;
    int error = copy_all(from, to, size);
    if (error == 0) {
        error = platform::resize(to, size);
    }
    return error != 0 ? error : platform::sync(to);
}

// Reads count bytes at offset of fd into rewrite_chunk.
int read_chunk_at(int fd, std::uint64_t offset, std::size_t count) {
    if (const int error = platform::seek_to(fd, offset); error != 0) {
        return error;
    }
    for (std::size_t filled = 0; filled < count;) {
        const platform::read_result got =
            platform::read_some(fd, rewrite_chunk + filled, count - filled);
        if (got.error != 0 || got.count == 0) {
            return got.error != 0 ? got.error : EIO;  // shorter than it was
        }
        filled += got.count;
    }
    return 0;
}

// Moves the whole of from to the same offsets in to, last chunk first, cutting each off from
// before it is written: on one file system the room that a chunk frees takes it again, so a full
// disk holds both files' content as long as it holds one of them. from is left empty.
int move_all(int from, int to) {
    platform::file_status source;
    if (const int error = platform::status_of(from, source); error != 0) {
        return error;
    }
    auto end = static_cast<std::uint64_t>(source.size);
    while (end > 0) {
        // Chunks start at multiples of the chunk's size, which is a multiple of the blocks'.
        const std::uint64_t start = (end - 1) / sizeof rewrite_chunk * sizeof rewrite_chunk;
        const auto count = static_cast<std::size_t>(end - start);
        int error = read_chunk_at(from, start, count);
        if (error == 0) {
            error = platform::resize(from, start);
        }
        if (error == 0) {
            error = platform::write_all_at(to, start, rewrite_chunk, count);
        }
        if (error != 0) {
            return error;
        }
        end = start;
    }
    return 0;
}

}  // namespace

namespace {

// Finds where path leads, and checks that an existing file there may be written as a plain open
// for writing would.
failure find_output_target(const char* path, output_target& target) {
    target = output_target();
    target.path = path;
    if (const failure found = sys::find_output_place(path, target.place)) {
        return found;
    }
    if (!target.exists() || target.status().kind != platform::file_kind::regular) {
        return {};
    }
    // The access check of a plain open for writing, made now, before any file is created.
    int fd = -1;
    if (const int error = sys::open_existing_for_writing(target.place, fd); error != 0) {
        return {error == EACCES                  ? failure_kind::read_only
                : error == platform::file_in_use ? failure_kind::cannot_write
                                                 : failure_kind::cannot_create,
                error};
    }
    target.existing.reset(fd);
    return {};
}

// True for two names that differ in the case of ASCII letters alone, as every case-insensitive
// file system compares them.
bool same_but_for_case(const std::string& a, const std::string& b) {
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

// True when two targets would write the same file: the same existing file, or the same name in
// the same folder (however the folder is reached), names compared as same_name does.
bool same_destination(const output_target& a, const output_target& b) {
    if (a.exists() && b.is(a.status().identity)) {
        return true;
    }
    const sys::output_place& x = a.place;
    const sys::output_place& y = b.place;
    return !x.descriptor.is_open() && !y.descriptor.is_open() &&
           x.folder_identity == y.folder_identity && sys::same_name(x.name, y.name);
}

// True when the target is the file the tool's standard output goes to, where a report written
// there would land inside the output. A device such as /dev/null may be both; a terminal may not.
bool is_standard_output(const output_target& target) {
    platform::file_status report_file;
    return platform::status_of(platform::standard_output, report_file) == 0 &&
           (report_file.kind != platform::file_kind::character_device ||
            platform::is_terminal(platform::standard_output)) &&
           target.is(report_file.identity);
}

// Finds one output's target and refuses what it must not be.
failure accept(const char* path, const std::vector<kept_file>& kept, bool must_seek,
               output_target& target) {
    if (const failure found = find_output_target(path, target)) {
        return found;
    }
    for (const kept_file& k : kept) {
        if (target.is(k.identity)) {
            return {k.refusal};
        }
    }
    if (is_standard_output(target)) {
        return {failure_kind::same_as_report};
    }
    // A FIFO can't go back to the start, and is refused before it is opened, which would wait
    // for a reader; a terminal is refused once it is open, before a byte reaches it.
    if (must_seek && target.is_fifo()) {
        return {failure_kind::cannot_write, ESPIPE};
    }
    return {};
}

}  // namespace

namespace {

// Finds every requested output's target and refuses what it must not be, before any is created.
open_result accept_all(std::initializer_list<output_request> requests,
                       const std::vector<kept_file>& kept, bool must_seek,
                       std::vector<output_target>& targets) {
    const output_request* request = requests.begin();
    for (std::size_t i = 0; i < requests.size(); ++i) {
        if (request[i].path == nullptr) {
            continue;
        }
        if (const failure refused = accept(request[i].path, kept, must_seek, targets[i])) {
            return {refused, i};
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (request[j].path != nullptr && same_destination(targets[j], targets[i])) {
                return {{failure_kind::same_outputs}, j};
            }
        }
    }
    return {};
}

}  // namespace

open_result open_outputs(std::initializer_list<output_request> requests,
                         const std::vector<kept_file>& kept, bool must_seek,
                         const std::function<failure()>& before_creating) {
    std::vector<output_target> targets(requests.size());
    if (const open_result refused = accept_all(requests, kept, must_seek, targets);
        refused.failed) {
        return refused;
    }
    if (before_creating) {
        if (const failure stopped = before_creating()) {
            return {stopped, 0};
        }
    }
    const output_request* request = requests.begin();
    for (std::size_t i = 0; i < requests.size(); ++i) {
        if (request[i].path == nullptr) {
            continue;
        }
        if (const failure failed = request[i].out->open(std::move(targets[i]), must_seek)) {
            for (const output_request& opened : requests) {
                if (opened.out != nullptr) {
                    opened.out->drop();
                }
            }
            return {failed, i};
        }
    }
    return {};
}

failure output::open(output_target&& target, bool must_seek) {
    if (const int error = create(std::move(target)); error != 0) {
        return {failure_kind::cannot_create, error};
    }
    // A terminal can't go back to its start; it is refused before a byte reaches it.
    const int error = must_seek ? platform::check_seekable(sink()) : 0;
    return error != 0 ? failure{failure_kind::cannot_write, error} : failure{};
}

int output::create(output_target&& target) {
    drop();
    target_ = std::move(target);
    const sys::output_place& place = target_.place;
    if (!target_.replaced()) {
        route_ = route::in_place;
        return sys::open_in_place(place, fd_);
    }
    if (place.obstacle != rewrite_reason::none) {
        return start_rewrite(place.obstacle);
    }
    const int error = create_beside();
    // Where the old file may be written but no second file can be made beside it, it is written
    // over, as a plain write would.
    if (target_.exists() && (error == EACCES || error == EPERM)) {
        return start_rewrite(rewrite_reason::folder_forbids_new_files);
    }
    if (target_.exists() && platform::means_no_room(error)) {
        return start_rewrite(rewrite_reason::no_room_beside);
    }
    return error;
}

// A new file beside the target, under a name of this run's own. What it must take over of the old
// file is settled before a byte is written; where it can't be, the old file is written over
// instead, so that nothing a plain write keeps is lost.
int output::create_beside() {
    for (int tries = 0; tries < max_name_tries; ++tries) {
        std::string name = sys::temporary_name(target_.place.name);
        rewrite_reason lost = rewrite_reason::none;
        const int error =
            sys::create_temporary(target_.place, name, target_.existing.get(), fd_, lost);
        if (error == EEXIST) {
            continue;  // another run's file of the same name: never touched, try another name
        }
        if (error != 0) {
            return error;
        }
        temporary_name_ = std::move(name);
        route_ = route::beside;
        if (lost != rewrite_reason::none) {
            drop();
            return start_rewrite(lost);
        }
        return 0;
    }
    return EEXIST;
}

// The image is built in a scratch file, so that the old file stays as it is until commit; with
// no scratch file to be had, the old file is written over at once, as a plain write does.
int output::start_rewrite(rewrite_reason reason) {
    const int error = sys::create_scratch(fd_);
    if (error != 0) {
        return write_over_old(error, reason);
    }
    route_ = route::scratch;
    rewrite_ = reason;
    return 0;
}

// What follows a write that failed for error: 0 once the content so far has moved where the
// write can be tried again, else the failure to report. A file system without room for a second
// copy of the image (or a scratch folder without room for it) stops no run that a plain write
// over the old file would finish; a new output has no old file, and fails as a plain write does.
int output::move_on(int error) {
    if (!platform::means_no_room(error)) {
        return error;
    }
    switch (route_) {
        case route::beside:
            if (target_.exists() && spill_to_scratch() == 0) {
                return 0;
            }
            return write_over_old(error, rewrite_reason::no_room_beside);
        case route::scratch:
            return write_over_old(error, rewrite_);
        default:
            return error;  // already written over, or in place
    }
}

// Moves what the new file beside the target holds to a scratch file, where the image is finished
// while the old file stays as it is; the new file goes, freeing its room.
int output::spill_to_scratch() {
    int scratch = -1;
    int error = sys::create_scratch(scratch);
    std::uint64_t size = 0;
    if (error == 0) {
        error = copy_all(fd_, scratch, size);
    }
    if (error == 0) {
        error = platform::seek_to(scratch, position_);
    }
    if (error != 0) {
        if (scratch >= 0) {
            (void)platform::close_file(scratch);
        }
        return error;
    }
    close_new_file();
    fd_ = scratch;
    route_ = route::scratch;
    rewrite_ = rewrite_reason::no_room_beside;
    return 0;
}

// Goes on writing straight into the old file, as a plain write does: what was written elsewhere
// so far moves into it, and that file goes. From now on a failure leaves the old file part
// written. error is the failure to report where there is no old file.
int output::write_over_old(int error, rewrite_reason reason) {
    const int old = target_.existing.get();
    if (old < 0) {
        return error;
    }
    if (fd_ >= 0) {
        if (const int moved = move_all(fd_, old); moved != 0) {
            return moved;
        }
        close_new_file();
    }
    if (const int sought = platform::seek_to(old, position_); sought != 0) {
        return sought;
    }
    route_ = route::over_old;
    rewrite_ = reason;
    return 0;
}

int output::write(const std::uint8_t* data, std::size_t size) {
    int error = platform::write_all(sink(), data, size);
    while (error != 0 && (error = move_on(error)) == 0) {
        error = platform::write_all(sink(), data, size);
    }
    if (error == 0) {
        position_ += size;
        end_ = std::max(end_, position_);
    }
    return error;
}

int output::write_at(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
    int error = platform::write_all_at(sink(), offset, data, size);
    while (error != 0 && (error = move_on(error)) == 0) {
        error = platform::write_all_at(sink(), offset, data, size);
    }
    if (error == 0) {
        end_ = std::max(end_, offset + size);
    }
    return error;
}

failure output::finish() {
    if (sink() < 0) {
        return {failure_kind::cannot_write, EBADF};
    }
    if (rewrite_ != rewrite_reason::none) {
        return {};  // the old file is written over at commit, or already is
    }
    int error = temporary_name_.empty() ? 0 : sys::finish_temporary(target_.place, fd_);
    const int close_error = platform::close_file(fd_);
    fd_ = -1;
    if (error == 0) {
        error = close_error;
    }
    return error != 0 ? failure{failure_kind::cannot_write, error} : failure{};
}

output::commit_result output::commit() {
    const commit_result result = put_in_place();
    if (result.failed.kind != failure_kind::cannot_write) {
        (void)sys::identity_now(target_.place, placed_);
    }
    return result;
}

bool output::takes_place_of(const output& earlier) const {
    platform::file_identity now;
    if (sys::identity_now(target_.place, now) != 0) {
        return false;  // still free
    }
    if (now == earlier.placed_) {
        return true;
    }
    // Some file systems number a file by the name it was looked up by (FAT through FUSE): there a
    // name that was free and now leads to a file, beside an earlier output named alike but for
    // case, is that output.
    const sys::output_place& mine = target_.place;
    const sys::output_place& theirs = earlier.target_.place;
    return !target_.exists() && !mine.descriptor.is_open() && !theirs.descriptor.is_open() &&
           mine.folder_identity == theirs.folder_identity &&
           same_but_for_case(mine.name, theirs.name);
}

output::commit_result output::put_in_place() {
    if (rewrite_ != rewrite_reason::none) {
        return rewrite();
    }
    if (temporary_name_.empty()) {
        return {};
    }
    if (const int error = sys::commit_temporary(target_.place, temporary_name_, target_.existing);
        error != 0) {
        return write_over_unnamed(error);
    }
    temporary_name_.clear();
    if (const int error = sys::sync_folder(target_.place); error != 0) {
        return {{failure_kind::not_synced, error}};
    }
    return {};
}

// A complete image that its folder had no room to name, though it had room for the image: the old
// file is written over with it, as a plain write does. Any other failure of the commit is the
// run's.
output::commit_result output::write_over_unnamed(int error) {
    int content = -1;
    if (!platform::means_no_room(error) || !target_.exists() ||
        sys::reopen_temporary(target_.place, temporary_name_, content) != 0) {
        return {{failure_kind::cannot_write, error}};
    }
    fd_ = content;
    route_ = route::scratch;
    rewrite_ = rewrite_reason::no_room_beside;
    return rewrite();
}

output::commit_result output::rewrite() {
    commit_result result;
    result.rewritten = rewrite_;
    int error = 0;
    if (!target_.exists()) {
        // A folder where no file may be renamed into place: the name is made now, exclusively.
        int fd = -1;
        error = sys::create_in_place(target_.place, fd);
        target_.existing.reset(fd);
    }
    const int old = target_.existing.get();
    if (error == 0 && route_ == route::scratch) {
        error = copy_over(fd_, old);
    } else if (error == 0) {
        // Written over already: what is left of the old file behind the image goes.
        error = platform::resize(old, end_);
        error = error != 0 ? error : platform::sync(old);
    }
    drop();
    if (error != 0) {
        result.failed = {failure_kind::cannot_write, error};
    }
    return result;
}

// Closes the file that the content is written to and removes it when it is a temporary file.
void output::close_new_file() {
    if (fd_ >= 0) {
        (void)platform::close_file(fd_);
        fd_ = -1;
    }
    if (!temporary_name_.empty()) {
        sys::discard_temporary(target_.place, temporary_name_);
        temporary_name_.clear();
    }
}

void output::drop() {
    close_new_file();
    route_ = route::none;
    rewrite_ = rewrite_reason::none;
    position_ = 0;
    end_ = 0;
}

}  // namespace swug
