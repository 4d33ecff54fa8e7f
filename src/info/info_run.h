// swug_info's driver: opens the image, checks it, prints the report and writes the parts asked
// for, each replacing its file only once complete. All of its error lines come from one place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "messages.h"

namespace swug {

// The command line as understood; the paths point into main's argv and outlive the run.
struct info_options {
    bool json = false;
    const char* sw_path = nullptr;
    const char* mcu_path = nullptr;
    const char* image_path = nullptr;
    std::optional<std::uint64_t> slot_size;  // --slot-size: the most bytes the image may have
};

// The one-line usage that follows a usage error and opens the help.
constexpr char usage_line[] =
    "usage: swug_info [--json] [--slot-size N] [--sw FILE] [--mcu FILE] [--] IMAGE\n";

// Exit statuses.
constexpr int info_valid = 0;
constexpr int info_invalid = 1;
constexpr int info_trouble = 2;

// A failure of swug_info with the names its sentence holds.
struct info_error {
    failure what;
    message_context context;
};

// A usage error about one word of the command line (none for no_image).
info_error usage_error(failure_kind kind, const char* word);

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
