// Table rows for the end-to-end tests: the files of a fresh folder, a command line,
// and everything the run must print and leave behind.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "expected_image.h"
#include "program_runner.h"

namespace swug::testing {

struct run_case {
    std::string name;
    // A name ending in "/" is a folder.
    std::map<std::string, bytes> given;
    std::vector<std::string> args;  // "{dir}" stands for the folder as the program sees it
    int exit_status = 0;
    std::string out;                       // "{dir}" as in args
    std::string err;                       // standard error, "{dir}" as in args
    std::map<std::string, bytes> written;  // files and folders that differ from given afterwards
    std::string cwd;                       // subfolder to run in, when not the folder itself
    std::function<void(const std::string& folder)> prepare;  // links, attributes...
    std::vector<std::string> wrapper;  // a command that runs the program, as run_options has it
};

// Writes software as in.bin, and mcu as mcu_ota.bin when given, into folder and runs
// "swug_gen in.bin up.bin" there (this build's own program when native).
run_result pack_in_folder(const std::string& folder, const bytes& software,
                          const std::optional<bytes>& mcu, bool native = false);

// Creates the files and folders of given under folder.
void lay_out(const std::string& folder, const std::map<std::string, bytes>& given);

// Runs a row with program in a fresh folder and checks how it ended, standard output, standard
// error, and every file and folder below the folder.
void check_run_case(const run_case& row, const std::string& program = "swug_gen");

// Checks every file and folder below folder after a run: what row.given laid out, changed by
// row.written, and nothing else.
void check_folder(const run_case& row, const std::string& folder);

}  // namespace swug::testing
