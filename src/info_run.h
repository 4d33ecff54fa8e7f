// swug_info's driver: opens the image, checks it, prints the report and writes the parts asked
// for, each replacing its file only once complete. All of its error lines come from one place.
#pragma once

#include <string>
#include <utility>

namespace swug {

// The command line as understood; the paths point into main's argv and outlive the run.
struct info_options {
    bool json = false;
    const char* sw_path = nullptr;
    const char* mcu_path = nullptr;
    const char* image_path = nullptr;
};

// The one-line usage that follows a usage error and opens the help.
constexpr char usage_line[] = "usage: swug_info [--json] [--sw FILE] [--mcu FILE] [--] IMAGE\n";

// Exit statuses.
constexpr int info_valid = 0;
constexpr int info_invalid = 1;
constexpr int info_trouble = 2;

// Everything swug_info says on standard error.
enum class info_problem {
    unknown_option,   // word: the option
    missing_value,    // word: the option
    repeated_option,  // word: the option
    second_image,     // word: the second image
    no_image,
    image_is_folder,    // path: the image
    cannot_open_image,  // path: the image
    cannot_read_image,  // path: the image
    cannot_create,      // path: the part's file
    output_refused,     // path: the part's file, other: why
    same_as_image,      // path: the part's file, other: the image
    same_parts,         // path: --sw's file, other: --mcu's file
    same_as_report,     // path: the part's file
    no_mcu_part,        // path: the image, other: --mcu's file
    not_valid,
    cannot_write,  // path: the part's file
    changed,       // path: the image
    not_synced,    // path: the part's file
    rewritten,     // path: the part's file, other: why it was not replaced in one step
    report_failed,
};

struct info_error {
    // Implicit, so that a bare problem reads as its error.
    // NOLINTNEXTLINE(google-explicit-constructor)
    // cppcheck-suppress noExplicitConstructor
    info_error(info_problem problem_, std::string path_ = {}, std::string other_ = {},
               int error_ = 0)
        : problem(problem_), path(std::move(path_)), other(std::move(other_)), error(error_) {}

    info_problem problem;
    std::string path;  // or the word of a usage error
    std::string other;
    int error;  // the system's error number, where there is one
};

// Prints the error's line on standard error, and the usage line after a usage error.
void report_error(const info_error& error);

// Ends a run that printed no report, with exit status 2: the error's line on standard error and,
// when json is true, one JSON document on standard output that holds its message. image is the
// image the error concerns, or null for a usage error.
int end_before_report(const info_error& error, bool json, const char* image);

// Writes text on standard output; returns status, or info_trouble when standard output can't be
// written, which it then says on standard error.
int print_report(const std::string& text, int status);

// Runs swug_info on the options; returns the exit status.
int run_swug_info(const info_options& options);

}  // namespace swug
