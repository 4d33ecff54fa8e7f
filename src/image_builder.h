// swug_gen's builder: takes the command line, opens the files it names, packs them into an
// upgrade image that replaces the output only once it is complete, and prints the one summary
// line or the one error line of the run. The packing itself, on open files, is image_pack.h.
#pragma once

#include <cstdint>
#include <string>

#include "paths.h"

namespace swug {

// The command line as main hands it to the builder; argv is main's and outlives the call.
struct func_args {
    std::int32_t argc;
    char** argv;
    std::int32_t return_code;  // kept for callers that pass it along; the builder ignores it
};

// Process-wide run state, written by main before the builder runs and only read after that.
extern std::uint8_t in_cmd_mode;  // 1 in command mode (two arguments)
extern std::string work_dir;      // working directory for "./" arguments, "/" separated
extern int work_dir_error;        // errno value when work_dir could not be obtained

// Builder results. Only build_done means that an upgrade image was written.
enum build_result : std::int32_t {
    build_done = 1,
    build_wrong_argc = 0,
    build_failed = -1,  // the software image can't be opened, or no image was written
};

// Name of the MCU OTA file, always taken from the current folder.
constexpr char mcu_ota_name[] = "mcu_ota.bin";

// Default paths of the interactive run, relative to the current folder.
constexpr char default_software_image[] = "data/VRK520_SW.bin";
constexpr char default_upgrade_image[] = "out/VRK520_UPGRADE_SW.bin";

// Builds the upgrade image that args asks for, prints the summary line or one error line, and
// returns a build_result. The output path holds its old content or the complete new image
// afterwards; build_done means the latter.
std::int32_t generate_swug_bin(const func_args* args);

}  // namespace swug
