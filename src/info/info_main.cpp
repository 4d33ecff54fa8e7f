// swug_info: reads an upgrade image back, checks every field, and can write its parts out.
//   swug_info [--json] [--sw FILE] [--mcu FILE] [--] IMAGE
// Exit status: 0 valid, 1 the image fails a check, 2 wrong usage or a file that can't be read or
// written.
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "info/info_run.h"
#include "info/slot_size.h"
#include "os/platform.h"

namespace {

// Follows the usage line.
constexpr char help_text[] =
    "Checks an upgrade image field by field and can write its parts out again.\n"
    "\n"
    "  --json      print the report as one JSON object\n"
    "  --slot-size N\n"
    "              the size check fails when the image is larger than N bytes, or N KiB or\n"
    "              MiB with the suffix K or M (256K, 1M): the device's slot for it\n"
    "  --sw FILE   write the software image of a valid image to FILE\n"
    "  --mcu FILE  write the MCU OTA image of a valid image to FILE\n"
    "  --          end of the options: the next word is the image\n"
    "  -h, --help  print this help and exit\n"
    "  --version   print the version and exit\n"
    "\n"
    "Exit status: 0 the image is valid, 1 it fails a check, 2 wrong usage or a file that\n"
    "can't be read or written.\n";

enum class parsed { run, help, version, wrong };

// What the command line asks for. The first usage error, --help or --version decides; the words
// after it are still read, so that a usage error is told as JSON when --json comes later.
struct parse_outcome {
    parsed what = parsed::run;
    swug::info_error error = swug::usage_error(swug::failure_kind::no_image, "");  // when wrong
};

void settle(parse_outcome& outcome, parsed what) {
    if (outcome.what == parsed::run) {
        outcome.what = what;
    }
}

void refuse(parse_outcome& outcome, swug::failure_kind problem, const char* word) {
    if (outcome.what == parsed::run) {
        outcome.what = parsed::wrong;
        outcome.error = swug::usage_error(problem, word);
    }
}

// The image, or a second one.
void take_image(const char* word, swug::info_options& chosen, parse_outcome& outcome) {
    if (chosen.image_path != nullptr) {
        refuse(outcome, swug::failure_kind::second_image, word);
        return;
    }
    chosen.image_path = word;
}

// --sw FILE or --mcu FILE at words[at]: the file is the next word, which at moves to.
void take_file(int& at, int count, char** words, const char*& file, parse_outcome& outcome) {
    const char* option = words[at];
    if (file != nullptr) {
        refuse(outcome, swug::failure_kind::repeated_option, option);
    }
    if (at + 1 == count) {
        refuse(outcome, swug::failure_kind::missing_value, option);
        return;
    }
    ++at;
    if (file == nullptr) {
        file = words[at];
    }
}

// --slot-size N at words[at]: N is the next word, which at moves to.
void take_size(int& at, int count, char** words, std::optional<std::uint64_t>& size,
               parse_outcome& outcome) {
    const char* option = words[at];
    if (size) {
        refuse(outcome, swug::failure_kind::repeated_option, option);
    }
    if (at + 1 == count) {
        refuse(outcome, swug::failure_kind::missing_size, option);
        return;
    }
    ++at;
    const std::optional<std::uint64_t> parsed = swug::parse_slot_size(words[at]);
    if (!size) {
        size = parsed;
    }
    if (!parsed) {
        refuse(outcome, swug::failure_kind::bad_slot_size, words[at]);
    }
}

// The option at words[at]; one that takes a file or a size moves at to it.
void take_option(int& at, int count, char** words, swug::info_options& chosen, bool& options_ended,
                 parse_outcome& outcome) {
    const char* word = words[at];
    if (std::strcmp(word, "--") == 0) {
        options_ended = true;
    } else if (std::strcmp(word, "-h") == 0 || std::strcmp(word, "--help") == 0 ||
               std::strcmp(word, "-?") == 0 || std::strcmp(word, "/?") == 0) {
        settle(outcome, parsed::help);
    } else if (std::strcmp(word, "--version") == 0) {
        settle(outcome, parsed::version);
    } else if (std::strcmp(word, "--json") == 0) {
        if (chosen.json) {
            refuse(outcome, swug::failure_kind::repeated_option, word);
        }
        chosen.json = true;
    } else if (std::strcmp(word, "--sw") == 0) {
        take_file(at, count, words, chosen.sw_path, outcome);
    } else if (std::strcmp(word, "--mcu") == 0) {
        take_file(at, count, words, chosen.mcu_path, outcome);
    } else if (std::strcmp(word, "--slot-size") == 0) {
        take_size(at, count, words, chosen.slot_size, outcome);
    } else {
        refuse(outcome, swug::failure_kind::unknown_option, word);
    }
}

parse_outcome parse_arguments(int argc, char** argv, swug::info_options& chosen) {
    parse_outcome outcome;
    bool options_ended = false;
    for (int at = 1; at < argc; ++at) {
        const char* word = argv[at];
        // "/?" asks for help, as Windows programs do; any other word that begins with "/" is a
        // path.
        const bool is_option =
            !options_ended && ((word[0] == '-' && word[1] != '\0') || std::strcmp(word, "/?") == 0);
        if (is_option) {
            take_option(at, argc, argv, chosen, options_ended, outcome);
        } else {
            take_image(word, chosen, outcome);
        }
    }
    if (chosen.image_path == nullptr) {
        refuse(outcome, swug::failure_kind::no_image, "");
    }
    return outcome;
}

int run(int argc, char** argv) {
    swug::platform::command_line words(argc, argv);
    swug::info_options chosen;
    const parse_outcome outcome = parse_arguments(words.argc(), words.argv(), chosen);
    switch (outcome.what) {
        case parsed::run:
            return swug::run_swug_info(chosen);
        case parsed::help:
            return swug::print_report(std::string(swug::usage_line) + help_text, swug::info_valid);
        case parsed::version:
            return swug::print_report("swug_info " SWUG_VERSION "\n", swug::info_valid);
        case parsed::wrong:
            break;
    }
    return swug::end_before_report(outcome.error, chosen.json, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    static constexpr char out_of_memory[] = "swug_info: Cannot allocate memory\n";
    swug::platform::prepare_process();
    swug::platform::end_terminate_with(2, out_of_memory, swug::info_trouble);
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        // Whatever the run created has gone with the objects that held it.
        std::fputs(out_of_memory, stderr);
        return swug::info_trouble;
    }
}
