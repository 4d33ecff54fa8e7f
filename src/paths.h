// Path texts as the tool handles them: UTF-8, "/" separators, of any length; what the system
// can't take it refuses itself, with its own reason.
#pragma once

#include <string>

namespace swug {

// Replaces every backslash of text by "/" and removes none, so "\\srv\vol" stays a network path.
void rewrite_backslashes(std::string& text);

// True for an argument that begins with "./" and so is taken relative to the working directory.
inline bool starts_with_dot_slash(const char* argument) {
    return argument[0] == '.' && argument[1] == '/';
}

enum class path_status { ok, no_work_dir };

// The path for a command-line argument, into path: "./name" becomes work_dir, "/" and "name";
// any other argument is taken unchanged. An empty work_dir means it is not known, which only a
// "./" argument needs.
path_status expand_argument(const char* argument, const std::string& work_dir, std::string& path);

}  // namespace swug
