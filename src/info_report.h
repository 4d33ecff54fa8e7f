// The two ways swug_info shows an image_report: result lines for people, one JSON object for
// programs.
#pragma once

#include <string>
#include <string_view>

#include "image_check.h"

namespace swug {

// One "| ... |" line per header field and per check, then the verdict.
std::string render_plain(const image_report& report, std::string_view image_path);

// One JSON object with the keys valid, image, size, magic, the header fields, checks and problems.
std::string render_json(const image_report& report, std::string_view image_path);

// text as a JSON string literal: quotes, backslashes and control characters escaped, and any
// byte sequence that is not UTF-8 replaced by U+FFFD, so the result is always valid JSON.
std::string json_string(std::string_view text);

}  // namespace swug
