// swug_gen: packs a software image into an upgrade image.
//   swug_gen                      interactive: default names, then waits for a key
//   swug_gen SOFTWARE UPGRADE     command mode: exit status 0 on success, 1 on failure
#include <cstdio>
#include <new>

#include "image_builder.h"
#include "os/platform.h"

namespace {

int run(int argc, char** argv) {
    swug::platform::command_line words(argc, argv);
    swug::func_args args{words.argc(), words.argv(), 0};
    if (args.argc == 3) {
        swug::work_dir_error =
            swug::platform::current_directory(swug::work_dir, sizeof swug::work_dir);
        if (swug::platform::backslash_is_separator()) {
            swug::rewrite_backslashes(swug::work_dir);
        }
        swug::in_cmd_mode = 1;
    }

    const std::int32_t result = swug::generate_swug_bin(&args);

    if (swug::in_cmd_mode == 1) {
        return result == swug::build_done ? 0 : 1;
    }
    // The prompt is a courtesy: where it can't be shown, the key still ends the run.
    std::printf("Press any key to exit!");
    std::fflush(stdout);
    swug::platform::wait_for_key();
    return 0;
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
