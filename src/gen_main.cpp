// swug_gen: packs a software image into an upgrade image.
//   swug_gen                      interactive: default names, then waits for a key
//   swug_gen SOFTWARE UPGRADE     command mode, never waits
//   swug_gen --help | --version   prints the help or the version, never waits
// Exit status, in both modes: 0 exactly when an upgrade image was written, 1 otherwise, so that a
// script is never told that a run succeeded which wrote nothing.
#include <cstdio>
#include <cstring>
#include <new>

#include "messages.h"
#include "image_builder.h"
#include "os/platform.h"

namespace {

constexpr char help_text[] =
    "usage: swug_gen SOFTWARE_IMAGE UPGRADE_IMAGE\n"
    "       swug_gen\n"
    "Packs a firmware file, the software image, into an upgrade image.\n"
    "\n"
    "Command mode, with two arguments: packs SOFTWARE_IMAGE into UPGRADE_IMAGE. An\n"
    "argument that begins with \"./\" is expanded against the working folder.\n"
    "Interactive mode, without arguments: packs data/VRK520_SW.bin into\n"
    "out/VRK520_UPGRADE_SW.bin, then prints \"Press any key to exit!\" and waits for\n"
    "one key. Either way, an mcu_ota.bin of at most 96 KiB in the current folder is\n"
    "appended as the MCU OTA image.\n"
    "\n"
    "  --help, /?  print this help and exit\n"
    "  --version   print the version and exit\n"
    "\n"
    "Exit status: 0 the upgrade image was written, 1 it was not.\n"
    "More: man swug_gen; on Windows, README.md beside the program.\n";

// Help and version answer a single argument only: two arguments are always two paths, and any
// other single argument stays the wrong count it always was.
const char* answer_for(int argc, char** argv) {
    if (argc != 2) {
        return nullptr;
    }
    // "/?" asks for help as Windows programs do; one argument is never a path, so everywhere.
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "/?") == 0) {
        return help_text;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        return "swug_gen " SWUG_VERSION "\n";
    }
    return nullptr;
}

int run(int argc, char** argv) {
    swug::platform::command_line words(argc, argv);
    if (const char* answer = answer_for(words.argc(), words.argv()); answer != nullptr) {
        if (const int error = swug::write_standard_output(answer); error != 0) {
            std::fprintf(stderr, "can't write to standard output: %s\n", swug::reason_text(error));
            return 1;
        }
        return 0;
    }
    swug::func_args args{words.argc(), words.argv(), 0};
    if (args.argc == 3) {
        swug::work_dir_error = swug::platform::current_directory(swug::work_dir);
        if (swug::platform::backslash_is_separator()) {
            swug::rewrite_backslashes(swug::work_dir);
        }
        swug::in_cmd_mode = 1;
    }

    const std::int32_t result = swug::generate_swug_bin(&args);

    const int status = result == swug::build_done ? 0 : 1;
    if (swug::in_cmd_mode == 1) {
        return status;
    }
    // The prompt is a courtesy: where it can't be shown, the key still ends the run.
    std::printf("Press any key to exit!");
    std::fflush(stdout);
    swug::platform::wait_for_key();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    static constexpr char out_of_memory[] = "Cannot allocate memory\n";
    swug::platform::prepare_process();
    swug::platform::end_terminate_with(1, out_of_memory, 1);
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        // Before the run could even start: nothing was created.
        std::fputs(out_of_memory, stdout);
        return 1;
    }
}
