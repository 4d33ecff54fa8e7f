#include "image_builder.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "file_io.h"
#include "image_pack.h"
#include "platform.h"

namespace swug {

std::uint8_t in_cmd_mode = 0;
char work_dir[path_capacity] = {};
int work_dir_error = 0;

namespace {

// Everything that can end a run of the builder, each with its own message.
enum class build_event {
    done,
    wrong_argc,
    path_too_long,
    no_work_dir,
    software_unreadable,
    software_missing,
    software_too_big,
    cannot_create,
    output_refused,
    same_as_software,
    same_as_mcu,
    same_as_report,
    software_read,
    mcu_read,
    mcu_grew,
    image_write,
    folder_not_synced,
    rewritten,
    report_failed,
};

// What a run came to, with everything its message needs.
struct build_outcome {
    build_event event = build_event::done;
    int error = 0;              // the system's error number, where there is one
    std::string argument;       // the command-line word or path a path error is about
    const char* openname = "";  // the builder's own buffers, alive for the whole run
    const char* fname = "";
    std::int32_t argc = 0;
    std::uint64_t length_limit = 0;
    swug_header header;
    bool mcu_refused = false;
    int mcu_unreadable = 0;  // why an mcu_ota.bin that is there can't be opened
    target_refusal refusal = target_refusal::none;
    rewrite_reason rewrite = rewrite_reason::none;
};

std::int32_t result_of(build_event event) {
    switch (event) {
        case build_event::done:
        case build_event::folder_not_synced:
        case build_event::rewritten:
            return build_done;
        case build_event::wrong_argc:
            return build_wrong_argc;
        case build_event::software_unreadable:
        case build_event::software_missing:
            return build_no_software_file;
        case build_event::cannot_create:
        case build_event::output_refused:
            return build_cannot_create;
        case build_event::path_too_long:
        case build_event::no_work_dir:
            return build_bad_path;
        case build_event::same_as_software:
        case build_event::same_as_mcu:
        case build_event::same_as_report:
            return build_same_file;
        case build_event::software_read:
        case build_event::mcu_read:
            return build_read_failed;
        case build_event::image_write:
            return build_write_failed;
        case build_event::software_too_big:
        case build_event::mcu_grew:
            return build_too_big;
        case build_event::report_failed:
            return build_report_failed;
    }
    return build_write_failed;
}

// printf into a string of whatever length it takes.
template <typename... Values>
std::string formatted(const char* format, Values... values) {
    const int length = std::snprintf(nullptr, 0, format, values...);
    if (length <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, values...);
    text.pop_back();
    return text;
}

struct message {
    // Implicit, so that message_for's cases read as the lines they return.
    // cppcheck-suppress noExplicitConstructor
    message(std::string text_, bool on_standard_error_ = false, std::string note_ = {})
        : text(std::move(text_)), on_standard_error(on_standard_error_), note(std::move(note_)) {}

    std::string text;
    bool on_standard_error;
    std::string note;  // said on standard error first, for a run that still goes on
};

// Every line the builder prints. Messages go to standard output, except those about standard
// output itself, which can't go there, and those that come with a summary line already printed.
// Names are shown with their control characters escaped, so that each message is one line.
message message_for(const build_outcome& o) {
    const char* reason = reason_text(o.error);
    const std::string openname_text = printable(o.openname);
    const std::string fname_text = printable(o.fname);
    const char* openname = openname_text.c_str();
    const char* fname = fname_text.c_str();
    const std::string argument = printable(o.argument);
    switch (o.event) {
        case build_event::done: {
            std::string text = o.mcu_refused ? "| MCU ota file is too big, must <96KB |\n" : "";
            const std::string note =
                o.mcu_unreadable == 0
                    ? ""
                    : formatted(
                          "can't open the MCU ota file %s: %s; the upgrade image is made "
                          "without it\n",
                          mcu_ota_name, reason_text(o.mcu_unreadable));
            const swug_header& hdr = o.header;
            if (hdr.mcu_ota_flag == 1) {
                return {text + formatted("| gen image file checksum=%08" PRIx32 ",size=%08" PRIx32
                                         " , MCU ota checksum=%08" PRIx32 ",size=%08" PRIx32 " |\n",
                                         hdr.sum, hdr.length, hdr.mcu_sum, hdr.mcu_len),
                        false, note};
            }
            return {
                text + formatted("| gen image file checksum=%08" PRIx32 ",size=%08" PRIx32 " |\n",
                                 hdr.sum, hdr.length),
                false, note};
        }
        case build_event::wrong_argc:
            return {formatted("Parameter Error [%d]\n", static_cast<int>(o.argc))};
        case build_event::path_too_long:
            return {formatted("path too long, must be at most %zu characters: %s\n",
                              path_max_length, argument.c_str())};
        case build_event::no_work_dir:
            if (o.error == ERANGE) {
                return {formatted(
                    "can't expand %s: the working directory is longer than %zu characters\n",
                    argument.c_str(), path_max_length)};
            }
            return {formatted("can't expand %s: can't get the working directory: %s\n",
                              argument.c_str(), reason)};
        case build_event::software_unreadable:
        case build_event::software_read:
            return {formatted("can't read the software file %s: %s\n", openname, reason)};
        case build_event::software_missing:
            return {formatted("can't find the software file %s \n", openname)};
        case build_event::software_too_big:
            return {formatted("the software file %s is too big, must be at most %" PRIu64
                              " bytes\n",
                              openname, o.length_limit)};
        case build_event::cannot_create:
            return {formatted("can't create the upgrade image %s: %s\n", fname, reason)};
        case build_event::output_refused:
            return {formatted("can't write the upgrade image %s: %s\n", fname,
                              refusal_text(o.refusal))};
        case build_event::same_as_software:
            return {formatted(
                "the upgrade image %s is the software file %s, refusing to overwrite it\n", fname,
                openname)};
        case build_event::same_as_mcu:
            return {
                formatted("the upgrade image %s is the MCU ota file %s, refusing to overwrite it\n",
                          fname, mcu_ota_name)};
        case build_event::same_as_report:
            return {formatted("the upgrade image %s is the standard output, refusing to write "
                              "the image and the report into one file\n",
                              fname),
                    true};
        case build_event::mcu_read:
            return {formatted("can't read the MCU ota file %s: %s\n", mcu_ota_name, reason)};
        case build_event::mcu_grew:
            return {formatted("the MCU ota file %s grew beyond %" PRIu32
                              " bytes while it was read\n",
                              mcu_ota_name, mcu_ota_max_size)};
        case build_event::image_write:
            return {formatted("can't write the upgrade image %s: %s\n", fname, reason)};
        case build_event::folder_not_synced:
            return {formatted("the upgrade image %s is in place, but its folder can't be synced "
                              "to the disk: %s\n",
                              fname, reason),
                    true};
        case build_event::rewritten:
            return {formatted("the upgrade image %s was written over in place, not replaced in "
                              "one step: %s\n",
                              fname, rewrite_text(o.rewrite)),
                    true};
        case build_event::report_failed:
            return {formatted("can't write to standard output: %s\n", reason), true};
    }
    return {""};
}

// After "Parameter Error [N]", which scripts know as it is, this line on standard error says what
// the two arguments are.
constexpr char usage_line[] =
    "usage: swug_gen SOFTWARE_IMAGE UPGRADE_IMAGE (the firmware file, the upgrade image to write); "
    "see man swug_gen\n";

// Prints the outcome's message. Returns 0, or the reason standard output can't be written,
// which it then says on standard error, after an error line that could not reach standard output.
int report(const build_outcome& outcome) {
    const message line = message_for(outcome);
    if (!line.note.empty()) {
        std::fputs(line.note.c_str(), stderr);
    }
    if (line.on_standard_error) {
        std::fputs(line.text.c_str(), stderr);
        return 0;
    }
    const int error = write_standard_output(line.text);
    if (error != 0) {
        build_outcome lost;
        lost.event = build_event::report_failed;
        lost.error = error;
        const std::string said = outcome.event == build_event::done ? "" : line.text;
        std::fputs((said + message_for(lost).text).c_str(), stderr);
    }
    if (outcome.event == build_event::wrong_argc) {
        std::fputs(usage_line, stderr);
    }
    return error;
}

// Turns one command-line argument into a path, or says why it can't.
bool choose_path(const char* argument, char (&path)[path_capacity], build_outcome& outcome) {
    switch (expand_argument(argument, work_dir, path)) {
        case path_status::ok:
            return true;
        case path_status::too_long:
            outcome.event = build_event::path_too_long;
            outcome.argument = starts_with_dot_slash(argument)
                                   ? std::string(work_dir) + "/" + (argument + 2)
                                   : std::string(argument);
            return false;
        case path_status::no_work_dir:
            outcome.event = build_event::no_work_dir;
            outcome.argument = argument;
            outcome.error = work_dir_error;
            return false;
    }
    return false;
}

build_outcome failed(build_outcome outcome, build_event event, int error = 0) {
    outcome.event = event;
    outcome.error = error;
    return outcome;
}

build_event event_of(pack_failure failure) {
    switch (failure) {
        case pack_failure::software_read:
            return build_event::software_read;
        case pack_failure::software_too_big:
            return build_event::software_too_big;
        case pack_failure::mcu_read:
            return build_event::mcu_read;
        case pack_failure::mcu_too_big:
            return build_event::mcu_grew;
        case pack_failure::image_write:
        case pack_failure::none:
            break;
    }
    return build_event::image_write;
}

// Everything up to the moment the new image could take the old one's place: on success the
// image is complete and synced in a temporary file that `image` holds.
build_outcome build(const char* openname, const char* fname, output_file& image) {
    build_outcome outcome;
    outcome.openname = openname;
    outcome.fname = fname;

    // A software image that can't be opened is "can't find", but for a folder and for a file that
    // another process holds, which say why.
    input_file software;
    if (const int error = software.open(openname); error != 0) {
        return failed(outcome,
                      error == EISDIR || error == platform::file_in_use
                          ? build_event::software_unreadable
                          : build_event::software_missing,
                      error);
    }
    // A folder named "mcu_ota.bin" counts as absent. A FIFO or device is opened without waiting
    // for a writer and never read, so it can't block the run. One that is there but can't be
    // opened is left out too, and said so, so that a short image is never a silent one.
    input_file mcu;
    const int mcu_error = mcu.open(mcu_ota_name, true);
    const bool mcu_present = mcu_error == 0;
    if (mcu_error != ENOENT && mcu_error != EISDIR) {
        outcome.mcu_unreadable = mcu_error;
    }
    // A size that can't be told (anything but a regular file) counts as too big.
    const bool mcu_accepted = mcu_present && mcu.status().size >= 0 &&
                              mcu.status().size <= std::int64_t{mcu_ota_max_size};
    outcome.mcu_refused = mcu_present && !mcu_accepted;
    outcome.length_limit = software_length_limit(mcu_accepted);

    // Refuse sizes the header can't hold before anything is written, where the size is known.
    const std::int64_t software_size = software.status().size;
    if (software_size >= 0 && static_cast<std::uint64_t>(software_size) > outcome.length_limit) {
        return failed(outcome, build_event::software_too_big);
    }
    // The one allocation whose size matters, made while nothing has been created yet.
    copy_buffer buffer;
    if (!buffer.allocated()) {
        return failed(outcome, build_event::image_write, ENOMEM);
    }

    output_target target;
    if (const target_result found = find_output_target(fname, target); !found.ok()) {
        outcome.refusal = found.refusal;
        return failed(outcome,
                      found.refusal != target_refusal::none ? build_event::output_refused
                                                            : build_event::cannot_create,
                      found.error);
    }
    if (target.is(software.status().identity)) {
        return failed(outcome, build_event::same_as_software);
    }
    if (mcu_present && target.is(mcu.status().identity)) {
        return failed(outcome, build_event::same_as_mcu);
    }
    if (is_standard_output(target)) {
        return failed(outcome, build_event::same_as_report);
    }
    // The header is written last, over its place at the start. A FIFO can't go back there, and
    // is refused before it is opened, which would wait for a reader; a terminal is refused once
    // it is open, before a byte reaches it.
    if (target.is_fifo()) {
        return failed(outcome, build_event::image_write, ESPIPE);
    }
    if (const int error = image.create(std::move(target)); error != 0) {
        return failed(outcome, build_event::cannot_create, error);
    }
    if (const int error = image.check_seekable(); error != 0) {
        return failed(outcome, build_event::image_write, error);
    }
    const pack_outcome packed =
        pack_upgrade_image(software, mcu_accepted ? &mcu : nullptr, image, buffer);
    if (packed.failure != pack_failure::none) {
        return failed(outcome, event_of(packed.failure), packed.reason);
    }
    if (const int error = image.finish(); error != 0) {
        return failed(outcome, build_event::image_write, error);
    }
    outcome.header = packed.header;
    return outcome;
}

// Builds, reports and puts the new image in its place, for paths that are chosen.
std::int32_t pack_and_report(const char* openname, const char* fname) {
    output_file image;
    build_outcome outcome = build(openname, fname, image);
    if (outcome.event != build_event::done) {
        image.discard();
        report(outcome);
        return result_of(outcome.event);
    }
    // The summary must reach its reader before the new image takes the old one's place: when it
    // can't, the old image stays and the run fails.
    if (const int error = report(outcome); error != 0) {
        image.discard();
        return build_report_failed;
    }
    const output_file::commit_result committed = image.commit();
    if (!committed.in_place) {
        report(failed(outcome, build_event::image_write, committed.error));
        return build_write_failed;
    }
    if (committed.rewritten != rewrite_reason::none) {
        build_outcome rewritten = failed(outcome, build_event::rewritten);
        rewritten.rewrite = committed.rewritten;
        report(rewritten);
    }
    if (committed.error != 0) {
        report(failed(outcome, build_event::folder_not_synced, committed.error));
    }
    return build_done;
}

// The line for a run that ran out of memory, said without needing any: the name only where it
// prints as it is.
void report_out_of_memory(const char* fname) {
    const bool plain = std::all_of(fname, fname + std::strlen(fname), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 && c != 0x7F;
    });
    std::fputs("can't write the upgrade image ", stdout);
    std::fputs(plain ? fname : "(its name)", stdout);
    std::fputs(": ", stdout);
    std::fputs(reason_text(ENOMEM), stdout);
    std::fputs("\n", stdout);
    std::fflush(stdout);
}

}  // namespace

std::int32_t generate_swug_bin(const func_args* args) {
    char openname[path_capacity] = {};
    char fname[path_capacity] = {};
    build_outcome outcome;
    outcome.argc = args->argc;
    if (args->argc == 1) {
        std::memcpy(openname, default_software_image, sizeof default_software_image);
        std::memcpy(fname, default_upgrade_image, sizeof default_upgrade_image);
    } else if (args->argc != 3) {
        outcome.event = build_event::wrong_argc;
    } else if (!choose_path(args->argv[1], openname, outcome) ||
               !choose_path(args->argv[2], fname, outcome)) {
        // choose_path has said why
    }
    if (outcome.event != build_event::done) {
        report(outcome);
        return result_of(outcome.event);
    }
    try {
        return pack_and_report(openname, fname);
    } catch (const std::bad_alloc&) {
        // Whatever the run created has gone with the objects that held it.
        report_out_of_memory(fname);
        return build_write_failed;
    }
}

}  // namespace swug
