#include "image_unpack.h"

#include <cerrno>
#include <cinttypes>
#include <cstring>
#include <string>

#include "file_io.h"
#include "platform.h"

namespace swug {

namespace {

struct part {
    const char* what;  // "software image" or "MCU ota image"
    const char* path;  // null when this part is not wanted
    std::uint32_t length;
    std::uint32_t sum;
    output_file file;
};

bool fail(const std::string& message) {
    std::fprintf(stderr, "swug_info: %s\n", message.c_str());
    return false;
}

// Reads one part from the image's current position into its file (or nowhere) and checks it
// against the header once more.
bool copy_part(std::FILE* image, const char* image_path, part& p, chunk_buffer& buf) {
    copy_totals totals;
    switch (copy_summing(image, p.file.stream(), p.length, buf, totals)) {
        case copy_status::read_failed:
            return fail(std::string("can't read the upgrade image ") + image_path + ": " +
                        reason_text(errno));
        case copy_status::write_failed:
            return fail(std::string("can't write ") + p.path + ": " + reason_text(errno));
        case copy_status::ok:
            break;
    }
    if (totals.count != p.length || totals.sum != p.sum) {
        return fail(std::string("the upgrade image ") + image_path + " changed while it was read");
    }
    return true;
}

}  // namespace

bool unpack_image(std::FILE* image, const char* image_path, const swug_header& header,
                  const char* sw_path, const char* mcu_path, std::FILE* notes) {
    part software{"software image", sw_path, header.length, header.sum, {}};
    part mcu{"MCU ota image", mcu_path, header.mcu_len, header.mcu_sum, {}};
    if (mcu_path != nullptr && header.mcu_ota_flag != 1) {
        return fail(std::string(image_path) + " holds no MCU ota image to write to " + mcu_path);
    }
    for (part* p : {&software, &mcu}) {
        if (p->path == nullptr) {
            continue;
        }
        if (platform::is_same_file(image, p->path)) {
            return fail(std::string(p->path) + " is the upgrade image " + image_path +
                        ", refusing to overwrite it");
        }
        if (const int reason = p->file.create(p->path); reason != 0) {
            return fail(std::string("can't create ") + p->path + ": " + reason_text(reason));
        }
    }
    // Two spellings of one file would have the MCU OTA image overwrite the software image.
    if (sw_path != nullptr && mcu_path != nullptr &&
        (std::strcmp(sw_path, mcu_path) == 0 ||
         platform::is_same_file(software.file.stream(), mcu_path))) {
        return fail(std::string("--sw ") + sw_path + " and --mcu " + mcu_path +
                    " are the same file");
    }

    errno = 0;
    if (std::fseek(image, static_cast<long>(header_size), SEEK_SET) != 0) {
        return fail(std::string("can't read the upgrade image ") + image_path + ": " +
                    reason_text(errno));
    }
    // The software image is read even when only the MCU OTA image is wanted: it lies in between.
    chunk_buffer buf;
    if (!copy_part(image, image_path, software, buf) ||
        (mcu_path != nullptr && !copy_part(image, image_path, mcu, buf))) {
        return false;
    }
    for (part* p : {&software, &mcu}) {
        if (p->path == nullptr) {
            continue;
        }
        if (const int reason = p->file.finish(); reason != 0) {
            return fail(std::string("can't write ") + p->path + ": " + reason_text(reason));
        }
        if (notes != nullptr) {
            std::fprintf(notes, "| wrote the %s to %s, size=%08" PRIx32 " |\n", p->what, p->path,
                         p->length);
        }
    }
    return true;
}

}  // namespace swug
