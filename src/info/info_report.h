// The two ways swug_info shows an image_report: result lines for people, one JSON object for
// programs.
#pragma once

#include <string>
#include <string_view>

#include "info/image_check.h"

namespace swug {

// One "| ... |" line per header field and per check, then the verdict.
std::string render_plain(const image_report& report, std::string_view image_path);

// The version of the JSON documents' layout, their first member; it grows when a member changes
// its meaning or goes away, never when one is added.
constexpr int json_schema = 1;

// One JSON object: schema, valid, image, size, magic, the header fields, checks, problems, error
// (null, or the message of a run that failed after checking the image: a part that could not be
// written) and software_format. The JSON section of swug_info(1) is the contract.
std::string render_json(const image_report& report, std::string_view image_path,
                        const std::string* error = nullptr);

// The JSON object of a run that ended before any report (exit status 2): valid false, error the
// message, and null for every member a report fills. image_path is null when the command line
// named no image to speak of (a usage error).
std::string render_json_error(const char* image_path, std::string_view message);

// text as a JSON string literal: quotes, backslashes and control characters escaped, and any
// byte sequence that is not UTF-8 replaced by U+FFFD, so the result is always valid JSON.
std::string json_string(std::string_view text);

}  // namespace swug
