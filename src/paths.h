// Path texts as the tool handles them: zero-terminated, at most 299 characters, "/" separators.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace swug {

// Capacity of every path buffer: 299 characters and the terminating zero byte.
constexpr std::size_t path_capacity = 300;

// Replaces every backslash of text by "/" and removes none, so "\\srv\vol" stays a network path.
void rewrite_backslashes(char* text);

// True for an argument that begins with "./" and so is taken relative to the working directory.
inline bool starts_with_dot_slash(const char* argument) {
    return argument[0] == '.' && argument[1] == '/';
}

enum class path_status { ok, too_long, no_work_dir };

// Writes the path for a command-line argument into path: "./name" becomes work_dir, "/" and
// "name"; any other argument is taken unchanged. An empty work_dir means it is not known.
path_status expand_argument(const char* argument, const char* work_dir,
                            char (&path)[path_capacity]);

// A path as the tools print it in a message or report line: control characters (a line break, an
// escape) shown as \n, \r, \t or \xNN, so that one message stays one line and no name reaches a
// terminal as a command. Other paths come back unchanged.
std::string printable(std::string_view path);

}  // namespace swug
