#include "image_builder.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "image_copy.h"
#include "image_pack.h"
#include "os/input_file.h"
#include "os/platform.h"
#include "output/output.h"
#include "publish.h"
#include "software_format.h"

namespace swug {

std::uint8_t in_cmd_mode = 0;
std::string work_dir;
int work_dir_error = 0;

namespace {

// After "Parameter Error [N]", which scripts know as it is, this line on standard error says what
// the two arguments are.
constexpr char usage_line[] =
    "usage: swug_gen SOFTWARE_IMAGE UPGRADE_IMAGE (the firmware file, the upgrade image to write); "
    "see man swug_gen\n";

// swug_gen's sentences go to standard output with its summary line, but for those about standard
// output itself and the notes on a run that goes on, which go to standard error. A sentence that
// can't reach standard output goes to standard error, followed by why.
class gen_voice final : public voice {
public:
    void say(const failure& what, const message_context& context) override {
        const std::string line = render(what, context) + "\n";
        if (channel_of(what.kind) != channel::error) {
            std::fputs(line.c_str(), stderr);
            return;
        }
        if (const int error = write_standard_output(line); error != 0) {
            const std::string lost = render({failure_kind::report_failed, error}, {});
            std::fputs((line + lost + "\n").c_str(), stderr);
        }
        if (what.kind == failure_kind::wrong_argc) {
            std::fputs(usage_line, stderr);
        }
    }
    std::string subject(const std::string& name) const override {
        return "the upgrade image " + printable(name);
    }
};

// The names and numbers of one run's sentences.
message_context context_of(const char* openname, const char* fname) {
    message_context context;
    context.output = gen_voice().subject(fname);
    context.software = openname;
    context.mcu = mcu_ota_name;
    context.written = "the image";
    return context;
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

// The summary of a written image: the warning about a refused mcu_ota.bin, then the one line.
std::string summary_of(const swug_header& hdr, bool mcu_refused) {
    std::string text = mcu_refused ? "| MCU ota file is too big, must <96KB |\n" : "";
    if (hdr.mcu_ota_flag == 1) {
        return text + formatted("| gen image file checksum=%08" PRIx32 ",size=%08" PRIx32
                                " , MCU ota checksum=%08" PRIx32 ",size=%08" PRIx32 " |\n",
                                hdr.sum, hdr.length, hdr.mcu_sum, hdr.mcu_len);
    }
    return text + formatted("| gen image file checksum=%08" PRIx32 ",size=%08" PRIx32 " |\n",
                            hdr.sum, hdr.length);
}

// A path as the run shows it, with a "./" argument expanded against work_dir, and as it opens it:
// such an argument as it is, relative to the folder the run started in, which the process holds
// however that folder's name changes meanwhile, as a plain open of "./name" would.
struct run_path {
    std::string shown;
    std::string opened;
};

// Turns one command-line argument into a path, or says why it can't.
failure choose_path(const char* argument, run_path& path, message_context& context) {
    if (expand_argument(argument, work_dir, path.shown) == path_status::no_work_dir) {
        context.other = argument;
        return {failure_kind::no_work_dir, work_dir_error};
    }
    path.opened = starts_with_dot_slash(argument) ? std::string(argument) : path.shown;
    return {};
}

// The inputs of a build: the software image and, when it is there, mcu_ota.bin.
struct build_inputs {
    input_file software;
    input_file mcu;
    bool mcu_present = false;
    bool mcu_accepted = false;
};

// What a build found on the way that its summary tells.
struct build_notes {
    swug_header header;
    bool mcu_refused = false;
    failure mcu_left_out;  // an mcu_ota.bin that is there but can't be opened
    software_format format = software_format::binary;  // what the software file looks like
};

failure open_inputs(const char* openname, build_inputs& in, build_notes& notes) {
    // A software image that can't be opened is "can't find", but for a folder, a file that
    // another process holds, another user's link in a shared folder and a path longer than the
    // system takes, which say why.
    if (const int error = in.software.open(openname); error != 0) {
        return {error == EISDIR || error == platform::file_in_use ||
                        error == platform::planted_link || error == ENAMETOOLONG
                    ? failure_kind::software_unreadable
                    : failure_kind::software_missing,
                error};
    }
    // A folder named "mcu_ota.bin" counts as absent. A FIFO or device is opened without waiting
    // for a writer and never read, so it can't block the run. One that is there but can't be
    // opened is left out too, and said so, so that a short image is never a silent one; so is one
    // that another user may have put in a shared folder.
    const int mcu_error = in.mcu.open_unnamed(mcu_ota_name);
    in.mcu_present = mcu_error == 0;
    if (mcu_error != 0 && mcu_error != ENOENT && mcu_error != EISDIR) {
        notes.mcu_left_out = {failure_kind::mcu_left_out, mcu_error};
    }
    in.mcu_accepted = in.mcu_present && mcu_ota_fits(in.mcu.status().size);
    notes.mcu_refused = in.mcu_present && !in.mcu_accepted;

    // Refuse sizes the header can't hold before anything is written, where the size is known.
    const std::int64_t software_size = in.software.status().size;
    if (software_size >= 0 &&
        static_cast<std::uint64_t>(software_size) > software_length_limit(in.mcu_accepted)) {
        return {failure_kind::software_too_big};
    }
    return {};
}

// Opens the image for writing: never one of the inputs, and never a file that can't go back to its
// start, where the header is written last.
failure open_image(const char* fname, const build_inputs& in, output& image) {
    std::vector<kept_file> kept{{in.software.status().identity, failure_kind::same_as_software}};
    if (in.mcu_present) {
        kept.push_back({in.mcu.status().identity, failure_kind::same_as_mcu});
    }
    return open_outputs({{fname, &image}}, kept, true).failed;
}

// Everything up to the moment the new image could take the old one's place: on success the
// image is complete and synced in a temporary file that `image` holds.
failure build(const char* openname, const char* fname, output& image, build_notes& notes,
              message_context& context) {
    build_inputs in;
    const failure opened = open_inputs(openname, in, notes);
    context.number = software_length_limit(in.mcu_accepted);
    if (opened) {
        return opened;
    }
    // The one allocation whose size matters, made while nothing has been created yet.
    copy_buffer buffer;
    if (!buffer.allocated()) {
        return {failure_kind::cannot_write, ENOMEM};
    }
    if (const failure refused = open_image(fname, in, image)) {
        return refused;
    }
    // Its format is guessed from the bytes the one copy reads: it may be a pipe.
    format_probe software(in.software);
    const pack_outcome packed =
        pack_upgrade_image(software, in.mcu_accepted ? &in.mcu : nullptr, image, buffer);
    if (packed.failed) {
        return packed.failed;
    }
    if (const failure finished = image.finish()) {
        return finished;
    }
    notes.header = packed.header;
    notes.format = software.guess();
    return {};
}

// Builds, reports and puts the new image in its place, for paths that are chosen.
std::int32_t pack_and_report(const run_path& openname, const run_path& fname) {
    gen_voice speaker;
    message_context context = context_of(openname.shown.c_str(), fname.shown.c_str());
    output image;
    build_notes notes;
    if (const failure failed =
            build(openname.opened.c_str(), fname.opened.c_str(), image, notes, context)) {
        image.drop();
        speaker.say(failed, context);
        return build_failed;
    }
    if (notes.mcu_left_out) {
        speaker.say(notes.mcu_left_out, context);
    }
    // Packed as it is, as any bytes are, but a device would get an ELF program or a HEX text.
    if (notes.format != software_format::binary) {
        context.looks_like = software_format_text(notes.format);
        context.other = raw_image_command(openname.shown, notes.format);
        speaker.say({failure_kind::software_not_raw}, context);
    }
    // The summary must reach its reader before the new image takes the old one's place: when it
    // can't, the old image stays and the run fails.
    const failure published = publish(summary_of(notes.header, notes.mcu_refused),
                                      {{&image, fname.shown.c_str()}}, speaker);
    return published ? build_failed : build_done;
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
    run_path openname;
    run_path fname;
    message_context context;
    failure chosen;
    if (args->argc == 1) {
        openname = {default_software_image, default_software_image};
        fname = {default_upgrade_image, default_upgrade_image};
    } else if (args->argc != 3) {
        context.number = static_cast<std::uint64_t>(args->argc);
        chosen = {failure_kind::wrong_argc};
    } else if (chosen = choose_path(args->argv[1], openname, context); !chosen) {
        chosen = choose_path(args->argv[2], fname, context);
    }
    if (chosen) {
        gen_voice().say(chosen, context);
        return chosen.kind == failure_kind::wrong_argc ? build_wrong_argc : build_failed;
    }
    try {
        return pack_and_report(openname, fname);
    } catch (const std::bad_alloc&) {
        // Whatever the run created has gone with the objects that held it.
        report_out_of_memory(fname.shown.c_str());
        return build_failed;
    }
}

}  // namespace swug
