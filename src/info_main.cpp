// swug_info: reads an upgrade image back, checks every field, and can write its parts out.
//   swug_info [--json] [--sw FILE] [--mcu FILE] IMAGE
// Exit status: 0 valid, 1 the image fails a check, 2 wrong usage or a file that can't be read or
// written.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "file_io.h"
#include "image_check.h"
#include "image_unpack.h"
#include "info_report.h"
#include "platform.h"

namespace {

constexpr int exit_valid = 0;
constexpr int exit_invalid = 1;
constexpr int exit_trouble = 2;

constexpr char usage_line[] = "usage: swug_info [--json] [--sw FILE] [--mcu FILE] IMAGE\n";

struct options {
    bool json = false;
    const char* sw_path = nullptr;
    const char* mcu_path = nullptr;
    const char* image_path = nullptr;
};

bool parse_arguments(int argc, char** argv, options& chosen) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--json" && !chosen.json) {
            chosen.json = true;
        } else if ((word == "--sw" || word == "--mcu") && i + 1 < argc) {
            const char*& target = word == "--sw" ? chosen.sw_path : chosen.mcu_path;
            if (target != nullptr) {
                return false;
            }
            target = argv[++i];
        } else if (word.empty() || word[0] == '-' || chosen.image_path != nullptr) {
            return false;
        } else {
            chosen.image_path = argv[i];
        }
    }
    return chosen.image_path != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    options chosen;
    if (!parse_arguments(argc, argv, chosen)) {
        std::fputs(usage_line, stderr);
        return exit_trouble;
    }
    if (swug::platform::is_directory(chosen.image_path)) {
        std::fprintf(stderr, "swug_info: can't read the upgrade image %s: %s\n", chosen.image_path,
                     std::strerror(EISDIR));
        return exit_trouble;
    }
    const swug::file_ptr image = swug::open_for_reading(chosen.image_path);
    if (!image) {
        std::fprintf(stderr, "swug_info: can't open the upgrade image %s: %s\n", chosen.image_path,
                     swug::reason_text(errno));
        return exit_trouble;
    }
    swug::image_report report;
    if (!swug::check_image(image.get(), report)) {
        std::fprintf(stderr, "swug_info: can't read the upgrade image %s: %s\n", chosen.image_path,
                     swug::reason_text(errno));
        return exit_trouble;
    }
    std::fputs(chosen.json ? swug::render_json(report, chosen.image_path).c_str()
                           : swug::render_plain(report, chosen.image_path).c_str(),
               stdout);

    int status = report.valid() ? exit_valid : exit_invalid;
    const bool unpacking = chosen.sw_path != nullptr || chosen.mcu_path != nullptr;
    if (unpacking && status == exit_valid &&
        !swug::unpack_image(image.get(), chosen.image_path, report.header, chosen.sw_path,
                            chosen.mcu_path, chosen.json ? nullptr : stdout)) {
        status = exit_trouble;
    } else if (unpacking && status == exit_invalid) {
        std::fprintf(stderr, "swug_info: not writing the parts of an image that is not valid\n");
    }
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "swug_info: can't write to standard output: %s\n",
                     swug::reason_text(errno));
        return exit_trouble;
    }
    return status;
}
