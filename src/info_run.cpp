#include "info_run.h"

#include <cstdio>

#include "file_io.h"
#include "image_check.h"
#include "image_unpack.h"
#include "info_report.h"

namespace swug {

namespace {

std::string text_of(const info_error& e) {
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
    const char* path;
    std::uint32_t length;
    output_target target;
    output_file file;
};

// Ends the run with an error line: the outputs' new files, when there are any, go with it.
int trouble(const info_error& error) {
    report_error(error);
    return info_trouble;
}

int unpack(const info_options& options, input_file& image, const swug_header& header,
           copy_buffer& buffer) {
    if (options.mcu_path != nullptr && header.mcu_ota_flag != 1) {
        return trouble({info_problem::no_mcu_part, options.image_path, options.mcu_path});
    }
    part software{"software image", options.sw_path, header.length, {}, {}};
    part mcu{"MCU ota image", options.mcu_path, header.mcu_len, {}, {}};
    part* const parts[] = {&software, &mcu};  // cppcheck-suppress constVariable

    // Every argument is checked against every other before any file is created.
    for (part* p : parts) {
        if (p->path == nullptr) {
            continue;
        }
        if (const int error = find_output_target(p->path, p->target); error != 0) {
            return trouble({info_problem::cannot_create, p->path, "", error});
        }
        if (p->target.is(image.status().identity)) {
            return trouble({info_problem::same_as_image, p->path, options.image_path});
        }
        if (is_standard_output(p->target)) {
            return trouble({info_problem::same_as_report, p->path});
        }
    }
    if (software.path != nullptr && mcu.path != nullptr &&
        same_destination(software.target, mcu.target)) {
        return trouble({info_problem::same_parts, software.path, mcu.path});
    }

    // The parts are read again from just behind the header; an image that can't go back there
    // (a pipe) is refused before any file is created, too.
    if (const int error = image.seek_to(header_size); error != 0) {
        return trouble({info_problem::cannot_read_image, options.image_path, "", error});
    }
    for (part* p : parts) {
        if (p->path == nullptr) {
            continue;
        }
        if (const int error = p->file.create(p->target); error != 0) {
            return trouble({info_problem::cannot_create, p->path, "", error});
        }
    }
    const unpack_outcome outcome =
        unpack_image(image, header, software.path != nullptr ? &software.file : nullptr,
                     mcu.path != nullptr ? &mcu.file : nullptr, buffer);
    switch (outcome.what) {
        case unpack_outcome::status::ok:
            break;
        case unpack_outcome::status::read_failed:
            return trouble(
                {info_problem::cannot_read_image, options.image_path, "", outcome.error});
        case unpack_outcome::status::write_failed: {
            // Only a part that is written can fail to be written.
            const part& failed = outcome.in_mcu ? mcu : software;
            return trouble({info_problem::cannot_write, failed.path != nullptr ? failed.path : "",
                            "", outcome.error});
        }
        case unpack_outcome::status::changed:
            return trouble({info_problem::changed, options.image_path});
    }
    std::string notes;
    for (part* p : parts) {
        if (p->path == nullptr) {
            continue;
        }
        if (const int error = p->file.finish(); error != 0) {
            return trouble({info_problem::cannot_write, p->path, "", error});
        }
        if (!options.json) {
            notes += "| wrote the " + std::string(p->what) + " to " + p->path +
                     ", size=" + format_hex(p->length) + " |\n";
        }
    }
    // The report must reach its reader before the parts take the old files' places. The parts
    // are renamed one after the other: should the second rename fail, the first file already
    // holds its new part.
    if (const int status = print_report(notes, info_valid); status != info_valid) {
        return status;
    }
    for (part* p : parts) {
        if (p->path == nullptr) {
            continue;
        }
        const output_file::commit_result committed = p->file.commit();
        if (!committed.in_place) {
            return trouble({info_problem::cannot_write, p->path, "", committed.error});
        }
        if (committed.error != 0) {
            report_error({info_problem::not_synced, p->path, "", committed.error});
        }
    }
    return info_valid;
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

int run_swug_info(const info_options& options) {
    input_file image;
    if (const int error = image.open(options.image_path); error != 0) {
        return trouble(
            {error == EISDIR ? info_problem::image_is_folder : info_problem::cannot_open_image,
             options.image_path, "", error});
    }
    copy_buffer buffer;
    image_report report;
    if (const int error = check_image(image, image.status().size, buffer, report); error != 0) {
        return trouble({info_problem::cannot_read_image, options.image_path, "", error});
    }
    const int verdict = report.valid() ? info_valid : info_invalid;
    if (const int status = print_report(options.json ? render_json(report, options.image_path)
                                                     : render_plain(report, options.image_path),
                                        verdict);
        status != verdict) {
        return status;
    }
    const bool unpacking = options.sw_path != nullptr || options.mcu_path != nullptr;
    if (!unpacking) {
        return verdict;
    }
    if (verdict != info_valid) {
        report_error({info_problem::not_valid, ""});
        return verdict;
    }
    return unpack(options, image, report.header, buffer);
}

}  // namespace swug
