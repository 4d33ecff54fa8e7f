#include "info_run.h"

#include <cstdio>
#include <optional>

#include "file_io.h"
#include "image_check.h"
#include "image_unpack.h"
#include "info_report.h"
#include "paths.h"

namespace swug {

namespace {

// Every line swug_info says on standard error; names with their control characters escaped.
std::string text_of(const info_error& error) {
    info_error e = error;
    e.path = printable(error.path);
    if (error.problem != info_problem::output_refused && error.problem != info_problem::rewritten) {
        e.other = printable(error.other);
    }
    std::string reason = reason_text(e.error);  // not const: the last return moves it
    switch (e.problem) {
        case info_problem::unknown_option:
            return "unknown option " + e.path;
        case info_problem::missing_value:
            return e.path + " needs a file name";
        case info_problem::repeated_option:
            return e.path + " is given twice";
        case info_problem::second_image:
            return "one image at a time: " + e.path + " is a second one";
        case info_problem::no_image:
            return "no image given";
        case info_problem::image_is_folder:
        case info_problem::cannot_read_image:
            return "can't read the upgrade image " + e.path + ": " + reason;
        case info_problem::cannot_open_image:
            return "can't open the upgrade image " + e.path + ": " + reason;
        case info_problem::cannot_create:
            return "can't create " + e.path + ": " + reason;
        case info_problem::output_refused:
            return "can't write " + e.path + ": " + e.other;
        case info_problem::same_as_image:
            return e.path + " is the upgrade image " + e.other + ", refusing to overwrite it";
        case info_problem::same_parts:
            return "--sw " + e.path + " and --mcu " + e.other + " are the same file";
        case info_problem::same_as_report:
            return e.path +
                   " is the standard output, refusing to write a part and the report into one file";
        case info_problem::no_mcu_part:
            return e.path + " holds no MCU ota image to write to " + e.other;
        case info_problem::not_valid:
            return "not writing the parts of an image that is not valid";
        case info_problem::cannot_write:
            return "can't write " + e.path + ": " + reason;
        case info_problem::changed:
            return "the upgrade image " + e.path + " changed while it was read";
        case info_problem::not_synced:
            return e.path + " is in place, but its folder can't be synced to the disk: " + reason;
        case info_problem::rewritten:
            return e.path + " was written over in place, not replaced in one step: " + e.other;
        case info_problem::report_failed:
            return "can't write to standard output: " + reason;
    }
    return reason;
}

bool is_usage_error(info_problem problem) {
    return problem <= info_problem::no_image;
}

// One part to write: its option's file, where it goes, and the file being written.
struct part {
    const char* what;  // "software image" or "MCU ota image"
    const char* path;  // null when the part is not asked for
    std::uint32_t length;
    output_target target;
    output_file file;
};

// Ends the run with an error line: the outputs' new files, when there are any, go with it.
int trouble(const info_error& error) {
    report_error(error);
    return info_trouble;
}

// What stopped an unpacking run before its parts could take their files' places, if anything.
using unpack_problem = std::optional<info_error>;

// Finds where each asked-for part goes and checks every argument against every other, before any
// file is created.
unpack_problem check_destinations(const info_options& options, const input_file& image,
                                  part& software, part& mcu) {
    for (part* p : {&software, &mcu}) {
        if (p->path == nullptr) {
            continue;
        }
        if (const target_result found = find_output_target(p->path, p->target); !found.ok()) {
            if (found.refusal != target_refusal::none) {
                return info_error{info_problem::output_refused, p->path,
                                  refusal_text(found.refusal)};
            }
            return info_error{info_problem::cannot_create, p->path, "", found.error};
        }
        if (p->target.is(image.status().identity)) {
            return info_error{info_problem::same_as_image, p->path, options.image_path};
        }
        if (is_standard_output(p->target)) {
            return info_error{info_problem::same_as_report, p->path};
        }
    }
    if (software.path != nullptr && mcu.path != nullptr &&
        same_destination(software.target, mcu.target)) {
        return info_error{info_problem::same_parts, software.path, mcu.path};
    }
    return std::nullopt;
}

// Creates the parts' new files and copies the parts into them, then closes them.
unpack_problem write_parts(const info_options& options, input_file& image,
                           const swug_header& header, part& software, part& mcu,
                           copy_buffer& buffer) {
    for (part* p : {&software, &mcu}) {
        if (p->path != nullptr) {
            if (const int error = p->file.create(std::move(p->target)); error != 0) {
                return info_error{info_problem::cannot_create, p->path, "", error};
            }
        }
    }
    const unpack_outcome outcome =
        unpack_image(image, header, software.path != nullptr ? &software.file : nullptr,
                     mcu.path != nullptr ? &mcu.file : nullptr, buffer);
    switch (outcome.what) {
        case unpack_outcome::status::ok:
            break;
        case unpack_outcome::status::read_failed:
            return info_error{info_problem::cannot_read_image, options.image_path, "",
                              outcome.error};
        case unpack_outcome::status::write_failed:
            // Only a part that is written can fail to be written.
            return info_error{info_problem::cannot_write, (outcome.in_mcu ? mcu : software).path,
                              "", outcome.error};
        case unpack_outcome::status::changed:
            return info_error{info_problem::changed, options.image_path};
    }
    for (part* p : {&software, &mcu}) {
        if (p->path != nullptr) {
            if (const int error = p->file.finish(); error != 0) {
                return info_error{info_problem::cannot_write, p->path, "", error};
            }
        }
    }
    return std::nullopt;
}

// Everything before the parts take their files' places: checks, new files, the copies.
unpack_problem prepare_parts(const info_options& options, input_file& image,
                             const swug_header& header, part& software, part& mcu,
                             copy_buffer& buffer) {
    if (options.mcu_path != nullptr && header.mcu_ota_flag != 1) {
        return info_error{info_problem::no_mcu_part, options.image_path, options.mcu_path};
    }
    if (unpack_problem problem = check_destinations(options, image, software, mcu)) {
        return problem;
    }
    // The parts are read again from just behind the header; an image that can't go back there
    // (a pipe) is refused before any file is created, too.
    if (const int error = image.seek_to(header_size); error != 0) {
        return info_error{info_problem::cannot_read_image, options.image_path, "", error};
    }
    return write_parts(options, image, header, software, mcu, buffer);
}

// Puts the finished parts in their files' places, one after the other: should the second fail,
// the first file already holds its new part.
int commit_parts(part& software, part& mcu) {
    for (part* p : {&software, &mcu}) {
        if (p->path == nullptr) {
            continue;
        }
        const output_file::commit_result committed = p->file.commit();
        if (!committed.in_place) {
            return trouble({info_problem::cannot_write, p->path, "", committed.error});
        }
        if (committed.rewritten != rewrite_reason::none) {
            report_error({info_problem::rewritten, p->path, rewrite_text(committed.rewritten)});
        }
        if (committed.error != 0) {
            report_error({info_problem::not_synced, p->path, "", committed.error});
        }
    }
    return info_valid;
}

// Writes the parts of a valid image. The plain report is out already; the JSON document is
// printed here, once it is known whether the parts could be written, and says so.
int unpack(const info_options& options, input_file& image, const image_report& report,
           copy_buffer& buffer) {
    part software{"software image", options.sw_path, report.header.length, {}, {}};
    part mcu{"MCU ota image", options.mcu_path, report.header.mcu_len, {}, {}};
    if (const unpack_problem problem =
            prepare_parts(options, image, report.header, software, mcu, buffer)) {
        report_error(*problem);
        if (options.json) {
            const std::string message = text_of(*problem);
            return print_report(render_json(report, options.image_path, &message), info_trouble);
        }
        return info_trouble;
    }
    // The report must reach its reader before the parts take the old files' places.
    std::string text;
    if (options.json) {
        text = render_json(report, options.image_path);
    } else {
        for (const part* p : {&software, &mcu}) {
            if (p->path != nullptr) {
                text += "| wrote the " + std::string(p->what) + " to " + printable(p->path) +
                        ", size=" + format_hex(p->length) + " |\n";
            }
        }
    }
    if (const int status = print_report(text, info_valid); status != info_valid) {
        return status;
    }
    return commit_parts(software, mcu);
}

}  // namespace

int print_report(const std::string& text, int status) {
    if (const int error = write_standard_output(text); error != 0) {
        return trouble({info_problem::report_failed, "", "", error});
    }
    return status;
}

void report_error(const info_error& error) {
    std::fprintf(stderr, "swug_info: %s\n", text_of(error).c_str());
    if (is_usage_error(error.problem)) {
        std::fputs(usage_line, stderr);
    }
}

int end_before_report(const info_error& error, bool json, const char* image) {
    report_error(error);
    if (json) {
        return print_report(render_json_error(image, text_of(error)), info_trouble);
    }
    return info_trouble;
}

int run_swug_info(const info_options& options) {
    input_file image;
    if (const int error = image.open(options.image_path); error != 0) {
        return end_before_report(
            {error == EISDIR ? info_problem::image_is_folder : info_problem::cannot_open_image,
             options.image_path, "", error},
            options.json, options.image_path);
    }
    // The one allocation whose size matters, made before any output file exists.
    copy_buffer buffer;
    if (!buffer.allocated()) {
        return end_before_report({info_problem::cannot_read_image, options.image_path, "", ENOMEM},
                                 options.json, options.image_path);
    }
    image_report report;
    if (const int error = check_image(image, image.status().size, buffer, report); error != 0) {
        return end_before_report({info_problem::cannot_read_image, options.image_path, "", error},
                                 options.json, options.image_path);
    }
    const int verdict = report.valid() ? info_valid : info_invalid;
    const bool unpacking = options.sw_path != nullptr || options.mcu_path != nullptr;
    // With parts to write, the JSON document waits for their outcome, so that it can tell it.
    if (options.json && unpacking && verdict == info_valid) {
        return unpack(options, image, report, buffer);
    }
    if (const int status = print_report(options.json ? render_json(report, options.image_path)
                                                     : render_plain(report, options.image_path),
                                        verdict);
        status != verdict) {
        return status;
    }
    if (!unpacking) {
        return verdict;
    }
    if (verdict != info_valid) {
        report_error({info_problem::not_valid, ""});
        return verdict;
    }
    return unpack(options, image, report, buffer);
}

}  // namespace swug
