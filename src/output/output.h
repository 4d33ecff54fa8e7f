// The outputs of both tools, opened in one call that names the files they must not be, and put in
// place only once complete: every decision on whether and how an output is written is made here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "messages.h"
#include "os/platform.h"
#include "output/system.h"
#include "streams.h"

namespace swug {

// The module's own record of where an output will go (the tools hold only outputs), found once,
// before anything is written: its folder is held open, so every later step acts on the file that
// was checked. Move-only.
struct output_target {
    std::string path;  // as given
    output_system::output_place place;
    // An existing regular file, opened for writing without being emptied: it may be written, as a
    // plain open for writing would find, and it is written through this where it can't be replaced.
    output_system::owned_descriptor existing;

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

class output;

// A file that an output must not be (an input of the run), and the failure that refuses it.
struct kept_file {
    platform::file_identity identity;
    failure_kind refusal;
};

// One output to open: the path as given, and the output that takes it. A null path is not asked
// for, and leaves its output closed.
struct output_request {
    const char* path;
    output* out;
};

// What opening came to: no failure, or the failure and the request it concerns.
struct open_result {
    failure failed;
    std::size_t at = 0;
};

// Opens the requested outputs for writing in one step. Each path is looked up and refused first,
// before any file is created, in this order: where it can't lead (cannot_create), what may not be
// written as a plain open for writing would find (read_only; cannot_write for a file that another
// process holds; foreign_link or foreign_file in a shared folder), a kept file (its refusal), the
// file the tools' standard output goes to (same_as_report), and, when must_seek, a FIFO
// (cannot_write, ESPIPE); then two requests that lead to one file (same_outputs, at the first).
// before_creating, when given, runs once all are accepted; its failure stops the opening. Then
// each output is created (cannot_create) and, when must_seek, checked to go back to its start (a
// terminal can't: cannot_write). On failure nothing is left of any output.
open_result open_outputs(std::initializer_list<output_request> requests,
                         const std::vector<kept_file>& kept, bool must_seek,
                         const std::function<failure()>& before_creating = {});

// An output being written. A regular file, or nothing yet, is replaced: the new content goes to a
// temporary file beside it that takes its name only when complete. Anything else (a device, a
// FIFO) is written in place and never removed. Dropped (or destroyed) unfinished or uncommitted,
// it removes its temporary file, and never anything else.
// A file system that runs out of room (or quota) while the new file beside an existing one is
// filled fails no run that a plain write over the old file would finish: what was written so far
// moves to a scratch file, copied over the old file at commit, or where that can't be made or
// fills up too, straight into the old file, which is then written over as a plain write does.
class output final : public byte_sink {
public:
    output() = default;
    ~output() override { drop(); }
    output(const output&) = delete;
    output& operator=(const output&) = delete;

    int write(const std::uint8_t* data, std::size_t size) override;
    int write_at(std::uint64_t offset, const std::uint8_t* data, std::size_t size) override;

    // Flushes the new content to the disk and closes it (cannot_write when that fails). A new file
    // for an existing one takes the old one's permission bits now, without set-user-ID and
    // set-group-ID, as it took its owner, group, ACL and extended attributes when it was created.
    failure finish();

    struct commit_result {
        // cannot_write: the new content is not at the output's name; not_synced: it is, but the
        // folder's entries may not be on the disk yet.
        failure failed;
        rewrite_reason rewritten = rewrite_reason::none;  // written over the old file, and why
    };
    // Renames the finished file over the old one, then syncs the folder, so that a power cut
    // leaves the old content or the new one. Where the file can't be replaced with all that a
    // plain write keeps of it, the new content waits in a nameless file and is written over the
    // old one now instead (or was written over it already, where no such file had room), and cut
    // to its length: then a failure can leave it part written, as a plain write would.
    commit_result commit();
    // True when this output's name now leads to the file that earlier put in place at its commit:
    // two spellings of one new name in a folder that compares names without regard to case (vfat,
    // ext4 with casefold), which only the files themselves tell apart. Asked before committing.
    bool takes_place_of(const output& earlier) const;

    // Closes the file and removes the temporary file, when there is one.
    void drop();

private:
    friend open_result open_outputs(std::initializer_list<output_request> requests,
                                    const std::vector<kept_file>& kept, bool must_seek,
                                    const std::function<failure()>& before_creating);

    // Where the new content is being written.
    enum class route {
        none,      // nowhere: not open, or done
        in_place,  // a device or FIFO, written as it is
        beside,    // a new file beside the target, renamed over it at commit
        scratch,   // a nameless scratch file, copied over the old file at commit
        over_old,  // the old file itself, cut to the image's length at commit
    };

    // Creates the new content's file for target; must_seek: refuses one that can't go back.
    failure open(output_target&& target, bool must_seek);
    int create(output_target&& target);
    int create_beside();
    int start_rewrite(rewrite_reason reason);
    int move_on(int error);
    int spill_to_scratch();
    int write_over_old(int error, rewrite_reason reason);
    void close_new_file();
    int sink() const { return route_ == route::over_old ? target_.existing.get() : fd_; }
    commit_result put_in_place();
    commit_result write_over_unnamed(int error);
    commit_result rewrite();

    output_target target_;
    std::string temporary_name_;  // in the target's folder; empty when there is none
    int fd_ = -1;                 // the new file, the scratch file or the file in place
    route route_ = route::none;
    rewrite_reason rewrite_ = rewrite_reason::none;  // why the old file is written over
    std::uint64_t position_ = 0;                     // where the next write() goes
    std::uint64_t end_ = 0;                          // the length written so far
    platform::file_identity placed_;                 // what commit put at the output's name
};

}  // namespace swug
