// What both tools say: one failure type for everything that can stop or mark a run, one
// catalogue of their sentences, and the helpers that put names and numbers into words.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace swug {

// Everything a run of either tool can stop on or note, each with its own sentence.
enum class failure_kind {
    none,
    // swug_gen's command line
    wrong_argc,
    no_work_dir,
    // swug_info's command line
    unknown_option,
    missing_value,
    repeated_option,
    second_image,
    missing_size,
    bad_slot_size,
    no_image,  // the last of swug_info's usage errors
    // swug_gen's inputs
    software_missing,
    software_unreadable,
    software_too_big,
    mcu_unreadable,
    mcu_grew,
    mcu_left_out,      // a note: the image is made without an mcu_ota.bin that can't be opened
    software_not_raw,  // a note: the software file looks like an ELF program or a HEX text
    // swug_info's input
    image_unopenable,
    image_unreadable,
    image_changed,
    no_mcu_part,
    not_valid,
    image_software_not_raw,  // a note: so does the software image that an image holds
    // outputs
    cannot_create,
    cannot_write,
    foreign_link,
    foreign_file,
    read_only,
    same_as_software,
    same_as_mcu,
    same_as_image,
    same_outputs,
    same_as_report,
    rewritten,   // a note: written over in place, not replaced in one step
    not_synced,  // a note: in place, but the folder's entries may not be on the disk yet
    report_failed,
};

// What went wrong, and the system's error number where it gave one.
struct failure {
    failure_kind kind = failure_kind::none;
    int error = 0;

    explicit operator bool() const { return kind != failure_kind::none; }
};

// Why an output was written over in place rather than replaced in one step.
enum class rewrite_reason {
    none,
    folder_forbids_new_files,  // the folder lets no new file be created, the file may be written
    no_room_beside,            // the file system has no room (or inode) for a second file
    owner_not_kept,            // a new file could not be given the old one's owner
    group_not_kept,            // ... nor its group
    attributes_not_kept,       // ... nor its ACL or extended attributes
    folder_forbids_replacing,  // a sticky folder where only the file's owner may replace it
    append_only_folder,        // a folder where nothing may be renamed or removed
    mount_point,               // a file mounted over its name
    descriptor,                // the path names an open descriptor of the caller's
    in_use,                    // another process has it open and lets it be written, not replaced
};

// Who reads a sentence, as swug_gen sorts them: most go to standard output with the run's other
// lines; those about standard output itself can't, and notes on a run that goes on go to standard
// error. swug_info says all of them on standard error.
enum class channel { error, standard_output, note };

// The names and numbers a sentence may hold. output is the tool's own way of naming the output
// ("the upgrade image NAME" for swug_gen, the bare name for swug_info); names are escaped by
// render(), the reason and rewrite text are the tools' own.
struct message_context {
    std::string output;
    std::string software;
    std::string mcu;
    std::string image;
    std::string other;         // a word of the command line, the second output, or an expanded path
    const char* written = "";  // what the output would receive: "the image", "a part"
    const char* looks_like = "";  // what a software image that is not raw looks like
    std::uint64_t number = 0;
    rewrite_reason rewrite = rewrite_reason::none;
};

// The failure's sentence, without a line break; where it goes.
std::string render(const failure& what, const message_context& context);
channel channel_of(failure_kind kind);

// Text of an error number, or of a reason of the platform layer's own (a file in use by another
// process); EIO's for 0, so that a failure never reads as "Success".
const char* reason_text(int error);

// The reason of a rewrite, as the tools say it after the output's name.
const char* rewrite_text(rewrite_reason reason);

// A path as the tools print it in a message or report line: control characters (a line break, an
// escape, the C1 controls as UTF-8 or as lone bytes 0x80 to 0x9F) shown as \n, \r, \t or \xNN,
// so that one message stays one line and no name reaches a terminal as a command. Other paths
// come back unchanged.
std::string printable(std::string_view path);

// Length of the well-formed UTF-8 sequence at text[at], or 0 when it is not one.
std::size_t utf8_sequence_length(std::string_view text, std::size_t at);

// A value as at least eight lower-case hex digits, the way the tools print 32-bit values.
std::string format_hex(std::uint64_t value);

// Writes text to standard output and flushes it: 0, or the reason it can't be written (a closed
// pipe, a full disk), as the first failed write gave it; once failed, it fails every time.
int write_standard_output(const std::string& text);

}  // namespace swug
