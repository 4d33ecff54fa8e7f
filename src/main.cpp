// swug_gen: packs a software image into an upgrade image.
//   swug_gen                      interactive: default names, then waits for a key
//   swug_gen SOFTWARE UPGRADE     command mode: exit status 0 on success, 1 on failure
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "image_builder.h"
#include "platform.h"

int main(int argc, char** argv) {
    swug::func_args args{argc, argv, 0};
    if (argc == 3) {
        swug::work_dir_error =
            swug::platform::current_directory(swug::work_dir, sizeof swug::work_dir);
        if (swug::platform::backslash_is_separator()) {
            swug::rewrite_backslashes(swug::work_dir);
        }
        swug::in_cmd_mode = 1;
    }

    const std::int32_t result = swug::generate_swug_bin(&args);

    if (swug::in_cmd_mode == 1) {
        // A report that never reached its reader is no success either.
        errno = 0;
        if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
            std::fprintf(stderr, "can't write to standard output: %s\n",
                         std::strerror(errno != 0 ? errno : EIO));
            return 1;
        }
        return result == swug::build_done ? 0 : 1;
    }
    std::printf("Press any key to exit!");
    std::fflush(stdout);
    swug::platform::wait_for_key();
    return 0;
}
