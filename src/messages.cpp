#include "messages.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "image_format.h"
#include "os/platform.h"

namespace swug {

namespace {

struct sentence {
    failure_kind kind;
    channel where;
    const char* text;  // {name} stands for a value of the context; see fill()
};

// Every sentence of both tools but their report lines.
constexpr sentence catalogue[] = {
    {failure_kind::none, channel::error, ""},
    {failure_kind::wrong_argc, channel::error, "Parameter Error [{number}]"},
    {failure_kind::no_work_dir, channel::error,
     "can't expand {other}: can't get the working directory: {reason}"},
    {failure_kind::unknown_option, channel::error, "unknown option {other}"},
    {failure_kind::missing_value, channel::error, "{other} needs a file name"},
    {failure_kind::repeated_option, channel::error, "{other} is given twice"},
    {failure_kind::second_image, channel::error, "one image at a time: {other} is a second one"},
    {failure_kind::missing_size, channel::error, "{other} needs a size"},
    {failure_kind::bad_slot_size, channel::error,
     "{other} is not a slot size: give bytes, or KiB or MiB with K or M, such as 262144, 256K or "
     "1M"},
    {failure_kind::no_image, channel::error, "no image given"},
    {failure_kind::software_missing, channel::error, "can't find the software file {software} "},
    {failure_kind::software_unreadable, channel::error,
     "can't read the software file {software}: {reason}"},
    {failure_kind::software_too_big, channel::error,
     "the software file {software} is too big, must be at most {number} bytes"},
    {failure_kind::mcu_unreadable, channel::error, "can't read the MCU ota file {mcu}: {reason}"},
    {failure_kind::mcu_grew, channel::error,
     "the MCU ota file {mcu} grew beyond {mcu_limit} bytes while it was read"},
    {failure_kind::mcu_left_out, channel::note,
     "can't open the MCU ota file {mcu}: {reason}; the upgrade image is made without it"},
    {failure_kind::software_not_raw, channel::note,
     "warning: {software} looks like {looks_like}, not raw binary; it is packed as it is "
     "({other} makes the raw image)"},
    {failure_kind::image_unopenable, channel::error,
     "can't open the upgrade image {image}: {reason}"},
    {failure_kind::image_unreadable, channel::error,
     "can't read the upgrade image {image}: {reason}"},
    {failure_kind::image_changed, channel::error,
     "the upgrade image {image} changed while it was read"},
    {failure_kind::no_mcu_part, channel::error,
     "{image} holds no MCU ota image to write to {other}"},
    {failure_kind::not_valid, channel::error,
     "not writing the parts of an image that is not valid"},
    {failure_kind::image_software_not_raw, channel::note,
     "warning: the software image in {image} looks like {looks_like}, not raw binary; a device "
     "takes the raw image that objcopy -O binary makes"},
    {failure_kind::cannot_create, channel::error, "can't create {output}: {reason}"},
    {failure_kind::cannot_write, channel::error, "can't write {output}: {reason}"},
    {failure_kind::foreign_link, channel::error,
     "can't write {output}: it leads through another user's symbolic link in a shared folder"},
    {failure_kind::foreign_file, channel::error,
     "can't write {output}: it is another user's file in a shared folder"},
    {failure_kind::read_only, channel::error, "can't write {output}: it is read-only"},
    {failure_kind::same_as_software, channel::error,
     "{output} is the software file {software}, refusing to overwrite it"},
    {failure_kind::same_as_mcu, channel::error,
     "{output} is the MCU ota file {mcu}, refusing to overwrite it"},
    {failure_kind::same_as_image, channel::error,
     "{output} is the upgrade image {image}, refusing to overwrite it"},
    {failure_kind::same_outputs, channel::error,
     "--sw {output} and --mcu {other} are the same file"},
    {failure_kind::same_as_report, channel::standard_output,
     "{output} is the standard output, refusing to write {written} and the report into one file"},
    {failure_kind::rewritten, channel::note,
     "{output} was written over in place, not replaced in one step: {rewrite}"},
    {failure_kind::not_synced, channel::note,
     "{output} is in place, but its folder can't be synced to the disk: {reason}"},
    {failure_kind::report_failed, channel::standard_output,
     "can't write to standard output: {reason}"},
};
static_assert(sizeof catalogue / sizeof catalogue[0] ==
                  static_cast<std::size_t>(failure_kind::report_failed) + 1,
              "one sentence for each kind of failure");

const sentence& sentence_of(failure_kind kind) {
    return *std::find_if(std::begin(catalogue), std::end(catalogue),
                         [kind](const sentence& s) { return s.kind == kind; });
}

// The value that {key} stands for.
std::string value_of(std::string_view key, const failure& what, const message_context& c) {
    if (key == "output") {
        return c.output;
    }
    if (key == "reason") {
        return reason_text(what.error);
    }
    if (key == "mcu_limit") {
        return std::to_string(mcu_ota_max_size);
    }
    if (key == "number") {
        return std::to_string(c.number);
    }
    if (key == "written") {
        return c.written;
    }
    if (key == "looks_like") {
        return c.looks_like;
    }
    if (key == "rewrite") {
        return rewrite_text(c.rewrite);
    }
    const std::string* name = key == "software" ? &c.software
                              : key == "mcu"    ? &c.mcu
                              : key == "image"  ? &c.image
                                                : &c.other;
    return printable(*name);
}

}  // namespace

std::string render(const failure& what, const message_context& context) {
    const std::string_view text = sentence_of(what.kind).text;
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t open = text.find('{', at);
        if (open == std::string_view::npos) {
            out.append(text.substr(at));
            break;
        }
        const std::size_t close = text.find('}', open);
        out.append(text.substr(at, open - at));
        out += value_of(text.substr(open + 1, close - open - 1), what, context);
        at = close + 1;
    }
    return out;
}

channel channel_of(failure_kind kind) {
    return sentence_of(kind).where;
}

const char* reason_text(int error) {
    if (const char* own = platform::own_reason_text(error); own != nullptr) {
        return own;
    }
    return std::strerror(error != 0 ? error : EIO);
}

const char* rewrite_text(rewrite_reason reason) {
    static constexpr const char* texts[] = {
        "",
        "its folder allows no new files",
        "there is no room for a new file beside it",
        "a new file can't be given its owner",
        "a new file can't be given its group",
        "a new file can't be given its ACL or attributes",
        "its folder lets only the file's owner replace it",
        "its folder is append-only",
        "it is a mount point",
        "it names an open file descriptor",
        "another process has it open",
    };
    static_assert(
        sizeof texts / sizeof texts[0] == static_cast<std::size_t>(rewrite_reason::in_use) + 1,
        "one text for each reason");
    return texts[static_cast<std::size_t>(reason)];
}

// Length of the well-formed UTF-8 sequence at text[at], or 0 when it is not one.
std::size_t utf8_sequence_length(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0u) != 0x80u) {
            return 0;
        }
        code = code << 6 | (byte(at + i) & 0x3Fu);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return overlong || surrogate || code > 0x10FFFF ? 0 : length;
}

namespace {

void append_escaped(std::string& shown, unsigned char c) {
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
    shown += escaped;
}

}  // namespace

std::string printable(std::string_view path) {
    std::string shown;
    for (std::size_t i = 0; i < path.size();) {
        const auto c = static_cast<unsigned char>(path[i]);
        const std::size_t length = c < 0x80 ? 1 : utf8_sequence_length(path, i);
        if (length > 1) {
            // The controls U+0080 to U+009F, as UTF-8, are commands to some terminals too.
            const bool c1_control = c == 0xC2 && static_cast<unsigned char>(path[i + 1]) < 0xA0;
            for (std::size_t k = 0; k < length; ++k) {
                if (c1_control) {
                    append_escaped(shown, static_cast<unsigned char>(path[i + k]));
                } else {
                    shown += path[i + k];
                }
            }
        } else if (c == '\n') {
            shown += "\\n";
        } else if (c == '\r') {
            shown += "\\r";
        } else if (c == '\t') {
            shown += "\\t";
        } else if (c < 0x20 || c == 0x7F || (length == 0 && c < 0xA0)) {
            // A lone byte 0x80 to 0x9F is one of those controls to an 8-bit terminal (0x9b: CSI).
            append_escaped(shown, c);
        } else {
            shown +=
                static_cast<char>(c);  // text, or a byte of no character that no terminal obeys
        }
        i += length > 1 ? length : 1;
    }
    return shown;
}

std::string format_hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%08" PRIx64, value);
    return text;
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

}  // namespace swug
