// swug_info: reads an upgrade image back, checks every field, and can write its parts out.
//   swug_info [--json] [--sw FILE] [--mcu FILE] [--] IMAGE
// Exit status: 0 valid, 1 the image fails a check, 2 wrong usage or a file that can't be read or
// written.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "info_run.h"
#include "platform.h"

namespace {

// Follows the usage line.
constexpr char help_text[] =
    "Checks an upgrade image field by field and can write its parts out again.\n"
    "\n"
    "  --json      print the report as one JSON object\n"
    "  --sw FILE   write the software image of a valid image to FILE\n"
    "  --mcu FILE  write the MCU OTA image of a valid image to FILE\n"
    "  --          end of the options: the next word is the image\n"
    "  -h, --help  print this help and exit\n"
    "  --version   print the version and exit\n"
    "\n"
    "Exit status: 0 the image is valid, 1 it fails a check, 2 wrong usage or a file that\n"
    "can't be read or written.\n";

enum class parsed { run, help, version, wrong };

parsed parse_arguments(int argc, char** argv, swug::info_options& chosen) {
    using swug::info_problem;
    bool options_ended = false;
    for (int i = 1; i < argc; ++i) {
        const char* word = argv[i];
        // "/?" asks for help, as Windows programs do; any other word that begins with "/" is a
        // path.
        const bool is_option =
            !options_ended && ((word[0] == '-' && word[1] != '\0') || std::strcmp(word, "/?") == 0);
        if (!is_option) {
            if (chosen.image_path != nullptr) {
                swug::report_error({info_problem::second_image, word});
                return parsed::wrong;
            }
            chosen.image_path = word;
        } else if (std::strcmp(word, "--") == 0) {
            options_ended = true;
        } else if (std::strcmp(word, "-h") == 0 || std::strcmp(word, "--help") == 0 ||
                   std::strcmp(word, "-?") == 0 || std::strcmp(word, "/?") == 0) {
            return parsed::help;
        } else if (std::strcmp(word, "--version") == 0) {
            return parsed::version;
        } else if (std::strcmp(word, "--json") == 0) {
            if (chosen.json) {
                swug::report_error({info_problem::repeated_option, word});
                return parsed::wrong;
            }
            chosen.json = true;
        } else if (std::strcmp(word, "--sw") == 0 || std::strcmp(word, "--mcu") == 0) {
            const char*& target = word[2] == 's' ? chosen.sw_path : chosen.mcu_path;
            if (target != nullptr) {
                swug::report_error({info_problem::repeated_option, word});
                return parsed::wrong;
            }
            if (i + 1 == argc) {
                swug::report_error({info_problem::missing_value, word});
                return parsed::wrong;
            }
            target = argv[++i];
        } else {
            swug::report_error({info_problem::unknown_option, word});
            return parsed::wrong;
        }
    }
    if (chosen.image_path == nullptr) {
        swug::report_error({info_problem::no_image, ""});
        return parsed::wrong;
    }
    return parsed::run;
}

int run(int argc, char** argv) {
    swug::platform::command_line words(argc, argv);
    swug::info_options chosen;
    switch (parse_arguments(words.argc(), words.argv(), chosen)) {
        case parsed::run:
            return swug::run_swug_info(chosen);
        case parsed::help:
            return swug::print_report(std::string(swug::usage_line) + help_text, swug::info_valid);
        case parsed::version:
            return swug::print_report("swug_info " SWUG_VERSION "\n", swug::info_valid);
        case parsed::wrong:
            break;
    }
    return swug::info_trouble;
}

}  // namespace

int main(int argc, char** argv) {
    swug::platform::prepare_process();
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        // Whatever the run created has gone with the objects that held it.
        std::fputs("swug_info: Cannot allocate memory\n", stderr);
        return swug::info_trouble;
    }
}
