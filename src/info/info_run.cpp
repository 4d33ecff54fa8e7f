#include "info/info_run.h"

#include <cstdio>
#include <optional>

#include "image_copy.h"
#include "info/image_check.h"
#include "info/image_unpack.h"
#include "info/info_report.h"
#include "os/input_file.h"
#include "output/output.h"
#include "publish.h"

namespace swug {

namespace {

// swug_info says every sentence on standard error, after its name; a usage error is followed by
// the usage line.
class info_voice final : public voice {
public:
    void say(const failure& what, const message_context& context) override {
        std::fprintf(stderr, "swug_info: %s\n", render(what, context).c_str());
        if (what.kind >= failure_kind::unknown_option && what.kind <= failure_kind::no_image) {
            std::fputs(usage_line, stderr);
        }
    }
    std::string subject(const std::string& name) const override { return printable(name); }
};

// A failure about the image.
info_error about_image(failure_kind kind, const char* image_path, int error = 0) {
    info_error e{{kind, error}, {}};
    e.context.image = image_path;
    return e;
}

// A failure about the output at path; other is the second name its sentence holds.
info_error about_output(failure what, const char* path, const char* image_path = "",
                        const char* other = "") {
    info_error e{what, {}};
    e.context.output = info_voice().subject(path);
    e.context.image = image_path;
    e.context.other = other;
    e.context.written = "a part";
    return e;
}

// One part to write: its option's file, and the output it goes to.
struct part {
    const char* what;  // "software image" or "MCU ota image"
    const char* path;  // null when the part is not asked for
    std::uint32_t length;
    output file;
    output* sink() { return path != nullptr ? &file : nullptr; }
};

// Ends the run with an error line: the outputs' new files, when there are any, go with it.
int trouble(const info_error& error) {
    report_error(error);
    return info_trouble;
}

// What stopped an unpacking run before its parts could take their files' places, if anything.
using unpack_problem = std::optional<info_error>;

// Opens the parts' outputs, each checked against every other argument before any is created. The
// parts are read again from just behind the header; an image that can't go back there (a pipe)
// is refused before any file is created, too.
unpack_problem open_parts(const info_options& options, input_file& image, part& software,
                          part& mcu) {
    const open_result opened = open_outputs(
        {{software.path, &software.file}, {mcu.path, &mcu.file}},
        {{image.status().identity, failure_kind::same_as_image}}, false, [&image]() -> failure {
            const int error = image.seek_to(header_size);
            return error != 0 ? failure{failure_kind::image_unreadable, error} : failure{};
        });
    if (opened.failed.kind == failure_kind::image_unreadable) {
        return about_image(failure_kind::image_unreadable, options.image_path, opened.failed.error);
    }
    if (opened.failed) {
        const bool both = opened.failed.kind == failure_kind::same_outputs;
        return about_output(opened.failed, (opened.at == 0 ? software : mcu).path,
                            options.image_path, both ? mcu.path : "");
    }
    return std::nullopt;
}

// Everything before the parts take their files' places: checks, new files, the copies, each
// part's file closed.
unpack_problem prepare_parts(const info_options& options, input_file& image,
                             const swug_header& header, part& software, part& mcu,
                             copy_buffer& buffer) {
    if (options.mcu_path != nullptr && header.mcu_ota_flag != 1) {
        info_error e = about_image(failure_kind::no_mcu_part, options.image_path);
        e.context.other = options.mcu_path;
        return e;
    }
    if (unpack_problem problem = open_parts(options, image, software, mcu)) {
        return problem;
    }
    const unpack_outcome outcome = unpack_image(image, header, software.sink(), mcu.sink(), buffer);
    if (outcome.failed.kind == failure_kind::cannot_write) {
        // Only a part that is written can fail to be written.
        return about_output(outcome.failed, (outcome.in_mcu ? mcu : software).path);
    }
    if (outcome.failed) {
        return about_image(outcome.failed.kind, options.image_path, outcome.failed.error);
    }
    for (part* p : {&software, &mcu}) {
        if (p->path != nullptr) {
            if (const failure finished = p->file.finish()) {
                return about_output(finished, p->path);
            }
        }
    }
    return std::nullopt;
}

// Writes the parts of a valid image. The plain report is out already; the JSON document is
// printed here, once it is known whether the parts could be written, and says so.
int unpack(const info_options& options, input_file& image, const image_report& report,
           copy_buffer& buffer) {
    part software{"software image", options.sw_path, report.header.length, {}};
    part mcu{"MCU ota image", options.mcu_path, report.header.mcu_len, {}};
    if (const unpack_problem problem =
            prepare_parts(options, image, report.header, software, mcu, buffer)) {
        report_error(*problem);
        if (options.json) {
            const std::string message = render(problem->what, problem->context);
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
    info_voice speaker;
    const failure published =
        publish(text, {{software.sink(), software.path}, {mcu.sink(), mcu.path}}, speaker);
    return published ? info_trouble : info_valid;
}

}  // namespace

info_error usage_error(failure_kind kind, const char* word) {
    info_error e{{kind}, {}};
    e.context.other = word;
    return e;
}

int print_report(const std::string& text, int status) {
    if (const int error = write_standard_output(text); error != 0) {
        return trouble({{failure_kind::report_failed, error}, {}});
    }
    return status;
}

void report_error(const info_error& error) {
    info_voice().say(error.what, error.context);
}

int end_before_report(const info_error& error, bool json, const char* image) {
    report_error(error);
    if (json) {
        return print_report(render_json_error(image, render(error.what, error.context)),
                            info_trouble);
    }
    return info_trouble;
}

int run_swug_info(const info_options& options) {
    const char* image_path = options.image_path;
    input_file image;
    if (const int error = image.open(image_path); error != 0) {
        return end_before_report(about_image(error == EISDIR ? failure_kind::image_unreadable
                                                             : failure_kind::image_unopenable,
                                             image_path, error),
                                 options.json, image_path);
    }
    // The one allocation whose size matters, made before any output file exists.
    copy_buffer buffer;
    if (!buffer.allocated()) {
        return end_before_report(about_image(failure_kind::image_unreadable, image_path, ENOMEM),
                                 options.json, image_path);
    }
    image_report report;
    if (const int error = check_image(image, image.status().size, buffer, report,
                                      options.slot_size.value_or(any_slot_size));
        error != 0) {
        return end_before_report(about_image(failure_kind::image_unreadable, image_path, error),
                                 options.json, image_path);
    }
    // A device would get an ELF program or a HEX text: said, though the image may be valid.
    if (report.software != software_format::binary) {
        info_error note = about_image(failure_kind::image_software_not_raw, image_path);
        note.context.looks_like = software_format_text(report.software);
        report_error(note);
    }
    const int verdict = report.valid() ? info_valid : info_invalid;
    const bool unpacking = options.sw_path != nullptr || options.mcu_path != nullptr;
    // With parts to write, the JSON document waits for their outcome, so that it can tell it.
    if (options.json && unpacking && verdict == info_valid) {
        return unpack(options, image, report, buffer);
    }
    if (const int status = print_report(
            options.json ? render_json(report, image_path) : render_plain(report, image_path),
            verdict);
        status != verdict) {
        return status;
    }
    if (!unpacking) {
        return verdict;
    }
    if (verdict != info_valid) {
        report_error({{failure_kind::not_valid}, {}});
        return verdict;
    }
    return unpack(options, image, report, buffer);
}

}  // namespace swug
