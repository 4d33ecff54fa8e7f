// Path texts as the tool handles them: zero-terminated UTF-8, at most 299 characters as the
// system counts them, "/" separators.
#pragma once

#include <cstddef>

#include "os/platform.h"

namespace swug {

// The most characters a path may hold: bytes on POSIX systems, UTF-16 code units on Windows, so
// that 299 characters are 299 characters there whatever the script.
constexpr std::size_t path_max_length = 299;

// Capacity of every path buffer: path_max_length characters of UTF-8 and the terminating zero
// byte (300 bytes where characters are bytes).
constexpr std::size_t path_capacity = path_max_length * platform::path_character_max_bytes + 1;

// The length of UTF-8 text in UTF-16 code units: one per character, two for a character beyond
// U+FFFF (four bytes of UTF-8).
std::size_t utf16_length(const char* text);

// The length of a path as the system counts it (see path_max_length).
std::size_t path_length(const char* path);

// Replaces every backslash of text by "/" and removes none, so "\\srv\vol" stays a network path.
void rewrite_backslashes(char* text);

// True for an argument that begins with "./" and so is taken relative to the working directory.
inline bool starts_with_dot_slash(const char* argument) {
    return argument[0] == '.' && argument[1] == '/';
}

enum class path_status { ok, too_long, no_work_dir };

// Writes the path for a command-line argument into path: "./name" becomes work_dir, "/" and
// "name"; any other argument is taken unchanged. An empty work_dir means it is not known. A path
// longer than path_max_length, or than path can hold, is too_long.
path_status expand_argument(const char* argument, const char* work_dir,
                            char (&path)[path_capacity]);

}  // namespace swug
