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
    std::map<std::string, bytes> given;  // a name ending in "/" is a folder
    std::vector<std::string> args;       // "{dir}" stands for the folder as the program sees it
    int exit_status = 0;
    std::string out;                       // "{dir}" as in args
    std::map<std::string, bytes> written;  // files that differ from given afterwards
    std::string cwd;                       // subfolder to run in, when not the folder itself
    std::function<void(const std::string& folder)> prepare;  // links, sparse files...
    bool remove_cwd = false;  // the working folder is gone before the program starts
};

// Writes software as in.bin, and mcu as mcu_ota.bin when given, into folder and runs
// "swug_gen in.bin up.bin" there (this build's own program when native).
run_result pack_in_folder(const std::string& folder, const bytes& software,
                          const std::optional<bytes>& mcu, bool native = false);

// Creates the files of given under folder.
void lay_out(const std::string& folder, const std::map<std::string, bytes>& given);

// Runs a row with program in a fresh folder and checks exit status, standard output and every
// file.
void check_run_case(const run_case& row, const std::string& program = "swug_gen");

std::string replace_all(std::string text, const std::string& from, const std::string& to);

}  // namespace swug::testing
